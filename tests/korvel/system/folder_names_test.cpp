// Folder paths as the folder picker gives them.  Shift-JIS bytes are
// escapes: "\x83\x5c" (a katakana) and "\x95\x5c" (a kanji) both end in the
// byte of a backslash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "korvel/system/folder_names.h"

namespace {

std::string Dropped(const char *path) {
    char buffer[64];
    std::strcpy(buffer, path);
    korvel::DropTrailingSeparator(buffer);
    return buffer;
}

TEST(FolderPath, TrailingSeparatorGoesExceptForRootsAndTrailBytes) {
    EXPECT_EQ(Dropped("C:\\M\\"), "C:\\M");
    EXPECT_EQ(Dropped("\\\\server\\share/"), "\\\\server\\share");
    EXPECT_EQ(Dropped("D:\\"), "D:\\");
    EXPECT_EQ(Dropped("\\"), "\\");
    EXPECT_EQ(Dropped("C:\\\x83\x5c"), "C:\\\x83\x5c");
    EXPECT_EQ(Dropped("C:\\\x83\x5c\\"), "C:\\\x83\x5c");
}

}  // namespace
