#include "shell/message_loop.h"

#include <windows.h>

#include "shell/shell_state.h"
#include "utils/message_box.h"

namespace {

// The About view gets its dialog keys (Tab, Enter, Esc, mnemonics) while it
// shows: in its own mode, or over a best settings dialog, whose mode then
// stays in force.
HWND AboutForKeys() {
    HWND resident = g_shell.resident;
    if (!resident || g_shell.appMode == kModeIdle || !IsWindowVisible(resident)) return nullptr;
    return resident;
}

// The best settings dialog gets them in its modes.  While a tree label is
// edited nobody gets them, so Enter and Esc reach the label's edit box.
HWND BestSettingsForKeys() {
    switch (g_shell.appMode) {
    case kModeBestRequired:
    case kModeBestFromMenu: return g_shell.bestDialog;
    default: return nullptr;
    }
}

// Each dialog takes only the messages of its own window and controls, so
// both can be offered every message when both are open.
bool IsDialogKey(MSG *message) {
    HWND about = AboutForKeys();
    if (about && IsDialogMessageA(about, message)) return true;
    HWND bestSettings = BestSettingsForKeys();
    return bestSettings && IsDialogMessageA(bestSettings, message);
}

}  // namespace

int RunMessageLoop() {
    MSG message;
    for (;;) {
        BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == 0) return static_cast<int>(message.wParam);
        if (fetched == -1) {
            ReportUnexpectedError(g_shell.resident, true);
            return 0;
        }
        if (IsDialogKey(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
