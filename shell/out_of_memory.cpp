#include "shell/out_of_memory.h"

#include <windows.h>

#include <new>

#include "utils/message_box.h"

namespace {

const char kOutOfMemory[] =
    "メモリが不足しています。\n\n"
    "ほかのアプリケーションを終了するか、スワップファイルがあるドライブ\n"
    "（通常、DOS/VはC、PC-98はAドライブ）のファイルを削除して\n"
    "空き容量を増やしてください。\n\n"
    "このままTivornを終了してもよいなら\n"
    "キャンセルをクリックしてください。";

// Called by operator new before it gives up; returns only when the user
// chose to retry.  The program allocates through new alone (the containers
// included), so this one handler covers every allocation.  operator new
// calls it without any context, so the box has no owner.
void AskAfterFailedAllocation() {
    if (ShowMessage(nullptr, kOutOfMemory, MB_OKCANCEL | MB_ICONERROR) != IDOK)
        TerminateProcess(GetCurrentProcess(), 2);
}

}  // namespace

void InstallOutOfMemoryHandler() {
    std::set_new_handler(AskAfterFailedAllocation);
}
