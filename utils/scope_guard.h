// Runs a clean-up when the scope ends, for what has no owner of its own
// (handles.h holds handles, com.h interface pointers): destroying a menu,
// deleting a device context, restoring what was selected into one.
//
//   HMENU menu = CreatePopupMenu();
//   ScopeGuard destroyMenu([menu] { DestroyMenu(menu); });
//
// Dismiss() keeps what the guard would have released, for a value that is
// handed on; Run() releases it now (where the result of the release matters,
// as with a file that must be closed before it replaces another).
#ifndef TIVORN_UTILS_SCOPE_GUARD_H
#define TIVORN_UTILS_SCOPE_GUARD_H

#include <utility>

template <typename Cleanup>
class ScopeGuard {
public:
    explicit ScopeGuard(Cleanup cleanup) : cleanup_(std::move(cleanup)) {}
    ~ScopeGuard() {
        if (armed_) cleanup_();
    }
    ScopeGuard(const ScopeGuard &) = delete;
    ScopeGuard &operator=(const ScopeGuard &) = delete;

    void Dismiss() { armed_ = false; }
    auto Run() {
        armed_ = false;
        return cleanup_();
    }

private:
    Cleanup cleanup_;
    bool armed_ = true;
};

#endif
