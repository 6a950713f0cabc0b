#include <gtest/gtest.h>

#include "utils/path_rules.h"

// The drive root as the MIDI folder and the data folder both keep and show
// it; a trail byte 0x5C is never taken for the separator it looks like.
TEST(PathRules, DriveRootsAndSeparatorsAreTakenAsCharacters) {
    EXPECT_EQ(paths::ShownFolder(paths::KeptFolder("D:\\")), "D:\\");
    EXPECT_EQ(paths::KeptFolder("D:\\"), "D:");
    EXPECT_EQ(paths::ShownFolder("D:\\M"), "D:\\M");
    EXPECT_EQ(paths::KeptFolder("E:\\\x83\x5c"), "E:\\\x83\x5c");
    EXPECT_EQ(paths::JoinPath("E:\\\x83\x5c", "a.mid"), "E:\\\x83\x5c\\a.mid");
    EXPECT_EQ(paths::JoinPath("C:\\", "a.mid"), "C:\\a.mid");
}
