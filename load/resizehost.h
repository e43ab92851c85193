#pragma once
// The main window as the resize dialog sees it (zoom/resizehost.h): its
// picture size, working bitmap and display, loaded() and areareset(), and
// the cut-area marker. Start-up gives the dialog one of these.

#include "zoom/resizehost.h"

class Tloadcut;

namespace clipora {

class LoadcutResizeHost final : public zoom::ResizeHost {
public:
    explicit LoadcutResizeHost(Tloadcut& window) : window_(window) {}

    int picwidth() const override;
    int picheight() const override;
    const Bitmap24& workbmp() const override;
    void display(const Bitmap24& bitmap) override;
    bool displays(const Bitmap24& bitmap) const override;
    void loaded() override;
    void areareset() override;
    void setMarkerVisible(bool visible) override;

private:
    Tloadcut& window_;
};

}  // namespace clipora
