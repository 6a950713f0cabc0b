#include "korvel/settings_key.h"

#include <windows.h>

#include "engine/korvel.h"
#include "engine/registry_names.h"
#include "engine/settings_block.h"
#include "korvel/midi_output.h"

namespace {

// The priority byte of "Settings": 0 "高", 1 "通常以上", 2 "通常", 3 "通常以下", 4 "低".
int StoredPlaybackPriority(const std::string &programKey) {
    unsigned char settings[64] = {};
    DWORD size = sizeof settings;
    DWORD type = 0;
    HKEY key;
    int index = 0;  // timing matters most when nothing says otherwise
    if (RegOpenKeyExA(HKEY_CURRENT_USER, programKey.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, kValueSettings, nullptr, &type, settings, &size) == ERROR_SUCCESS &&
            type == REG_BINARY && StoredPriority(settings, size) >= 0)
            index = StoredPriority(settings, size);
        RegCloseKey(key);
    }
    return index;
}

korvel::LoopPlay StoredLoopPlay(const std::string &programKey) {
    DWORD value = kLoopTwiceAndFade;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, programKey.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, kValueLoop, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value)
            value = kLoopTwiceAndFade;
        RegCloseKey(key);
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

SongSettings ReadSongSettings() {
    std::string key = SettingsKey();
    SongSettings settings;
    settings.priority = StoredPlaybackPriority(key);
    settings.loop = StoredLoopPlay(key);
    settings.output = ReadOutputSetting((key + "\\Engine").c_str());
    return settings;
}

}  // namespace korvel
