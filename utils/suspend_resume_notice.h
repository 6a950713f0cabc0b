// Has a window told of the system's suspend and resume (WM_POWERBROADCAST
// with PBT_APMSUSPEND and PBT_APMRESUMEAUTOMATIC) for as long as the object
// lives.
//
// On a machine with Modern Standby a desktop window is told of neither
// unless it registered with RegisterSuspendResumeNotification; even then
// the notice is not guaranteed, which is why playback also copes with a
// freeze it was never told of.  The call exists from Windows 8 on and is
// looked up at run time, so that the program still starts on Windows 7.
#ifndef TIVORN_UTILS_SUSPEND_RESUME_NOTICE_H
#define TIVORN_UTILS_SUSPEND_RESUME_NOTICE_H

#include <windows.h>

#include "utils/system_function.h"

class SuspendResumeNotice {
public:
    SuspendResumeNotice() = default;
    explicit SuspendResumeNotice(HWND window) { Register(window); }
    ~SuspendResumeNotice() { Unregister(); }
    SuspendResumeNotice(const SuspendResumeNotice &) = delete;
    SuspendResumeNotice &operator=(const SuspendResumeNotice &) = delete;

    void Register(HWND window) {
        Unregister();
        HMODULE user32 = GetModuleHandleA("user32.dll");
        if (!window || !user32) return;
        // HPOWERNOTIFY RegisterSuspendResumeNotification(HANDLE, DWORD)
        typedef void *(WINAPI * RegisterProc)(HANDLE recipient, DWORD flags);
        auto reg = SystemFunction<RegisterProc>(user32, "RegisterSuspendResumeNotification");
        unregister_ = SystemFunction<UnregisterProc>(user32, "UnregisterSuspendResumeNotification");
        if (reg && unregister_) registration_ = reg(window, kNotifyWindowHandle);
    }

    void Unregister() {
        if (registration_) unregister_(registration_);
        registration_ = nullptr;
    }

private:
    typedef BOOL(WINAPI *UnregisterProc)(void *registration);
    static constexpr DWORD kNotifyWindowHandle = 0;  // DEVICE_NOTIFY_WINDOW_HANDLE

    UnregisterProc unregister_ = nullptr;
    void *registration_ = nullptr;
};

#endif
