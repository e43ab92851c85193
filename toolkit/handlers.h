#pragma once
// How the program's handlers run when a control or the window system calls
// them, and how an error ends the whole event it happened in.
//
// Every handler of the program that Qt calls (a slot connected to a control's
// signal, an event function of a window) runs inside runHandler(), directly
// or through guarded() when it is connected. An exception it throws stops
// there, in our own frame: it is shown in the standard error box
// (errorbox.h) and never unwinds through Qt's code. Qt's GUI and widget
// libraries are built without exception support, so unwinding through them
// skips their clean-ups: measured with LeakSanitizer, every error that
// travelled from a slot to QApplication::notify leaked the event's data and
// a guard pointer (about 86 bytes an error) and left the control half-way
// through its own change; caught in our frame, none.
//
// Nested handlers. A handler may run inside another one without an event
// loop in between: the exit handler of a field that loses the focus inside
// clearActiveControl(), the change handler of a ruler whose thumb is
// assigned. An error there ends the outer event too, and nothing after it
// runs: the inner handler shows the box and marks the event as ending; the
// toolkit call through which the outer handler reached Qt then throws
// EventEnded (endEventIfEnded()), which unwinds only the outer handler's own
// frames up to its runHandler(), where it ends without a second box. The
// toolkit calls that do so: clearActiveControl() and moveFocus(), the
// ruler's position and range assignments, EditField::setText. A handler that
// would start while its event is ending does not run.
//
// A modal dialog or box runs an event loop of its own: the handlers called
// from that loop handle events of their own, and an error there ends only
// them (the error box itself is such a loop).

#include <functional>

namespace clipora {

// Runs one of the program's handlers as described above. True when it
// finished without an error.
bool runHandler(const std::function<void()>& handler);

// A slot for connect() that runs `method` of `receiver` through runHandler().
template <class Receiver, class... Args>
auto guarded(Receiver* receiver, void (Receiver::*method)(Args...))
{
    return [receiver, method](Args... args) { runHandler([&] { (receiver->*method)(args...); }); };
}

// A slot for connect() that runs the lambda `functor` (with the parameters
// it declares) through runHandler().
template <class Functor, class... Args>
auto guardedLambda(Functor functor, void (Functor::*)(Args...) const)
{
    return [functor](Args... args) { runHandler([&] { functor(args...); }); };
}
template <class Functor>
auto guarded(Functor functor)
{
    return guardedLambda(functor, &Functor::operator());
}

// Runs `step` as an event of its own: an error in a handler that the step
// runs is shown and ends that handler only, and the caller goes on. For a
// step of an operation that must finish to leave the window whole (a load
// lowering the rulers' ranges under their thumbs). True when no handler
// failed.
bool runAsOwnEvent(const std::function<void()>& step);

// Thrown by endEventIfEnded(); ends the handler that is running without a
// box of its own.
struct EventEnded {};

// Throws EventEnded when a handler nested in the running one ended its event
// with an error. Called by the toolkit after it has handed control to Qt
// from one of the program's handlers.
void endEventIfEnded();

// For tests: how many times a handler of ours went on after an error had
// ended its event, or was about to start while it was ending (each is a
// road that lacks endEventIfEnded()).
int handlersAfterError();

}  // namespace clipora
