#pragma once
// The program's application object. Create it instead of QApplication.
//
// notify() does two things around the delivery of every event:
//  - it catches any exception the delivery throws and shows it in the
//    standard error box (errorbox.h); the event loop goes on;
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
