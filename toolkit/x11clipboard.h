#pragma once
// The clipboard's PNG on X11, served by the program itself rather than
// through Qt, so that a paste elsewhere never holds up the window.

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>

namespace clipora {

// The PNG of a copy, made on another thread. Shared by the clipboard data,
// the thread making it and every transfer to another program, so that each
// keeps the bytes it uses alive whatever becomes of the others.
struct ClipboardPng {
    std::atomic<bool> dropped{false};   // the copy was replaced: stop making it
    std::atomic<bool> finished{false};  // `bytes` is final; null when making it failed or stopped
    std::shared_ptr<const QByteArray> bytes;
};

// On X11, answers other programs' requests for the clipboard's image/png:
// a request that arrives while the PNG is still being made is answered when
// it is ready, from the event loop, which goes on turning meanwhile (Qt
// would wait for it inside the request). `current` gives the PNG of our copy while we own the clipboard,
// else null, and the request is left to Qt. Installed once per application;
// on other platforms, or built without XCB, it does nothing.
void serveClipboardPngOnX11(std::function<std::shared_ptr<ClipboardPng>()> current);

}  // namespace clipora
