#include "store/settings.h"

#include <cstring>

#include "engine/korvel.h"
#include "shell/errors.h"
#include "shell/shell_state.h"
#include "store/registry_layout.h"

SettingsState g_settings;

LoadResult LoadSettings() {
    unsigned char stored[kSettingsSize] = {};
    DWORD size = ReadValue(kProgramKey, kValueSettings, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (!StoredSettingsFit(size) ||
        ReadValue(kProgramKey, kValueSettings, stored, sizeof stored, REG_BINARY, HKEY_CURRENT_USER) == 0)
        return LoadResult::NotInstalled;
    std::memcpy(g_settings.block, stored, sizeof stored);
    g_shell.engineVariant = EngineVariant();
    return LoadResult::Ready;
}

void SaveSettings() {
    WriteValue(kProgramKey, kValueSettings, g_settings.block, sizeof g_settings.block, REG_BINARY,
               HKEY_CURRENT_USER);
}

int InstallHotkeyHook(int fatal) {
    HHOOK hook = InstallHook(g_shell.engineVariant);
    if (!hook) {
        ReportUnexpectedError(fatal != 0);
        return 0;
    }
    g_shell.hook = hook;
    DWORD value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hook));
    WriteValue(kProgramKey, kValueHook, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
    return 1;
}

void RemoveHotkeyHook() {
    if (g_shell.hook) {
        UnhookWindowsHookEx(g_shell.hook);
        g_shell.hook = nullptr;
    }
}
