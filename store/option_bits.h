// The 29-byte settings block and its option bits.
//
//   bytes 0-1  fast-forward hotkey (low byte virtual key, high byte HOTKEYF_ flags)
//   bytes 2-3  menu hotkey
//   byte  4    playback priority index, 0 "高" ... 4 "低"
//   byte  5    option bits 40-47
//   bytes 6-28 reserved: never interpreted, written back as read
#ifndef TIVORN_STORE_OPTION_BITS_H
#define TIVORN_STORE_OPTION_BITS_H

#include <cstddef>

constexpr size_t kSettingsSize = 29;

enum OptionBit {
    OPT_HOTKEYS = 40,
    OPT_SKIP_SHORTCUTS = 41,
    OPT_RANDOM = 42,
    OPT_READ_AT_ONCE = 43,
    OPT_AUTO_SAVE = 44,
    OPT_REPEAT_ONE = 45,
    OPT_ALT_CHECK_ICONS = 46,
};

// Bit n of the block is bit (n mod 8) of byte n / 8.
int TestOptionBit(int bit, const unsigned char *block);
// Sets (value nonzero) or clears the bit in memory; returns value.
int SetOptionBit(int bit, int value, unsigned char *block);

unsigned HotkeyField(const unsigned char *block, int index);          // index 0 or 1
void SetHotkeyField(unsigned char *block, int index, unsigned hotkey);

// A stored value of storedSize bytes can be taken as the block when it is not
// longer than the block; a shorter one is zero-filled.
bool StoredSettingsFit(size_t storedSize);

#endif
