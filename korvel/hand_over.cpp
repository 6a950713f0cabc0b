// A second start passes its command line on to the running copy.
#include <windows.h>

#include <string>

#include "engine/korvel.h"
#include "engine/resident_window.h"
#include "korvel/command_line.h"
#include "utils/command_line_files.h"

namespace {

// Long enough for a busy running copy, short enough that a hung one does not
// keep the second start alive.
constexpr UINT kHandOverTimeoutMs = 5000;

}  // namespace

extern "C" void HandOver(const char *commandLine, HWND runningWindow) {
    int code = korvel::HandOverCode(commandLine);
    // Not a switch: the files on it, if any, are played at once.
    std::string files;
    if (code == korvel::kNoCommand) {
        files = cmdline::JoinFiles(cmdline::FilesOnCommandLine(commandLine));
        if (files.empty()) return;
        code = TIVORN_CODE_PLAY_FILES;
    }
    HWND target = runningWindow && IsWindow(runningWindow) ? runningWindow : FindTivornWindow();
    if (!target) return;
    if (code == TIVORN_CODE_MENU || code == TIVORN_CODE_PLAY_FILES) {
        // The user just started this process, so it may bring a window to
        // the front; the running copy needs that right for its popup menu to
        // take the focus and close again when clicked away, and for a box
        // saying that a file cannot be played to be seen.
        DWORD process = 0;
        GetWindowThreadProcessId(target, &process);
        if (process) AllowSetForegroundWindow(process);
    }
    COPYDATASTRUCT command = {static_cast<ULONG_PTR>(code), static_cast<DWORD>(files.size()),
                              files.empty() ? nullptr : const_cast<char *>(files.data())};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&command), SMTO_ABORTIFHUNG,
                        kHandOverTimeoutMs, &answer);
}
