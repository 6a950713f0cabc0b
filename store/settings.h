// The settings as a value: the 29-byte "Settings" block with its fields
// named, and the values read beside it ("MediaKeys", "Loop", the engine variant).
// The block is kept whole, reserved bytes and all, so that a save writes
// back byte for byte what was read.
#ifndef TIVORN_STORE_SETTINGS_H
#define TIVORN_STORE_SETTINGS_H

#include <cstddef>

#include "engine/settings_block.h"

// The "Loop" value's choices, by the numbers it stores.
enum class LoopPlayUse { Once = 0, TwiceAndFade = 1, UntilNext = 2 };

// The option bits of the block, by name.
enum class Option {
    Hotkeys = OPT_HOTKEYS,
    SkipShortcuts = OPT_SKIP_SHORTCUTS,
    Random = OPT_RANDOM,
    ReadAtOnce = OPT_READ_AT_ONCE,
    AutoSave = OPT_AUTO_SAVE,
    RepeatOne = OPT_REPEAT_ONE,
    AltMarkIcons = OPT_ALT_CHECK_ICONS,  // the folder tree's mark look
};

class Settings {
public:
    // A block of zeros: no hotkeys, priority 高, no options, media keys on.
    Settings() = default;
    // The block as if read from "Settings": a shorter one zero-filled, a
    // longer one cut.
    static Settings FromBlock(const unsigned char *block, size_t size);

    bool option(Option which) const { return TestOptionBit(static_cast<int>(which), block_) != 0; }
    void setOption(Option which, bool on) { SetOptionBit(static_cast<int>(which), on ? 1 : 0, block_); }

    // The hotkey fields as a hotkey control gives them; 0 is none.
    unsigned hotkey(HotkeyIndex which) const { return HotkeyField(block_, which); }
    void setHotkey(HotkeyIndex which, unsigned hotkey) { SetHotkeyField(block_, which, hotkey & 0xFFFFu); }

    // The playback priority index, 0 "高" ... 4 "低"; -1 when the byte holds none.
    int priority() const { return StoredPriority(block_, sizeof block_); }

    // "MediaKeys": Play/Pause, Next, Previous and Stop taken while something plays.
    bool mediaKeys = true;
    // "Loop": how a song with loop points plays.
    LoopPlayUse loopPlay = LoopPlayUse::TwiceAndFade;
    // "SongNotice": a balloon from the icon names each song that starts.
    bool songNotice = false;
    // EngineVariant() as the load found it; handed back to InstallHook.
    int engineVariant = 0;

    // The block as "Settings" holds it, kSettingsSize bytes.
    const unsigned char *block() const { return block_; }

private:
    unsigned char block_[kSettingsSize] = {};
};

// What changed, for those that follow the settings.
enum class SettingsChange { Options, Hotkeys, MediaKeys, LoopPlay, SongNotice };

// Told by the store after each change it makes; implemented by the layers
// above that show or act on a setting.
class SettingsListener {
public:
    virtual void SettingsChanged(const Settings &settings, SettingsChange change) = 0;

protected:
    ~SettingsListener() = default;
};

// A stored value of storedSize bytes can be taken as the block when it is not
// longer than the block; a shorter one is zero-filled.  The block's layout is
// the engine library's as much as ours (engine/settings_block.h); this rule
// is the store's own.
bool StoredSettingsFit(size_t storedSize);

enum class LoadResult { Ready, NotInstalled };

#endif
