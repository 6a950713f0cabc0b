#include <algorithm>
#include <cstring>

#include "engine/korvel.h"
#include "store/store.h"
#include "utils/ansi_text.h"

Settings Settings::FromBlock(const unsigned char *block, size_t size) {
    Settings settings;
    if (block) std::memcpy(settings.block_, block, std::min(size, sizeof settings.block_));
    return settings;
}

Store::Store(const RegistryRoot &root) : root_(root) { SetSettingsKey(root_.program.c_str()); }

bool Store::UseDataFolder(const char *folder) {
    store::DataFolder files;
    if (!folder || !store::FormDataFolder(folder, &files)) return false;
    UseDataFolder(files);
    return true;
}

void Store::UseDataFolder(const store::DataFolder &files) {
    ansi::CopyFit(dataFolder_, sizeof dataFolder_, files.folder.c_str());
    ansi::CopyFit(settingsFile_, sizeof settingsFile_, files.settingsFile.c_str());
    ansi::CopyFit(bestFile_, sizeof bestFile_, files.bestFile.c_str());
}

LoadResult Store::LoadSettings() {
    unsigned char stored[kSettingsSize] = {};
    DWORD size = ReadValue(ProgramKey(), kValueSettings, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (!StoredSettingsFit(size) ||
        ReadValue(ProgramKey(), kValueSettings, stored, sizeof stored, REG_BINARY, HKEY_CURRENT_USER) == 0)
        return LoadResult::NotInstalled;
    settings_ = Settings::FromBlock(stored, sizeof stored);
    settings_.setOption(Option::RepeatOne, false);
    settings_.engineVariant = EngineVariant();
    ReadMediaKeys();
    ReadLoopPlay();
    return LoadResult::Ready;
}

void Store::ReadMediaKeys() {
    DWORD value = 1;
    // A value of another type or size reads as missing: the keys stay on.
    if (ReadValue(ProgramKey(), kValueMediaKeys, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER) != sizeof value)
        value = 1;
    settings_.mediaKeys = value != 0;
}

void Store::ReadLoopPlay() {
    DWORD value = kLoopTwiceAndFade;
    if (ReadValue(ProgramKey(), kValueLoop, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER) != sizeof value)
        value = kLoopTwiceAndFade;
    settings_.loopPlay = static_cast<LoopPlayUse>(UsableLoopValue(value));
}

void Store::SaveSettings() {
    WriteValue(ProgramKey(), kValueSettings, settings_.block(), kSettingsSize, REG_BINARY, HKEY_CURRENT_USER);
}

void Store::UseSettings(const unsigned char *block, size_t size) { settings_ = Settings::FromBlock(block, size); }

bool Store::SetOption(Option which, bool on) {
    settings_.setOption(which, on);
    Tell(SettingsChange::Options);
    return on;
}

bool Store::SetHotkeys(unsigned next, unsigned menu) {
    const unsigned hotkeys[2] = {next & 0xFFFFu, menu & 0xFFFFu};
    bool changed = false;
    for (HotkeyIndex which : {kHotkeyNext, kHotkeyMenu}) {
        if (hotkeys[which] != settings_.hotkey(which)) changed = true;
        settings_.setHotkey(which, hotkeys[which]);
    }
    if (changed) Tell(SettingsChange::Hotkeys);
    return changed;
}

bool Store::SetMediaKeys(bool on) {
    if (on == settings_.mediaKeys) return false;
    DWORD value = on ? 1 : 0;
    WriteValue(ProgramKey(), kValueMediaKeys, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
    settings_.mediaKeys = on;
    Tell(SettingsChange::MediaKeys);
    return true;
}

// Written at once, as "MediaKeys" is; the engine reads it at the next song.
bool Store::SetLoopPlay(LoopPlayUse use) {
    if (use == settings_.loopPlay) return false;
    DWORD value = static_cast<DWORD>(use);
    WriteValue(ProgramKey(), kValueLoop, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
    settings_.loopPlay = use;
    Tell(SettingsChange::LoopPlay);
    return true;
}

void Store::AddListener(SettingsListener *listener) { listeners_.push_back(listener); }

void Store::RemoveListener(SettingsListener *listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Store::Tell(SettingsChange change) {
    // A copy: a listener may leave while it is told.
    std::vector<SettingsListener *> listeners = listeners_;
    for (SettingsListener *listener : listeners) listener->SettingsChanged(settings_, change);
}

void Store::WriteHookValue(HHOOK hook) {
    DWORD value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hook));
    WriteValue(ProgramKey(), kValueHook, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
}
