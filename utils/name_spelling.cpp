#include "utils/name_spelling.h"

#include "utils/path_rules.h"

namespace spelling {

namespace {

// "X:\..." or "X:/...": what Explorer passes, and all the command line's
// files can be (cmdline::IsFilePathForm).
bool IsDrivePath(const std::wstring &argument) {
    wchar_t letter = argument.size() >= 3 ? argument[0] : L'\0';
    bool isLetter = (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
    return isLetter && argument[1] == L':' && (argument[2] == L'\\' || argument[2] == L'/');
}

}  // namespace

Spelt SpellName(const std::wstring &name, const ShortName &shortName, const Speller &spell, std::string *out) {
    if (spell(name, out)) return Spelt::AsIs;
    std::wstring alternative = shortName();
    if (!alternative.empty() && spell(alternative, out)) return Spelt::ByShortName;
    out->clear();
    return Spelt::Not;
}

SpeltArguments SpellArguments(const std::vector<std::wstring> &arguments,
                              const std::function<std::wstring(const std::wstring &)> &shortPath,
                              const Speller &spell) {
    SpeltArguments result;
    for (const std::wstring &argument : arguments) {
        if (argument.empty() || argument.find(L'"') != std::wstring::npos) continue;
        std::string spelt;
        Spelt how = SpellName(argument, [&] { return shortPath(argument); }, spell, &spelt);
        if (how == Spelt::AsIs && spelt.size() > paths::kLongestPath) {
            // Too long for the program's buffers as it stands; the short
            // path may fit.
            std::string shorter;
            if (spell(shortPath(argument), &shorter) && !shorter.empty()) spelt = shorter;
        }
        if (how == Spelt::Not) {
            if (IsDrivePath(argument)) result.leftOut.push_back(argument);
            continue;
        }
        if (!result.line.empty()) result.line += ' ';
        bool blank = spelt.find_first_of(" \t") != std::string::npos;
        result.line += blank ? '"' + spelt + '"' : spelt;
    }
    return result;
}

}  // namespace spelling
