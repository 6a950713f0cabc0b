// The settings block in the registry, and album names in the album file.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "store/store.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;

class SettingsTest : public StoreFixture {
protected:
    std::string Stored() {
        std::string data;
        program_key::ReadRaw(program_key::Key(), "Settings", &data);
        return data;
    }
};

TEST_F(SettingsTest, MissingLongOrMistypedValuesAreNotInstalled) {
    EXPECT_EQ(store_.LoadSettings(), LoadResult::NotInstalled);
    std::vector<uint8_t> tooLong(30, 1);
    program_key::WriteSettings(tooLong);
    EXPECT_EQ(store_.LoadSettings(), LoadResult::NotInstalled);
    program_key::WriteString(program_key::Key(), "Settings", "29 characters of text.......");
    EXPECT_EQ(store_.LoadSettings(), LoadResult::NotInstalled);
}

TEST_F(SettingsTest, ShortValueIsZeroFilledAndSavedWhole) {
    const uint8_t shortBlock[] = {0x70, 0x00, 0x71, 0x06, 3, 0x14};
    program_key::WriteBinary(program_key::Key(), "Settings", shortBlock, sizeof shortBlock);
    ASSERT_EQ(store_.LoadSettings(), LoadResult::Ready);
    EXPECT_EQ(std::memcmp(store_.settings().block(), shortBlock, sizeof shortBlock), 0);
    for (size_t i = sizeof shortBlock; i < kSettingsSize; ++i) EXPECT_EQ(store_.settings().block()[i], 0) << i;
    EXPECT_EQ(store_.option(Option::Random), 1);
    EXPECT_EQ(store_.option(Option::AutoSave), 1);
    store_.SaveSettings();
    EXPECT_EQ(Stored().size(), kSettingsSize);
}

TEST_F(SettingsTest, ReservedBytesAndPriorityAreWrittenBackExactly) {
    std::vector<uint8_t> block(kSettingsSize);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(0xC3 + 7 * i);
    block[5] = 0x80;  // bit 47: no meaning, kept
    program_key::WriteSettings(block);
    ASSERT_EQ(store_.LoadSettings(), LoadResult::Ready);
    for (int round = 0; round < 3; ++round) {
        store_.SetOption(Option::Random, round % 2);
        store_.SaveSettings();
    }
    std::string stored = Stored();
    ASSERT_EQ(stored.size(), kSettingsSize);
    for (size_t i = 0; i < kSettingsSize; ++i) {
        if (i == 5) continue;
        EXPECT_EQ(static_cast<uint8_t>(stored[i]), block[i]) << "byte " << i;
    }
    EXPECT_EQ(static_cast<uint8_t>(stored[5]), 0x80);
}

// The named fields sit on the block's bytes, and each change is told to the
// listeners once, with the settings as they now are; unchanged hotkeys or
// "MediaKeys" are not told.
TEST_F(SettingsTest, NamedFieldsAreTheBlocksBytesAndChangesAreTold) {
    struct Recorder : SettingsListener {
        void SettingsChanged(const Settings &settings, SettingsChange change) override {
            told.emplace_back(change, settings.option(Option::RepeatOne));
        }
        std::vector<std::pair<SettingsChange, bool>> told;
    } recorder;
    store_.AddListener(&recorder);
    store_.SetOption(Option::RepeatOne, true);
    EXPECT_TRUE(store_.SetHotkeys(0x0627, 0x0624));
    EXPECT_FALSE(store_.SetHotkeys(0x0627, 0x0624));
    EXPECT_FALSE(store_.SetMediaKeys(true));
    EXPECT_TRUE(store_.SetMediaKeys(false));
    store_.RemoveListener(&recorder);
    store_.SetOption(Option::Random, true);
    using Told = std::pair<SettingsChange, bool>;
    EXPECT_EQ(recorder.told, (std::vector<Told>{{SettingsChange::Options, true}, {SettingsChange::Hotkeys, true},
                                                {SettingsChange::MediaKeys, true}}));
    const unsigned char *block = store_.settings().block();
    EXPECT_EQ(std::vector<int>(block, block + 6), (std::vector<int>{0x27, 0x06, 0x24, 0x06, 0, 0x24}));
    std::string mediaKeys;
    ASSERT_TRUE(program_key::ReadRaw(program_key::Key(), "MediaKeys", &mediaKeys));
    EXPECT_EQ(mediaKeys, std::string(4, '\0'));
}

// Every folder's album name reads back, under a key the profile API keeps
// whole ('=' would split it, spaces around it be trimmed; "ポ" ends in the
// byte of '|'), names stored before still count, and a refused write changes nothing.
TEST_F(StoreFixture, AlbumNamesOfEveryFolderReadBackAndARefusedWriteChangesNothing) {
    const std::pair<const char *, const char *> named[] = {
        {"D:\\M\\a=b", "イコール"}, {"D:\\M\\x ", "空白"}, {"D:\\M\\ポ=", "ポ"}};
    for (const auto &[folder, name] : named) ASSERT_TRUE(store_.WriteAlbumName(folder, name)) << folder;
    ASSERT_TRUE(WritePrivateProfileStringA("AlbumName", "D:\\M\\old", "前の名前", store_.albumFile()));
    AlbumNames names = AlbumNames::Read(store_);
    for (const auto &[folder, name] : named)
        EXPECT_TRUE(store_.ReadAlbumName(folder) == name && names.For(folder) == name) << folder;
    EXPECT_EQ(names.For("d:\\m\\OLD"), "前の名前");
    for (const char *none : {"D:\\M\\a", "D:\\M\\x", "D:\\M\\ポ"}) EXPECT_EQ(store_.ReadAlbumName(none), "") << none;
    ASSERT_TRUE(store_.DeleteAlbumName("D:\\M\\a=b"));
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\a=b"), "");

    // Another program holds the file for longer than a write waits.
    HANDLE holder = CreateFileA(store_.albumFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(store_.WriteAlbumName("D:\\M\\old", "新しい名前"));
    EXPECT_FALSE(store_.DeleteAlbumName("D:\\M\\x "));
    CloseHandle(holder);
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\old"), "前の名前");
    EXPECT_EQ(store_.ReadAlbumName("D:\\M\\x "), "空白");
}

}  // namespace
