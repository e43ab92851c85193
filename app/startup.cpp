#include "startup.h"

#include <QApplication>

#include "load/forms.h"
#include "toolkit/clipboard.h"
#include "metafile/metafile.h"
#include "toolkit/controlfactory.h"
#include "load/loadcut.h"
#include "load/resizehost.h"
#include "version/zelvano.h"
#include "zoom/resize.h"

namespace clipora {

void setUpApplication(QApplication& app)
{
    setUpWindowFont(app);

    // Metafiles on the clipboard go through the same player as metafile files.
    setClipboardMetafileReader([](ByteView data, const QString& mimeType) {
        return mimeType.contains(QStringLiteral("wmf"), Qt::CaseInsensitive) ? readWmf(data) : readEmf(data);
    });
}

ProgramWindows::ProgramWindows() = default;

ProgramWindows::~ProgramWindows()
{
    zelvano.reset();
    resize.reset();
    loadcut.reset();
    forms::zelvano = nullptr;
    forms::resize = nullptr;
    forms::loadcut = nullptr;
}

std::unique_ptr<ProgramWindows> createWindows()
{
    auto windows = std::make_unique<ProgramWindows>();
    // Created first, the main window is the program's main window: closing it
    // ends the program even while the other two are open.
    windows->loadcut = std::make_unique<Tloadcut>();
    forms::loadcut = windows->loadcut.get();
    windows->resize = std::make_unique<Tresize>();
    windows->resize->setAttribute(Qt::WA_QuitOnClose, false);
    // The dialog reaches the main window through this.
    windows->resize->setHost(std::make_unique<LoadcutResizeHost>(*windows->loadcut));
    forms::resize = windows->resize.get();
    windows->zelvano = std::make_unique<Tzelvano>();
    windows->zelvano->setAttribute(Qt::WA_QuitOnClose, false);
    forms::zelvano = windows->zelvano.get();
    return windows;
}

}  // namespace clipora
