// Where the library reads its settings: the program's key under
// HKEY_CURRENT_USER ("Settings" for the priority and the hotkeys, and
// Engine\Output), or the key SetSettingsKey named, a test program's own.
#ifndef TIVORN_KORVEL_SETTINGS_KEY_H
#define TIVORN_KORVEL_SETTINGS_KEY_H

#include <windows.h>

#include <string>

#include "engine/registry_names.h"
#include "korvel/output/output_setting.h"
#include "korvel/sequencer/sequencer.h"
#include "utils/output_value.h"

namespace korvel {

// The key itself, part of the playback state: set on the program's thread
// (SetSettingsKey), read on the hook's too, hence the lock.
class SettingsKeyChoice {
public:
    std::string Get() {
        AcquireSRWLockShared(&lock_);
        std::string key = key_;
        ReleaseSRWLockShared(&lock_);
        return key;
    }
    // Null or empty is the program's own key.
    void Set(const char *programKey) {
        AcquireSRWLockExclusive(&lock_);
        key_ = programKey && *programKey ? programKey : kProgramKey;
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::string key_ = kProgramKey;
};

// Both read on any thread (the hook reads on its own).  SettingsKey reads
// the playback state's choice (playback_exports.cpp).
std::string SettingsKey();
std::string EngineKeyPath();  // SettingsKey()\Engine

// What a song start needs from the settings, read together.
struct SongSettings {
    int priority = 0;  // index into 高 ... 低; 高 when "Settings" holds none
    outputs::OutputSetting output;
    LoopPlay loop = LoopPlay::TwoPassesAndFade;
};
SongSettings ReadSongSettings();

// The "Output" value of the engine's registry key.
OutputSetting ReadOutputSetting(const char *engineKey);

}  // namespace korvel

#endif
