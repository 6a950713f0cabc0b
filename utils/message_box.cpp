#include "utils/message_box.h"

#include "utils/caption.h"
#include "utils/handles.h"

namespace {

const char kUnexpectedError[] =
    "予期せぬエラーが発生しました。\n"
    "エラーが発生した状況をZarnithまでお知らせいただけるようお願いします。\n\n"
    "support@tivorn.example";

// A log that has grown past this starts afresh rather than filling the disk
// over the years.
constexpr LONGLONG kBoxLogLimit = 64 * 1024;

}  // namespace

void AppendToLog(const std::string &logFile, const char *text) {
    if (logFile.empty()) return;
    KernelHandle file(CreateFileA(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > kBoxLogLimit) {
        // Closed before it is opened again to be emptied, which the share
        // mode would refuse while this open holds it.
        file.Close();
        file.Reset(CreateFileA(logFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
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
    WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int ShowMessage(HWND owner, const char *text, UINT flags) { return MessageBoxA(owner, text, TIVORN_CAPTION, flags); }

void ReportUnexpectedError(HWND owner) { ShowMessage(owner, kUnexpectedError, MB_OK | MB_ICONERROR); }

void ReportUnexpectedError(HWND owner, ExitRequester &exit) {
    ReportUnexpectedError(owner);
    exit.RequestExit(ExitReason::FatalError);
}
