// A second start passes its command line on to the running copy.
#include <windows.h>

#include <string>

#include "korvel/handover/hand_over.h"

#include "engine/resident_window.h"
#include "korvel/handover/command_line.h"
#include "utils/command_line_files.h"

namespace korvel {
namespace {

// Long enough for a busy running copy, short enough that a hung one does not
// keep the second start alive.
constexpr UINT kHandOverTimeoutMs = 5000;

// Why a sent command came to nothing, by what the system says and whether
// the window still stands.
HandOverAnswer FailedSend(HWND target) {
    DWORD error = GetLastError();
    if (!IsWindow(target)) return HandOverAnswer::NoCopy;  // the copy ended meanwhile
    // User Interface Privilege Isolation drops a message from a lower
    // integrity level with "access denied".
    if (error == ERROR_ACCESS_DENIED) return HandOverAnswer::Refused;
    // A copy that still handles its messages has the command and is busy
    // with it: a box of its own (a song that cannot be played) waits for the
    // user.  Only one that has stopped handling them is hung.
    return IsHungAppWindow(target) ? HandOverAnswer::NoAnswer : HandOverAnswer::Done;
}

}  // namespace

HandOverAnswer HandOverTo(const char *commandLine, HWND runningWindow) {
    int code = HandOverCode(commandLine);
    // Not a switch: the files on it, if any, are played at once.
    std::string block;
    if (code == kNoCommand) {
        cmdline::HandedOver handed{TivornProcessStartTime(), cmdline::FilesOnCommandLine(commandLine)};
        if (handed.files.empty()) return HandOverAnswer::Done;
        block = cmdline::HandOverBlock(handed);
        code = TIVORN_CODE_PLAY_FILES;
    }
    HWND target = runningWindow && IsWindow(runningWindow) ? runningWindow : FindTivornWindow();
    if (!target) return HandOverAnswer::NoCopy;
    if (code == TIVORN_CODE_MENU || code == TIVORN_CODE_PLAY_FILES) {
        // The user just started this process, so it may bring a window to
        // the front; the running copy needs that right for its popup menu to
        // take the focus and close again when clicked away, and for a box
        // saying that a file cannot be played to be seen.
        DWORD process = 0;
        GetWindowThreadProcessId(target, &process);
        if (process) AllowSetForegroundWindow(process);
    }
    COPYDATASTRUCT command = {static_cast<ULONG_PTR>(code), static_cast<DWORD>(block.size()),
                              block.empty() ? nullptr : const_cast<char *>(block.data())};
    DWORD_PTR answer = 0;
    SetLastError(ERROR_SUCCESS);
    if (!SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&command), SMTO_ABORTIFHUNG,
                             kHandOverTimeoutMs, &answer))
        return FailedSend(target);
    return answer == TIVORN_NOT_TAKEN ? HandOverAnswer::NoCopy : HandOverAnswer::Done;
}

}  // namespace korvel
