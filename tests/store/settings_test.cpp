// The settings block in the registry.
#include <gtest/gtest.h>

#include <cstring>

#include "store/settings.h"
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
    EXPECT_EQ(LoadSettings(), LoadResult::NotInstalled);
    std::vector<uint8_t> tooLong(30, 1);
    program_key::WriteSettings(tooLong);
    EXPECT_EQ(LoadSettings(), LoadResult::NotInstalled);
    program_key::WriteString(program_key::Key(), "Settings", "29 characters of text.......");
    EXPECT_EQ(LoadSettings(), LoadResult::NotInstalled);
}

TEST_F(SettingsTest, ShortValueIsZeroFilledAndSavedWhole) {
    const uint8_t shortBlock[] = {0x70, 0x00, 0x71, 0x06, 3, 0x14};
    program_key::WriteBinary(program_key::Key(), "Settings", shortBlock, sizeof shortBlock);
    ASSERT_EQ(LoadSettings(), LoadResult::Ready);
    EXPECT_EQ(std::memcmp(g_settings.block, shortBlock, sizeof shortBlock), 0);
    for (size_t i = sizeof shortBlock; i < kSettingsSize; ++i) EXPECT_EQ(g_settings.block[i], 0) << i;
    EXPECT_EQ(TestOption(OPT_RANDOM), 1);
    EXPECT_EQ(TestOption(OPT_AUTO_SAVE), 1);
    SaveSettings();
    EXPECT_EQ(Stored().size(), kSettingsSize);
}

TEST_F(SettingsTest, ReservedBytesAndPriorityAreWrittenBackExactly) {
    std::vector<uint8_t> block(kSettingsSize);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(0xC3 + 7 * i);
    block[5] = 0x80;  // bit 47: no meaning, kept
    program_key::WriteSettings(block);
    ASSERT_EQ(LoadSettings(), LoadResult::Ready);
    for (int round = 0; round < 3; ++round) {
        SetOption(OPT_RANDOM, round % 2);
        SaveSettings();
    }
    std::string stored = Stored();
    ASSERT_EQ(stored.size(), kSettingsSize);
    for (size_t i = 0; i < kSettingsSize; ++i) {
        if (i == 5) continue;
        EXPECT_EQ(static_cast<uint8_t>(stored[i]), block[i]) << "byte " << i;
    }
    EXPECT_EQ(static_cast<uint8_t>(stored[5]), 0x80);
}

}  // namespace
