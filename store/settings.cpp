#include "store/settings.h"

#include <cstring>

#include "engine/korvel.h"
#include "store/best_file.h"
#include "store/registry_layout.h"

SettingsState g_settings;

LoadResult LoadSettings() {
    unsigned char stored[kSettingsSize] = {};
    DWORD size = ReadValue(ProgramKey(), kValueSettings, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (!StoredSettingsFit(size) ||
        ReadValue(ProgramKey(), kValueSettings, stored, sizeof stored, REG_BINARY, HKEY_CURRENT_USER) == 0)
        return LoadResult::NotInstalled;
    std::memcpy(g_settings.block, stored, sizeof stored);
    // Repeat-one is for the session it was chosen in: every start begins
    // without it, though the stored bit is kept until the next save.
    SetOption(OPT_REPEAT_ONE, 0);
    g_settings.engineVariant = EngineVariant();
    return LoadResult::Ready;
}

void SaveSettings() {
    WriteValue(ProgramKey(), kValueSettings, g_settings.block, sizeof g_settings.block, REG_BINARY,
               HKEY_CURRENT_USER);
}

void TakeCurrentHotkeys() {
    g_settings.currentHotkeys[0] = HotkeyField(g_settings.block, 0);
    g_settings.currentHotkeys[1] = HotkeyField(g_settings.block, 1);
}

bool SetHotkeys(unsigned next, unsigned menu) {
    const unsigned hotkeys[2] = {next & 0xFFFFu, menu & 0xFFFFu};
    bool changed = false;
    for (int i = 0; i < 2; ++i) {
        SetHotkeyField(g_settings.block, i, hotkeys[i]);
        if (hotkeys[i] != g_settings.currentHotkeys[i]) changed = true;
        g_settings.currentHotkeys[i] = hotkeys[i];
    }
    return changed;
}

void SetAltCheckIcons(bool on) {
    SetOption(OPT_ALT_CHECK_ICONS, on);
    g_settings.altCheckIcons = on;
}

void TakeAltCheckIcons() { g_settings.altCheckIcons = TestOption(OPT_ALT_CHECK_ICONS) != 0; }

void WriteHookValue(HHOOK hook) {
    DWORD value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hook));
    WriteValue(ProgramKey(), kValueHook, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
}

void TakeMediaKeys() {
    DWORD value = 1;
    // A value of another type or size reads as missing: the keys stay on.
    if (ReadValue(ProgramKey(), kValueMediaKeys, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER) != sizeof value)
        value = 1;
    g_settings.mediaKeys = value != 0;
}

bool SetMediaKeys(bool on) {
    if (on == g_settings.mediaKeys) return false;
    DWORD value = on ? 1 : 0;
    WriteValue(ProgramKey(), kValueMediaKeys, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
    g_settings.mediaKeys = on;
    return true;
}
