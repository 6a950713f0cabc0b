#include "shell/errors.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "shell/shell_state.h"

namespace {

const char kCaption[] = "Tivorn";

const char kUnexpectedError[] =
    "予期せぬエラーが発生しました。\n"
    "エラーが発生した状況をZarnithまでお知らせいただけるようお願いします。\n\n"
    "support@tivorn.example";

const char kOutOfMemory[] =
    "メモリが不足しています。\n\n"
    "ほかのアプリケーションを終了するか、スワップファイルがあるドライブ\n"
    "（通常、DOS/VはC、PC-98はAドライブ）のファイルを削除して\n"
    "空き容量を増やしてください。\n\n"
    "このままTivornを終了してもよいなら\n"
    "キャンセルをクリックしてください。";

// Returns only when the user chose to retry.
void AskAfterFailedAllocation() {
    int answer = MessageBoxA(g_shell.resident, kOutOfMemory, kCaption, MB_OKCANCEL | MB_ICONERROR);
    if (answer != IDOK) TerminateProcess(GetCurrentProcess(), 2);
}

void NewHandler() { AskAfterFailedAllocation(); }

}  // namespace

int ShowMessage(HWND owner, const char *text, UINT flags) {
    return MessageBoxA(owner, text, kCaption, flags);
}

void ReportUnexpectedError(bool shutDown) {
    if (!shutDown) {
        ShowMessage(nullptr, kUnexpectedError, MB_OK | MB_ICONERROR);
        return;
    }
    ShowMessage(g_shell.resident, kUnexpectedError, MB_OK | MB_ICONERROR);
    if (g_shell.resident) PostMessageA(g_shell.resident, WM_DESTROY, 0, 0);
}

void InstallOutOfMemoryHandler() { std::set_new_handler(NewHandler); }

void *AllocateMemory(size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void *block = std::malloc(size)) return block;
        AskAfterFailedAllocation();
    }
}

void *AllocateZeroed(size_t size) {
    void *block = AllocateMemory(size);
    std::memset(block, 0, size);
    return block;
}

void *ReallocateMemory(void *block, size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void *moved = std::realloc(block, size)) return moved;
        AskAfterFailedAllocation();
    }
}

void FreeMemory(void *block) { std::free(block); }

char *DuplicateString(const char *text) {
    size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(AllocateMemory(size));
    std::memcpy(copy, text, size);
    return copy;
}
