#pragma once
// Program start-up shared by the executable, the tests and the tools.

#include <memory>

class QApplication;
class Tloadcut;
class Tresize;
class Tzelvano;

namespace clipora {

// The windows' font and the clipboard's metafile reader; call once after
// QApplication.
void setUpApplication(QApplication& app);

// The three windows of the program, owned here. Destroying this object
// destroys them (the main window last) and clears clipora::forms.
struct ProgramWindows {
    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    std::unique_ptr<Tloadcut> loadcut;
    std::unique_ptr<Tresize> resize;
    std::unique_ptr<Tzelvano> zelvano;
};

// Creates the main window `loadcut`, then the resize dialog `resize`, then
// the About window `zelvano` (their constructors run in that order), and
// registers them in clipora::forms. Nothing is shown: the caller shows the
// main window, whose show handler places the other two.
std::unique_ptr<ProgramWindows> createWindows();

}  // namespace clipora
