#include "shell/message_loop.h"

#include <windows.h>

#include "utils/message_box.h"

namespace {

// The About view gets its dialog keys (Tab, Enter, Esc, mnemonics) while it
// shows: in its own mode, or over a best settings dialog, whose mode then
// stays in force.
HWND AboutForKeys(const ShellState &shell) {
    HWND resident = shell.resident;
    if (!resident || shell.appMode == kModeIdle || !IsWindowVisible(resident)) return nullptr;
    return resident;
}

// The best settings dialog gets them in its modes.  While a tree label is
// edited nobody gets them, so Enter and Esc reach the label's edit box.
HWND BestSettingsForKeys(const ShellState &shell) {
    switch (shell.appMode) {
    case kModeBestRequired:
    case kModeBestFromMenu: return shell.bestDialog;
    default: return nullptr;
    }
}

// Each dialog takes only the messages of its own window and controls, so
// both can be offered every message when both are open.
bool IsDialogKey(const ShellState &shell, MSG *message) {
    HWND about = AboutForKeys(shell);
    if (about && IsDialogMessageA(about, message)) return true;
    HWND bestSettings = BestSettingsForKeys(shell);
    return bestSettings && IsDialogMessageA(bestSettings, message);
}

}  // namespace

int RunMessageLoop(const ShellState &shell, ExitRequester &exit) {
    MSG message;
    for (;;) {
        BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == 0) return static_cast<int>(message.wParam);
        if (fetched == -1) {
            ReportUnexpectedError(shell.resident, exit);
            return 0;
        }
        if (IsDialogKey(shell, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
