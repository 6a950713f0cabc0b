#include "store/option_bits.h"

int TestOptionBit(int bit, const unsigned char *block) {
    return (block[bit / 8] >> (bit % 8)) & 1;
}

int SetOptionBit(int bit, int value, unsigned char *block) {
    unsigned char mask = static_cast<unsigned char>(1u << (bit % 8));
    if (value)
        block[bit / 8] |= mask;
    else
        block[bit / 8] &= static_cast<unsigned char>(~mask);
    return value;
}

unsigned HotkeyField(const unsigned char *block, int index) {
    return block[2 * index] | (block[2 * index + 1] << 8);
}

void SetHotkeyField(unsigned char *block, int index, unsigned hotkey) {
    block[2 * index] = static_cast<unsigned char>(hotkey & 0xFF);
    block[2 * index + 1] = static_cast<unsigned char>((hotkey >> 8) & 0xFF);
}

bool StoredSettingsFit(size_t storedSize) { return storedSize > 0 && storedSize <= kSettingsSize; }
