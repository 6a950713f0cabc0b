// The hand-over's command table.
#include <gtest/gtest.h>

#include "korvel/handover/command_line.h"

namespace {

TEST(HandOverCode, CommandsInAnyCaseWithBlanksAndQuotes) {
    const char *lines[] = {"/next", "/rewind", "/stop", "/nextbest", "/restart", "/menu"};
    for (int code = 0; code < 6; ++code) EXPECT_EQ(korvel::HandOverCode(lines[code]), code);
    EXPECT_EQ(korvel::HandOverCode("  /NextBest \r\n"), 3);
    EXPECT_EQ(korvel::HandOverCode(" \" /rewind \" "), 1);
    EXPECT_EQ(korvel::HandOverCode("\"/menu"), 5);  // unterminated quote
    for (const char *empty : {"", "  \t ", "\"\""}) EXPECT_EQ(korvel::HandOverCode(empty), 5);
    EXPECT_EQ(korvel::HandOverCode(nullptr), 5);
}

TEST(HandOverCode, AnythingElseSendsNothing) {
    for (const char *line : {"/nex", "/nextx", "/next /stop", "next", "-next", "//next", "/next\"x\"",
                             "\x83\x5c", "/next\x83", "C:\\a.mid", "/"})
        EXPECT_EQ(korvel::HandOverCode(line), korvel::kNoCommand) << line;
    EXPECT_EQ(korvel::HandOverCode(std::string(100000, 'x').c_str()), korvel::kNoCommand);
}

}  // namespace
