// Album names in the settings file: every folder's name reads back, under
// the key the profile API can keep, and a write that fails changes nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "store/store.h"
#include "testing/store_fixture.h"

namespace {

using tt::StoreFixture;

TEST_F(StoreFixture, AlbumNamesOfEveryFolderReadBackAndKeysWrittenBeforeStillCount) {
    // '=' would split the key, spaces around it would be trimmed; "ポ" ends in
    // the byte of '|'.
    const std::pair<const char *, const char *> named[] = {
        {"D:\\M\\a=b", "イコール"}, {"D:\\M\\x ", "空白"}, {"D:\\M\\ポ=", "ポ"}, {"\\\\nas\\m\\plain", "共有"}};
    for (const auto &[folder, name] : named) ASSERT_TRUE(store_.WriteAlbumName(folder, name)) << folder;
    // A name stored by an earlier version, under the folder's own path.
    ASSERT_TRUE(WritePrivateProfileStringA("AlbumName", "D:\\M\\old", "前の名前", store_.settingsFile()));
    AlbumNames names = AlbumNames::Read(store_);
    for (const auto &[folder, name] : named) {
        EXPECT_EQ(store_.ReadAlbumName(folder), name) << folder;
        EXPECT_EQ(names.For(folder), name) << folder;
    }
    EXPECT_EQ(names.For("d:\\m\\OLD"), "前の名前");
    for (const char *none : {"D:\\M\\a", "D:\\M\\x", "D:\\M\\ポ"}) EXPECT_EQ(store_.ReadAlbumName(none), "") << none;
    ASSERT_TRUE(store_.DeleteAlbumName("D:\\M\\a=b"));
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\a=b"), "");
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\old"), "前の名前");

    // Another program holds the file for longer than a write waits.
    HANDLE holder = CreateFileA(store_.settingsFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(store_.WriteAlbumName("D:\\M\\old", "新しい名前"));
    EXPECT_FALSE(store_.DeleteAlbumName("D:\\M\\x "));
    CloseHandle(holder);
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\old"), "前の名前");
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\x "), "空白");
}

}  // namespace
