#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "utils/command_line_files.h"
#include "utils/name_spelling.h"

using spelling::SpellArguments;
using Wide = std::vector<std::wstring>;

// Stand-ins for the system: ASCII is spelt as itself and nothing else is;
// short paths come from a table, and a path not in it has none, as on a
// volume that keeps no short names.
bool SpellAscii(const std::wstring &wide, std::string *out) {
    out->clear();
    for (wchar_t c : wide) {
        if (c > 0x7F) return false;
        *out += static_cast<char>(c);
    }
    return true;
}

TEST(NameSpelling, ArgumentsAsTheyStandOrByShortNameElseLeftOutAndNamed) {
    const std::wstring cafe = L"D:\\caf\u00e9 bar.mid", hangul = L"E:\\\uD55C.mid";
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'a') + L".mid";
    std::map<std::wstring, std::wstring> shortPaths = {{cafe, L"D:\\CAFBAR~1.MID"}, {tooLong, L"C:\\AAAAAA~1.MID"}};
    auto shortPath = [&](const std::wstring &path) {
        auto found = shortPaths.find(path);
        return found == shortPaths.end() ? std::wstring() : found->second;
    };
    auto spelt = SpellArguments({L"/next", L"C:\\a b.mid", cafe, hangul, tooLong, L"/n\u00e9xt", L"\u00e9.mid",
                                 L"C:\\say\"hi\".mid", L""},
                                shortPath, SpellAscii);
    EXPECT_EQ(spelt.line, "/next \"C:\\a b.mid\" D:\\CAFBAR~1.MID C:\\AAAAAA~1.MID");
    EXPECT_EQ(spelt.leftOut, Wide{hangul});
    EXPECT_EQ(cmdline::FilesOnCommandLine(spelt.line.c_str()),
              (std::vector<std::string>{"C:\\a b.mid", "D:\\CAFBAR~1.MID", "C:\\AAAAAA~1.MID"}));
}
