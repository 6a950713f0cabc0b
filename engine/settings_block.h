/* The 29-byte settings block, the REG_BINARY value "Settings".  The program
 * keeps and edits it; KORVEL.dll reads the hotkeys and the priority from
 * it.  Both read this one layout, so that a field cannot move in one and
 * not the other.  Plain C++, no windows.h: KORVEL.dll's plain code uses it.
 *
 *   bytes 0-1  next hotkey (low byte virtual key, high byte modifiers)
 *   bytes 2-3  menu hotkey
 *   byte  4    playback priority index, 0 "高" ... 4 "低"
 *   byte  5    option bits 40-47
 *   bytes 6-28 reserved: never interpreted, written back as read
 */
#ifndef TIVORN_ENGINE_SETTINGS_BLOCK_H
#define TIVORN_ENGINE_SETTINGS_BLOCK_H

#include <cstddef>

constexpr size_t kSettingsSize = 29;

// Each hotkey is a little-endian 16-bit field; 0 (or a virtual key of 0)
// leaves that hotkey unset.
enum class HotkeyIndex { Next = 0, Menu = 1 };
constexpr size_t kHotkeyOffset[2] = {0, 2};
// A stored value shorter than this holds no hotkeys at all.
constexpr size_t kHotkeyBytes = 4;

// Modifier flags as a hotkey control stores them in a field's high byte.
enum HotkeyModifiers : unsigned {
    kModShift = 0x01,
    kModCtrl = 0x02,
    kModAlt = 0x04,
    kModExtended = 0x08,  // which of two keys with one code; not matched
};

// Index into the priority choices 高, 通常以上, 通常, 通常以下, 低.
constexpr size_t kPriorityOffset = 4;
constexpr int kPriorityCount = 5;

// Bit n of the block is bit (n mod 8) of byte n / 8: the options are the
// bits of byte 5.
enum OptionBit {
    OPT_HOTKEYS = 40,
    OPT_SKIP_SHORTCUTS = 41,
    OPT_RANDOM = 42,
    OPT_READ_AT_ONCE = 43,
    OPT_AUTO_SAVE = 44,
    OPT_REPEAT_ONE = 45,
    OPT_ALT_CHECK_ICONS = 46,
};

inline int TestOptionBit(int bit, const unsigned char *block) { return (block[bit / 8] >> (bit % 8)) & 1; }

// Sets (value nonzero) or clears the bit in memory; returns value.
inline int SetOptionBit(int bit, int value, unsigned char *block) {
    unsigned char mask = static_cast<unsigned char>(1u << (bit % 8));
    if (value)
        block[bit / 8] |= mask;
    else
        block[bit / 8] &= static_cast<unsigned char>(~mask);
    return value;
}

inline unsigned HotkeyField(const unsigned char *block, HotkeyIndex index) {
    const unsigned char *field = block + kHotkeyOffset[static_cast<int>(index)];
    return field[0] | (field[1] << 8);
}

inline void SetHotkeyField(unsigned char *block, HotkeyIndex index, unsigned hotkey) {
    unsigned char *field = block + kHotkeyOffset[static_cast<int>(index)];
    field[0] = static_cast<unsigned char>(hotkey & 0xFF);
    field[1] = static_cast<unsigned char>((hotkey >> 8) & 0xFF);
}

// The priority index of a stored value of size bytes, or -1 when it holds
// none or one outside the choices: each reader picks its own fallback.
inline int StoredPriority(const unsigned char *block, size_t size) {
    if (size <= kPriorityOffset || block[kPriorityOffset] >= kPriorityCount) return -1;
    return block[kPriorityOffset];
}

#endif
