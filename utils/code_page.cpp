#include "utils/code_page.h"

#include "utils/caption.h"

namespace codepage {

namespace {

// More names than this make a box taller than the screen.
constexpr size_t kNamesShown = 15;

}  // namespace

bool Spell(const std::wstring &wide, std::string *out) {
    out->clear();
    if (wide.empty()) return true;
    int wideLength = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(kProgram, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr,
                                     &usedDefault);
    if (length <= 0 || usedDefault) return false;
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(kProgram, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &bytes[0], length, nullptr,
                        &usedDefault);
    if (usedDefault) return false;
    // Read back: only a spelling that gives the very same characters names
    // the same file.
    int backLength = MultiByteToWideChar(kProgram, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (backLength != wideLength) return false;
    std::wstring back(static_cast<size_t>(backLength), L'\0');
    MultiByteToWideChar(kProgram, MB_ERR_INVALID_CHARS, bytes.data(), length, &back[0], backLength);
    if (back != wide) return false;
    *out = std::move(bytes);
    return true;
}

std::wstring Widen(const char *text) {
    int length = MultiByteToWideChar(kProgram, 0, text, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kProgram, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::wstring ShortPath(const std::wstring &path) {
    DWORD length = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) return std::wstring();
    std::wstring shortPath(length, L'\0');
    DWORD written = GetShortPathNameW(path.c_str(), &shortPath[0], length);
    if (written == 0 || written >= length) return std::wstring();
    shortPath.resize(written);
    return shortPath;
}

bool SpellPath(const std::wstring &wide, std::string *out) {
    out->clear();
    std::string spelt;
    if (!wide.empty() && Spell(wide, &spelt) && spelt.size() < MAX_PATH) {
        *out = std::move(spelt);
        return true;
    }
    std::wstring shortPath = ShortPath(wide);
    if (shortPath.empty() || !Spell(shortPath, &spelt) || spelt.empty() || spelt.size() >= MAX_PATH) return false;
    *out = std::move(spelt);
    return true;
}

bool ProgramFile(std::string *path) {
    path->clear();
    // The longest path the system has; a cut one would name another file.
    std::wstring module(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &module[0], static_cast<DWORD>(module.size()));
    if (length == 0 || length >= module.size()) return false;
    module.resize(length);
    return SpellPath(module, path);
}

void ShowLeftOut(HWND owner, const char *text, const std::vector<std::wstring> &names) {
    std::wstring message = Widen(text);
    message += L"\n";
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) message += L"\n" + names[i];
    if (names.size() > kNamesShown) {
        char more[64];
        wsprintfA(more, "\n（ほか %u 個）", static_cast<unsigned>(names.size() - kNamesShown));
        message += Widen(more);
    }
    MessageBoxW(owner, message.c_str(), TIVORN_CAPTION_W, MB_OK | MB_ICONWARNING);
}

}  // namespace codepage
