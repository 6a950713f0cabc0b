#include "shell/code_page_check.h"

#include <shellapi.h>

#include "utils/caption.h"
#include "utils/code_page.h"
#include "utils/name_spelling.h"
#include "utils/scope_guard.h"

namespace {

// Wide: in any other code page the program's own byte strings would show
// garbled.  The settings named are Windows 10's, where the box can appear.
const wchar_t kWrongCodePage[] =
    L"Tivorn は日本語の文字コード (コードページ 932) で動作しますが、"
    L"このコンピュータでは別のコードページが使われているため、起動できません。\n"
    L"[コントロール パネル] の [地域] を開き、[管理] タブの [システム ロケールの変更] で、"
    L"[現在のシステム ロケール] を [日本語 (日本)] にし、"
    L"[ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用] のチェックを外してから、"
    L"Windows を再起動してください。\n\n"
    L"Tivorn needs the Japanese code page (932), but this computer uses another one, "
    L"so Tivorn cannot start.\n"
    L"Open Control Panel > Region, and on the Administrative tab click \"Change system locale...\". "
    L"Set \"Current system locale\" to \"Japanese (Japan)\", clear \"Beta: Use Unicode UTF-8 for "
    L"worldwide language support\", then restart Windows.";

// Followed by the program's folder as the system has it.
const wchar_t kUnspeltProgramFolder[] =
    L"Tivorn のフォルダのパスに、日本語の文字コード (コードページ 932) で表せない文字が含まれていて、"
    L"短い名前 (8.3 形式) もないため、Tivorn は自分のファイルを開けません。\n"
    L"Tivorn を、パスに使える文字だけのフォルダ (たとえば C:\\Tivorn) にインストールし直してください。"
    L"ベスト、再生の履歴、設定はそのまま残ります。\n\n";

const char kFilesLeftOut[] =
    "次のファイルは、名前にコードページ 932 (シフト JIS) で表せない文字が含まれていて、"
    "短い名前 (8.3 形式) もないため、演奏できません。\n"
    "ファイルの名前を変更してから、もう一度開いてください。";

}  // namespace

bool CheckProgramCodePage() {
    if (GetACP() != codepage::kProgram) {
        MessageBoxW(nullptr, kWrongCodePage, TIVORN_CAPTION_W, MB_OK | MB_ICONERROR);
        return false;
    }
    // The data folder, the SoundFont and the help file are found beside the
    // program file, by A calls: a folder they cannot name would be taken
    // for one without them, or for one out of reach at every start.
    std::string own;
    if (codepage::ProgramFile(&own)) return true;
    std::wstring module(32768, L'\0');
    module.resize(GetModuleFileNameW(nullptr, &module[0], static_cast<DWORD>(module.size())));
    std::wstring text = kUnspeltProgramFolder + module;
    MessageBoxW(nullptr, text.c_str(), TIVORN_CAPTION_W, MB_OK | MB_ICONERROR);
    return false;
}

CommandLineArguments ReadCommandLine() {
    CommandLineArguments result;
    int count = 0;
    LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return result;
    ScopeGuard freeArgv([argv] { LocalFree(argv); });
    // The first is the program's own path.
    std::vector<std::wstring> arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
    spelling::SpeltArguments spelt = spelling::SpellArguments(arguments, codepage::ShortPath, codepage::Spell);
    result.line = std::move(spelt.line);
    result.leftOut = std::move(spelt.leftOut);
    return result;
}

void TellFilesLeftOut(HWND owner, const std::vector<std::wstring> &leftOut) {
    if (!leftOut.empty()) codepage::ShowLeftOut(owner, kFilesLeftOut, leftOut);
}
