// One copy per user session.
#ifndef TIVORN_SHELL_STARTUP_LOCK_H
#define TIVORN_SHELL_STARTUP_LOCK_H

#include <windows.h>

#include "utils/handles.h"

// Puts two starts racing each other in order.  The window search alone
// cannot: both could look before either has made its resident window, and
// both would then stay.  A start holds this lock of the session from its
// search for a running copy until its own resident window stands with its
// tag (or it knows it will not make one), so the later start's search finds
// the earlier one's window.  A copy that exits holds it from the moment its
// window loses the tag until it has ended.
class StartupLock {
public:
    // Waits for the lock.  A start that cannot have it (the name taken by
    // another user's object in this session, a start stuck for many seconds)
    // goes on without it: the window search still decides.
    StartupLock() { Acquire(); }
    ~StartupLock() { Release(); }
    StartupLock(const StartupLock &) = delete;
    StartupLock &operator=(const StartupLock &) = delete;

    // Waits for the lock again after Release.
    void Acquire();
    // Lets the next start search; before any message box of this start.
    void Release();

private:
    KernelHandle mutex_;
    bool owned_ = false;
};

#endif
