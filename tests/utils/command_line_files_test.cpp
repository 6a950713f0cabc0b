#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/command_line_files.h"

using cmdline::FilesOnCommandLine;
using Files = std::vector<std::string>;

namespace {

// "ソ" in code page 932: its trail byte is a backslash.
const std::string kSo = "\x83\x5C";

}  // namespace

TEST(CommandLineFiles, QuotedPathsWithSpacesAndTrailBackslashesInOrderWithoutSwitches) {
    std::string so = "D:\\" + kSo + "\\a b.mid";
    std::string line = " \"" + so + "\"  /next C:/x.kar \"E:\\" + kSo + "\"\t";
    EXPECT_EQ(FilesOnCommandLine(line.c_str()), (Files{so, "C:/x.kar", "E:\\" + kSo}));
    // Quotes may sit anywhere in an argument; one left open runs to the end.
    EXPECT_EQ(FilesOnCommandLine("C:\\\"my songs\"\\s.mid \"D:\\open end.mid"),
              (Files{"C:\\my songs\\s.mid", "D:\\open end.mid"}));
}

TEST(CommandLineFiles, RefusesWhatCannotBeALocalFile) {
    const std::string refused[] = {
        "song.mid", "\\\\server\\share\\a.mid", "//server/share/a.mid", "C:", "C:\\", "C:\\dir\\",
        "C:\\" + std::string(257, 'a'), "C:\\a*.mid", "C:\\a.mid:stream", "C:\\a\x01.mid",
        "C:\\\x83",         // a lead byte cut off at the end
        "C:\\\x83\x7F.mid",  // a lead byte before a byte that is no trail byte
        "C:\\\xFF.mid", "1:\\a.mid",
    };
    for (const std::string &argument : refused) {
        EXPECT_FALSE(cmdline::IsFilePathForm(argument)) << argument;
        EXPECT_TRUE(FilesOnCommandLine(("\"" + argument + "\"").c_str()).empty()) << argument;
    }
    EXPECT_TRUE(cmdline::IsFilePathForm("C:\\" + std::string(256, 'a')));  // 259 bytes
    for (const char *line : {"", "   ", "\"\"", "/next", "\"", static_cast<const char *>(nullptr)})
        EXPECT_TRUE(FilesOnCommandLine(line).empty());
    std::string huge(100000, '"');
    huge += "C:\\a.mid ";
    EXPECT_EQ(FilesOnCommandLine(huge.c_str()), Files{"C:\\a.mid"});
}

TEST(CommandLineFiles, BlockCarriesTheFilesAndDropsWhatIsNotOne) {
    Files files = {"D:\\" + kSo + "\\a b.mid", "C:\\x.mid"};
    std::string block = cmdline::JoinFiles(files);
    EXPECT_EQ(cmdline::SplitFiles(block.data(), block.size()), files);
    std::string damaged = std::string("junk\0\0C:\\y.mid\0C:\\z.mid", 23);  // the last NUL missing
    EXPECT_EQ(cmdline::SplitFiles(damaged.data(), damaged.size()), (Files{"C:\\y.mid", "C:\\z.mid"}));
    EXPECT_TRUE(cmdline::SplitFiles(nullptr, 10).empty());
    std::string many;
    for (int i = 0; i < 100; ++i) many += std::string("C:\\m.mid ");
    EXPECT_EQ(FilesOnCommandLine(many.c_str()).size(), cmdline::kMaxFiles);
}
