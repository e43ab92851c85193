#include "handlers.h"

#include <QThread>

#include <exception>
#include <vector>

#include "errorbox.h"

namespace clipora {

namespace {

// Stands in the list of running handlers for a step run as an event of its
// own: no handler nests in it.
constexpr int kOwnEvent = -1;

struct HandlerState {
    // The event-loop level of each handler running, innermost last.
    std::vector<int> running;
    // Set when a nested handler ended its event with an error, until the
    // outermost handler of that event (at `endingLevel`) has returned.
    bool ending = false;
    int endingLevel = 0;
    int afterError = 0;
    int failed = 0;  // handlers ended by an error of their own
};
HandlerState state;

int loopLevel()
{
    return QThread::currentThread()->loopLevel();
}

bool endingAt(int level)
{
    return state.ending && state.endingLevel == level;
}

}  // namespace

bool runHandler(const std::function<void()>& handler)
{
    const int level = loopLevel();
    if (endingAt(level)) {
        ++state.afterError;
        return false;
    }
    const bool nested = !state.running.empty() && state.running.back() == level;
    state.running.push_back(level);
    try {
        handler();
        state.running.pop_back();
        if (!endingAt(level))
            return true;
        ++state.afterError;
    } catch (const EventEnded&) {
        state.running.pop_back();
    } catch (...) {
        state.running.pop_back();
        if (endingAt(level)) {
            // A second error on the way out of an ended event: the first one
            // has been shown.
            ++state.afterError;
        } else {
            if (nested) {
                state.ending = true;
                state.endingLevel = level;
            }
            ++state.failed;
            reportException(std::current_exception());
        }
    }
    if (!nested)
        state.ending = false;
    return false;
}

bool runAsOwnEvent(const std::function<void()>& step)
{
    const int failedBefore = state.failed;
    state.running.push_back(kOwnEvent);
    try {
        step();
    } catch (...) {
        state.running.pop_back();
        throw;
    }
    state.running.pop_back();
    return state.failed == failedBefore;
}

void endEventIfEnded()
{
    if (endingAt(loopLevel()))
        throw EventEnded{};
}

int handlersAfterError()
{
    return state.afterError;
}

}  // namespace clipora
