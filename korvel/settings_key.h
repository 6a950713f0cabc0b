// Where the library reads its settings: the program's key under
// HKEY_CURRENT_USER ("Settings" for the priority and the hotkeys, and
// Engine\Output), or the key SetSettingsKey named, a test program's own.
#ifndef TIVORN_KORVEL_SETTINGS_KEY_H
#define TIVORN_KORVEL_SETTINGS_KEY_H

#include <string>

#include "utils/output_value.h"

namespace korvel {

// Both read on any thread (the hook reads on its own).
std::string SettingsKey();
std::string EngineKeyPath();  // SettingsKey()\Engine

// What a song start needs from the settings, read together.
struct SongSettings {
    int priority = 0;  // index into 高 ... 低; 高 when "Settings" holds none
    outputs::OutputSetting output;
};
SongSettings ReadSongSettings();

}  // namespace korvel

#endif
