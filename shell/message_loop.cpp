#include "shell/message_loop.h"

#include <windows.h>

#include "shell/shell_state.h"
#include "utils/message_box.h"

namespace {

// The modeless window whose dialog keys (Tab, Enter, Esc, mnemonics) are
// handled for it in the current application mode.  While a tree label is
// edited nobody gets them, so Enter and Esc reach the label's edit box.
HWND DialogForKeys() {
    switch (g_shell.appMode) {
    case kModeAbout: return g_shell.resident;
    case kModeBestRequired:
    case kModeBestFromMenu: return g_shell.bestDialog;
    default: return nullptr;
    }
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
        HWND dialog = DialogForKeys();
        if (dialog && IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
