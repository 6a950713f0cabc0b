// The settings block in memory and its registry value.
#ifndef TIVORN_STORE_SETTINGS_H
#define TIVORN_STORE_SETTINGS_H

#include <windows.h>

#include "store/option_bits.h"

struct SettingsState {
    unsigned char block[kSettingsSize];  // the one copy every reader uses
    unsigned currentHotkeys[2];          // taken at start, kept in step by the advanced dialog
    bool altCheckIcons;                  // copy of OPT_ALT_CHECK_ICONS the folder tree reads
    int engineVariant;                   // EngineVariant(), handed back to InstallHook
    bool mediaKeys = true;               // copy of "MediaKeys": Play/Pause, Next, Previous, Stop taken
};

extern SettingsState g_settings;

enum class LoadResult { Ready, NotInstalled };

// Reads "Settings" and the engine variant, with repeat-one off whatever the
// value holds.  A value that is missing, of another type or longer than the
// block means the program is not installed.
LoadResult LoadSettings();
void SaveSettings();

// "Hook": the handle of the installed hotkey hook, written and never read.
void WriteHookValue(HHOOK hook);

// The start-up copies: the hotkeys from the block, and the check-mark look.
void TakeCurrentHotkeys();
void TakeAltCheckIcons();

// "MediaKeys" into its copy: on unless the value says 0.
void TakeMediaKeys();
// Writes "MediaKeys" and its copy; true when it differed from the copy.
bool SetMediaKeys(bool on);

// The advanced settings dialog's hotkeys into the block, as given (none and
// two equal ones included).  True when either differs from its current
// copy; the copies then follow.
bool SetHotkeys(unsigned next, unsigned menu);
// The check-mark look: OPT_ALT_CHECK_ICONS and the folder tree's copy together.
void SetAltCheckIcons(bool on);

inline int TestOption(int bit) { return TestOptionBit(bit, g_settings.block); }
inline int SetOption(int bit, int value) { return SetOptionBit(bit, value, g_settings.block); }

#endif
