#pragma once
// The program's application object. Create it instead of QApplication.
//
// notify() does two things around the delivery of every event:
//  - it is the last net for exceptions: the program's handlers stop their
//    errors in their own frames (handlers.h), so none is expected here; one
//    that still arrives (thrown by toolkit code outside a handler) is shown
//    in the standard error box (errorbox.h) and the event loop goes on.
//    Such an exception has unwound through Qt's frames between this
//    function and the thrower; Qt's GUI and widget libraries are built
//    without exception support, so their clean-ups in those frames did not
//    run (see handlers.h for what that costs);
//  - while an input event (key, mouse, wheel, touch, tablet, context menu,
//    or a shortcut activation) is being delivered, it keeps that event's
//    keyboard modifiers as the current input modifiers, so handlers reached
//    from it, even through signals such as clicked() or triggered(), can
//    ask whether Ctrl was held for it (inputstate.h). Nested input events
//    (in a modal dialog's loop) take their own and give the outer event's
//    back when they end.

#include <QApplication>

namespace clipora {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    ~Application() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // The modifiers of the input event being delivered; none when no input
    // event is being delivered.
    static Qt::KeyboardModifiers inputModifiers();
};

}  // namespace clipora
