#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/command_line_files.h"

using cmdline::FilesOnCommandLine;
using Files = std::vector<std::string>;

const std::string kSo = "\x83\x5C";  // "ソ" in code page 932: its trail byte is a backslash

TEST(CommandLineFiles, QuotedPathsWithSpacesAndTrailBackslashesInOrderWithoutSwitches) {
    std::string so = "D:\\" + kSo + "\\a b.mid";
    std::string line = " \"" + so + "\"  /next C:/x.kar \"E:\\" + kSo + "\"\t";
    EXPECT_EQ(FilesOnCommandLine(line.c_str()), (Files{so, "C:/x.kar", "E:\\" + kSo}));
    // Quotes may sit anywhere in an argument; one left open runs to the end.
    EXPECT_EQ(FilesOnCommandLine("C:\\\"my songs\"\\s.mid \"D:\\open end.mid"),
              (Files{"C:\\my songs\\s.mid", "D:\\open end.mid"}));
    std::string block = cmdline::JoinFiles({so, "C:\\x.mid"});
    EXPECT_EQ(cmdline::SplitFiles(block.data(), block.size()), (Files{so, "C:\\x.mid"}));
}

TEST(CommandLineFiles, RefusesWhatCannotBeALocalFile) {
    const std::string refused[] = {
        "song.mid", "\\\\server\\share\\a.mid", "//server/share/a.mid", "C:\\", "C:\\dir\\",
        "C:\\" + std::string(257, 'a'), "C:\\a*.mid", "C:\\a.mid:stream", "C:\\a\x01.mid",
        "C:\\\x83", "C:\\\x83\x7F.mid", "C:\\\xFF.mid",  // a cut, a damaged and an unassigned character
    };
    for (const std::string &argument : refused)
        EXPECT_TRUE(FilesOnCommandLine(("\"" + argument + "\"").c_str()).empty()) << argument;
    EXPECT_TRUE(cmdline::IsFilePathForm("C:\\" + std::string(256, 'a')));  // 259 bytes
    for (const char *line : {"", "\"\"", "/next", "\"", static_cast<const char *>(nullptr)})
        EXPECT_TRUE(FilesOnCommandLine(line).empty());
    std::string huge = std::string(100000, '"') + "C:\\a.mid " + std::string(100000, 'x');
    EXPECT_EQ(FilesOnCommandLine(huge.c_str()), Files{"C:\\a.mid"});
    std::string damaged("junk\0\0C:\\y.mid\0C:\\z.mid", 23);  // the last NUL missing
    EXPECT_EQ(cmdline::SplitFiles(damaged.data(), damaged.size()), (Files{"C:\\y.mid", "C:\\z.mid"}));
}

TEST(HandOverBurst, StartsCloseTogetherJoinInAnyOrderAndALaterStartBeginsAnew) {
    constexpr uint64_t kSecond = 10000000;
    cmdline::HandedOver handed{0x0123456789ABCDEFull, {"C:\\a.mid", "D:\\b.mid"}};
    std::string block = cmdline::HandOverBlock(handed);
    cmdline::HandedOver read = cmdline::ReadHandOverBlock(block.data(), block.size());
    EXPECT_EQ(read.started, handed.started);
    EXPECT_EQ(read.files, handed.files);
    EXPECT_TRUE(cmdline::ReadHandOverBlock(block.data(), 7).files.empty());

    cmdline::HandOverBurst burst;
    uint64_t t = 1000 * kSecond;
    EXPECT_FALSE(burst.Joins(t));                // the first opening
    EXPECT_TRUE(burst.Joins(t + kSecond));       // Explorer's next process
    EXPECT_TRUE(burst.Joins(t + kSecond / 2));   // started earlier, arrived later
    EXPECT_TRUE(burst.Joins(t + 2 * kSecond));   // within the gap of the latest
    EXPECT_FALSE(burst.Joins(t + 9 * kSecond));  // opened on its own later
    EXPECT_FALSE(burst.Joins(~uint64_t{0}));     // a block from a stranger wraps nothing
    EXPECT_TRUE(burst.Joins(0));
}
