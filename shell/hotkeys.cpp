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
