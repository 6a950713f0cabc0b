#include "korvel/dll/settings_key.h"

#include <windows.h>

#include "engine/korvel.h"
#include "engine/registry_names.h"
#include "engine/settings_block.h"
#include "utils/handles.h"

namespace {

// The priority byte of "Settings": 0 "高", 1 "通常以上", 2 "通常", 3 "通常以下", 4 "低".
int StoredPlaybackPriority(const std::string &programKey) {
    unsigned char settings[64] = {};
    DWORD size = sizeof settings;
    DWORD type = 0;
    RegistryKey key;
    int index = 0;  // timing matters most when nothing says otherwise
    if (RegOpenKeyExA(HKEY_CURRENT_USER, programKey.c_str(), 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key.Get(), kValueSettings, nullptr, &type, settings, &size) == ERROR_SUCCESS &&
            type == REG_BINARY && StoredPriority(settings, size) >= 0)
            index = StoredPriority(settings, size);
    }
    return index;
}

korvel::LoopPlay StoredLoopPlay(const std::string &programKey) {
    DWORD value = kLoopTwiceAndFade;
    DWORD size = sizeof value;
    DWORD type = 0;
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, programKey.c_str(), 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key.Get(), kValueLoop, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value)
            value = kLoopTwiceAndFade;
    }
    switch (UsableLoopValue(value)) {
    case kLoopOnce: return korvel::LoopPlay::Off;
    case kLoopUntilNext: return korvel::LoopPlay::Endless;
    default: return korvel::LoopPlay::TwoPassesAndFade;
    }
}

}  // namespace

namespace korvel {

std::string EngineKeyPath() { return SettingsKey() + "\\Engine"; }

OutputSetting ReadOutputSetting(const char *engineKey) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, engineKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return ParseOutputSetting(nullptr, 0);
    // Room for "log:" and the longest path, and one byte more to notice a
    // value that is too long.
    char text[kMaxLogPathBytes + 8];
    DWORD type = 0;
    DWORD size = sizeof text;
    LONG status = RegQueryValueExA(key.Get(), kValueOutput, nullptr, &type, reinterpret_cast<BYTE *>(text), &size);
    key.Close();
    if (status == ERROR_FILE_NOT_FOUND) return ParseOutputSetting(nullptr, 0);
    OutputSetting invalid;
    invalid.kind = OutputSetting::Invalid;
    if (status != ERROR_SUCCESS || type != REG_SZ || size > sizeof text) return invalid;
    // The stored NUL is not part of the value (nor is a missing one).
    size_t length = size;
    while (length && text[length - 1] == 0) --length;
    return ParseOutputSetting(text, length);
}

SongSettings ReadSongSettings() {
    std::string key = SettingsKey();
    SongSettings settings;
    settings.priority = StoredPlaybackPriority(key);
    settings.loop = StoredLoopPlay(key);
    settings.output = ReadOutputSetting((key + "\\Engine").c_str());
    return settings;
}

}  // namespace korvel
