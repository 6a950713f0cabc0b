#include "shell/help_loader.h"

#include <cstring>
#include <string>

#include "engine/korvel.h"
#include "utils/code_page.h"
#include "utils/message_box.h"
#include "utils/path_rules.h"
#include "utils/system_function.h"

namespace {

const char kHelpFileName[] = "KORVEL.chm";
const char kHelpControl[] = "hhctrl.ocx";
const char kHelpMissing[] = "ヘルプファイルが見つかりません。\nTivornをインストールしなおしてください。";
const char kHelpFailed[] = "ヘルプを表示できませんでした。";

constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr UINT kHelpCloseAll = 0x12;   // HH_CLOSE_ALL

}  // namespace

// HTML Help is loaded on first use and kept: the control keeps its own
// windows and threads, which must not lose their code while they run.  It is
// taken from the system folder by its full path, so that a file of the same
// name in the program's or the current folder is never loaded instead.
HelpLoader::HtmlHelpFunction HelpLoader::Load() {
    if (htmlHelp_) return htmlHelp_;
    char path[paths::kPathBuffer];
    UINT length = GetSystemDirectoryA(path, ARRAYSIZE(path));
    if (length == 0 || length + 1 + sizeof kHelpControl > ARRAYSIZE(path)) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, kHelpControl, sizeof kHelpControl);
    if (HMODULE module = LoadLibraryA(path))
        htmlHelp_ = SystemFunction<HtmlHelpFunction>(module, "HtmlHelpA");
    return htmlHelp_;
}

void HelpLoader::Show(HWND owner, ExitRequester &exit) {
    // Spelt as the start checked it could be: GetModuleFileNameA would give
    // '?' for a character the code page lacks.
    std::string program;
    if (!codepage::ProgramFile(&program)) {
        ReportUnexpectedError(owner, exit);
        return;
    }
    char path[paths::kPathBuffer];
    std::memcpy(path, program.c_str(), program.size() + 1);
    // Beside the program file only, whatever the current folder is.
    char *separator = LastSeparator(path);
    char *name = separator ? separator + 1 : nullptr;
    if (!name || static_cast<size_t>(name - path) + sizeof kHelpFileName > ARRAYSIZE(path)) {
        ShowMessage(owner, kHelpMissing, MB_OK | MB_ICONERROR);
        return;
    }
    std::memcpy(name, kHelpFileName, sizeof kHelpFileName);
    if (!FileExists(path, 0)) {
        ShowMessage(owner, kHelpMissing, MB_OK | MB_ICONERROR);
        return;
    }
    HtmlHelpFunction htmlHelp = Load();
    if (!htmlHelp || !htmlHelp(owner, path, kHelpDisplayTopic, 0))
        ShowMessage(owner, kHelpFailed, MB_OK | MB_ICONERROR);
}

void HelpLoader::Close() {
    // Only a help that was opened has windows to close.
    if (htmlHelp_) htmlHelp_(nullptr, nullptr, kHelpCloseAll, 0);
}
