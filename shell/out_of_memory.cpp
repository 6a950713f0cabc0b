#include "shell/out_of_memory.h"

#include <windows.h>

#include <new>

#include "shell/shell_state.h"
#include "utils/message_box.h"

namespace {

const char kOutOfMemory[] =
    "メモリが不足しています。\n\n"
    "ほかのアプリケーションを終了するか、スワップファイルがあるドライブ\n"
    "（通常、DOS/VはC、PC-98はAドライブ）のファイルを削除して\n"
    "空き容量を増やしてください。\n\n"
    "このままTivornを終了してもよいなら\n"
    "キャンセルをクリックしてください。";

// operator new calls its handler without any context, so the handler finds
// the resident window here: the shell's one process-wide variable.
const ShellState *g_boxOwner = nullptr;

// Called by operator new before it gives up; returns only when the user
// chose to retry.  The program allocates through new alone (the containers
// included), so this one handler covers every allocation.
void AskAfterFailedAllocation() {
    HWND owner = g_boxOwner ? g_boxOwner->resident : nullptr;
    if (ShowMessage(owner, kOutOfMemory, MB_OKCANCEL | MB_ICONERROR) != IDOK)
        TerminateProcess(GetCurrentProcess(), 2);
}

}  // namespace

void InstallOutOfMemoryHandler(const ShellState *shell) {
    g_boxOwner = shell;
    std::set_new_handler(AskAfterFailedAllocation);
}
