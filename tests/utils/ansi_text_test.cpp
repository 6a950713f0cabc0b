// Shift-JIS bytes are escapes: "\x83\x5c" (a katakana) and "\x95\x5c" (a
// kanji) both end in the byte of a backslash.
#include <gtest/gtest.h>

#include "utils/ansi_text.h"

TEST(Separators, TrailBytesThatLookLikeBackslashesAreNotSeparators) {
    const char path[] = "C:\\\x83\x5c\\\x95\x5c.mid";
    EXPECT_TRUE(ansi::IsSeparatorAt(path, path + 2));
    EXPECT_FALSE(ansi::IsSeparatorAt(path, path + 4));
    EXPECT_TRUE(ansi::IsSeparatorAt(path, path + 5));
    EXPECT_FALSE(ansi::IsSeparatorAt(path, path + 7));
    EXPECT_EQ(ansi::LastSeparator(path), path + 5);

    const char endsInTrail[] = "D:/Music\\\x83\x5c";
    EXPECT_EQ(ansi::LastSeparator(endsInTrail), endsInTrail + 8);
    EXPECT_FALSE(ansi::IsSeparatorAt(endsInTrail, endsInTrail + 10));
    EXPECT_TRUE(ansi::IsSeparatorAt(endsInTrail, endsInTrail + 2));

    EXPECT_EQ(ansi::LastSeparator("song.mid"), nullptr);
    EXPECT_EQ(ansi::LastSeparator("\x83\x5c\x95\x5c"), nullptr);
    EXPECT_EQ(ansi::LastSeparator(nullptr), nullptr);
    const char damaged[] = "a\\\x83";  // a lead byte cut off by the terminator
    EXPECT_EQ(ansi::LastSeparator(damaged), damaged + 1);
}
