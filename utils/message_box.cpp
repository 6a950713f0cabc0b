#include "utils/message_box.h"

namespace {

const char kCaption[] = "Tivorn";

const char kUnexpectedError[] =
    "予期せぬエラーが発生しました。\n"
    "エラーが発生した状況をZarnithまでお知らせいただけるようお願いします。\n\n"
    "support@tivorn.example";

}  // namespace

int ShowMessage(HWND owner, const char *text, UINT flags) { return MessageBoxA(owner, text, kCaption, flags); }

void ReportUnexpectedError(HWND resident, bool shutDown) {
    if (!shutDown) {
        ShowMessage(nullptr, kUnexpectedError, MB_OK | MB_ICONERROR);
        return;
    }
    ReportUnexpectedErrorOver(resident, resident);
}

void ReportUnexpectedErrorOver(HWND owner, HWND resident) {
    ShowMessage(owner, kUnexpectedError, MB_OK | MB_ICONERROR);
    if (resident) PostMessageA(resident, WM_DESTROY, 0, 0);
}
