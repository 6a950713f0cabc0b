#include "store/settings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(OptionBits, OptionsAreTheBitsOfByteFive) {
    const unsigned char masks[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40};
    for (int i = 0; i < 7; ++i) {
        unsigned char block[kSettingsSize] = {};
        block[5] = masks[i];
        for (int bit = 40; bit <= 46; ++bit) EXPECT_EQ(TestOptionBit(bit, block), bit == 40 + i ? 1 : 0);
    }
    unsigned char block[kSettingsSize] = {};
    block[5] = 0x04;
    EXPECT_EQ(TestOptionBit(OPT_RANDOM, block), 1);
    block[5] = 0xFB;
    EXPECT_EQ(TestOptionBit(OPT_RANDOM, block), 0);
}

TEST(OptionBits, SettingTouchesOnlyItsBitAndReturnsTheValue) {
    unsigned char block[kSettingsSize];
    for (size_t i = 0; i < sizeof block; ++i) block[i] = static_cast<unsigned char>(0xA5 ^ i);
    unsigned char before[kSettingsSize];
    std::memcpy(before, block, sizeof block);

    // Setting a bit to the value it already has changes nothing.
    int current = TestOptionBit(OPT_AUTO_SAVE, block);
    EXPECT_EQ(SetOptionBit(OPT_AUTO_SAVE, current, block), current);
    EXPECT_EQ(std::memcmp(block, before, sizeof block), 0);

    EXPECT_EQ(SetOptionBit(OPT_REPEAT_ONE, 7, block), 7);  // any nonzero value sets
    EXPECT_EQ(TestOptionBit(OPT_REPEAT_ONE, block), 1);
    EXPECT_EQ(SetOptionBit(OPT_REPEAT_ONE, 0, block), 0);
    EXPECT_EQ(TestOptionBit(OPT_REPEAT_ONE, block), 0);
    for (size_t i = 0; i < sizeof block; ++i) {
        if (i == 5) continue;
        EXPECT_EQ(block[i], before[i]) << "byte " << i;
    }
    EXPECT_EQ(block[5] & ~0x20, before[5] & ~0x20);
}

TEST(OptionBits, HotkeyFieldsAreLittleEndianAndZeroMeansUnset) {
    unsigned char block[kSettingsSize] = {};
    EXPECT_EQ(HotkeyField(block, HotkeyIndex::Next), 0u);
    SetHotkeyField(block, HotkeyIndex::Menu, 0x0671);  // Ctrl+Alt+F2
    EXPECT_EQ(block[2], 0x71);
    EXPECT_EQ(block[3], 0x06);
    EXPECT_EQ(HotkeyField(block, HotkeyIndex::Menu), 0x0671u);
    EXPECT_EQ(HotkeyField(block, HotkeyIndex::Next), 0u);
}

TEST(OptionBits, StoredValueFitsWhenNotLongerThanTheBlock) {
    EXPECT_FALSE(StoredSettingsFit(0));
    EXPECT_TRUE(StoredSettingsFit(1));
    EXPECT_TRUE(StoredSettingsFit(29));
    EXPECT_FALSE(StoredSettingsFit(30));
}

}  // namespace
