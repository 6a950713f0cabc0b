// The settings block in memory, its registry value and the hotkey hook.
#ifndef TIVORN_STORE_SETTINGS_H
#define TIVORN_STORE_SETTINGS_H

#include <windows.h>

#include "store/option_bits.h"

struct SettingsState {
    unsigned char block[kSettingsSize];  // the one copy every reader uses
    unsigned currentHotkeys[2];          // taken at start, kept in step by the advanced dialog
    bool altCheckIcons;                  // copy of OPT_ALT_CHECK_ICONS the folder tree reads
};

extern SettingsState g_settings;

enum class LoadResult { Ready, NotInstalled };

// Reads "Settings" and the engine variant.  A value that is missing, of
// another type or longer than the block means the program is not installed.
LoadResult LoadSettings();
void SaveSettings();

// Installs the engine's keyboard hook and records it in "Hook".  On failure
// gives the unexpected-error report, with shut-down when fatal is set.
int InstallHotkeyHook(int fatal);
// Removes the hook, if one is installed.
void RemoveHotkeyHook();

inline int TestOption(int bit) { return TestOptionBit(bit, g_settings.block); }
inline int SetOption(int bit, int value) { return SetOptionBit(bit, value, g_settings.block); }

#endif
