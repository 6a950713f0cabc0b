// The best settings dialog's handlers under way, its tree's included.  A
// handler that shows a box, a menu or a nested dialog runs a message loop,
// and that loop may handle the dialog's own close: the close then waits
// until the outermost handler has returned, so that none runs on a dialog
// that is gone.
#ifndef TIVORN_EDITOR_HANDLER_DEPTH_H
#define TIVORN_EDITOR_HANDLER_DEPTH_H

#include <functional>
#include <utility>

class HandlerDepth {
public:
    // outermostReturned runs each time the last handler under way returns.
    explicit HandlerDepth(std::function<void()> outermostReturned) : outermostReturned_(std::move(outermostReturned)) {}
    HandlerDepth(const HandlerDepth &) = delete;
    HandlerDepth &operator=(const HandlerDepth &) = delete;

    // One handler, for as long as it runs.
    class Scope {
    public:
        explicit Scope(HandlerDepth &depth) : depth_(depth) { ++depth_.running_; }
        ~Scope() {
            if (--depth_.running_ == 0) depth_.outermostReturned_();
        }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        HandlerDepth &depth_;
    };

    bool Running() const { return running_ > 0; }

private:
    int running_ = 0;
    std::function<void()> outermostReturned_;
};

#endif
