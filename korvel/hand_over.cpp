// A second start passes its command line on to the running copy.
#include <windows.h>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "korvel/command_line.h"

namespace {

// Long enough for a busy running copy, short enough that a hung one does not
// keep the second start alive.
constexpr UINT kHandOverTimeoutMs = 5000;

}  // namespace

extern "C" void HandOver(const char *commandLine, HWND runningWindow) {
    int code = korvel::HandOverCode(commandLine);
    if (code == korvel::kNoCommand) return;
    HWND target = runningWindow && IsWindow(runningWindow) ? runningWindow : FindTivornWindow();
    if (!target) return;
    if (code == TIVORN_CODE_MENU) {
        // The user just started this process, so it may bring a window to
        // the front; the running copy needs that right for its popup menu to
        // take the focus and close again when clicked away.
        DWORD process = 0;
        GetWindowThreadProcessId(target, &process);
        if (process) AllowSetForegroundWindow(process);
    }
    COPYDATASTRUCT command = {static_cast<ULONG_PTR>(code), 0, nullptr};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&command), SMTO_ABORTIFHUNG,
                        kHandOverTimeoutMs, &answer);
}
