#include "shell/startup_lock.h"

namespace {

// "Local\": the namespace of this logon session, so another user's session
// (fast user switching, a remote desktop) runs its own copy.
constexpr char kStartupLockName[] = "Local\\Zarnith.Tivorn.Startup";
// The lock is held only for a search, reading "Settings" and creating a
// window; a start that keeps it this long is stuck, not slow.
constexpr DWORD kStartupLockWaitMs = 10000;

}  // namespace

void StartupLock::Acquire() {
    Release();
    mutex_.Reset(CreateMutexA(nullptr, FALSE, kStartupLockName));
    if (!mutex_) return;
    // An abandoned lock (a start that crashed holding it) is ours all the same.
    DWORD waited = WaitForSingleObject(mutex_.Get(), kStartupLockWaitMs);
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void StartupLock::Release() {
    if (owned_) ReleaseMutex(mutex_.Get());
    owned_ = false;
    mutex_.Reset();
}
