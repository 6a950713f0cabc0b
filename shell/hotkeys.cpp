#include "shell/hotkeys.h"

#include "engine/korvel.h"
#include "store/settings.h"
#include "utils/message_box.h"

bool InstallHotkeyHook(ShellState &shell, HookFailure failure) {
    HHOOK hook = InstallHook(g_settings.engineVariant);
    if (!hook) {
        ReportUnexpectedError(shell.resident, failure == HookFailure::EndsProgram);
        return false;
    }
    shell.hook = hook;
    WriteHookValue(hook);
    return true;
}

void RemoveHotkeyHook(ShellState &shell) {
    if (shell.hook) {
        UnhookWindowsHookEx(shell.hook);
        shell.hook = nullptr;
    }
}

// The system lets a process take the foreground only in documented cases,
// one being that it received the last input event.  A key the hook swallowed
// was never this process's input, so a plain SetForegroundWindow may be
// refused: the menu would then open without the keyboard and would not
// close on a click elsewhere.  Attached to the foreground thread's input for
// the call, this thread shares the input state of the thread that has the
// foreground, and may take it.
bool TakeForegroundForMenu(HWND window) {
    HWND foreground = GetForegroundWindow();
    if (foreground == window) return true;
    DWORD self = GetCurrentThreadId();
    DWORD owner = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    // Attaching fails for a thread of another desktop, say; the plain call
    // may still be allowed then.
    bool attached = owner != 0 && owner != self && AttachThreadInput(self, owner, TRUE);
    bool taken = SetForegroundWindow(window) != FALSE;
    if (attached) AttachThreadInput(self, owner, FALSE);
    return taken;
}
