#include "utils/message_box.h"

#include "utils/caption.h"

namespace {

const char kUnexpectedError[] =
    "予期せぬエラーが発生しました。\n"
    "エラーが発生した状況をZarnithまでお知らせいただけるようお願いします。\n\n"
    "support@tivorn.example";

// Set once the session ends; boxes are shown from the UI thread only.
bool g_logBoxes = false;
std::string g_boxLog;

// A log that has grown past this starts afresh rather than filling the disk
// over the years.
constexpr LONGLONG kBoxLogLimit = 64 * 1024;

int SafestAnswer(UINT flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
    case MB_YESNOCANCEL:
    case MB_CANCELTRYCONTINUE: return IDCANCEL;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDOK;
    }
}

// One line: the local time, then the text with its line breaks as spaces.
void AppendToBoxLog(const char *text) {
    if (g_boxLog.empty()) return;
    HANDLE file = CreateFileA(g_boxLog.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > kBoxLogLimit) {
        CloseHandle(file);
        file = CreateFileA(g_boxLog.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
    // Byte by byte is safe in code page 932: a trail byte is never below 0x40.
    std::string line = stamp;
    for (const char *c = text ? text : ""; *c; ++c) line += (*c == '\n' || *c == '\r') ? ' ' : *c;
    line += "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int ShowMessage(HWND owner, const char *text, UINT flags) {
    if (!g_logBoxes) return MessageBoxA(owner, text, TIVORN_CAPTION, flags);
    AppendToBoxLog(text);
    return SafestAnswer(flags);
}

void LogBoxesTo(const std::string &logFile) {
    g_logBoxes = true;
    g_boxLog = logFile;
}

void ShowBoxesAgain() {
    g_logBoxes = false;
    g_boxLog.clear();
}

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
