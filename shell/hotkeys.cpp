#include "shell/hotkeys.h"

#include "engine/korvel.h"
#include "shell/shell_state.h"
#include "store/settings.h"
#include "utils/message_box.h"

bool InstallHotkeyHook(bool fatal) {
    HHOOK hook = InstallHook(g_settings.engineVariant);
    if (!hook) {
        ReportUnexpectedError(g_shell.resident, fatal);
        return false;
    }
    g_shell.hook = hook;
    WriteHookValue(hook);
    return true;
}

void RemoveHotkeyHook() {
    if (g_shell.hook) {
        UnhookWindowsHookEx(g_shell.hook);
        g_shell.hook = nullptr;
    }
}
