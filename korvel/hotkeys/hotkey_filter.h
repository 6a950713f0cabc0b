// Which keys the engine's keyboard hook takes for itself.  Plain C++: the
// hook procedure only gathers the key event and acts on the answer.
#ifndef TIVORN_KORVEL_HOTKEY_FILTER_H
#define TIVORN_KORVEL_HOTKEY_FILTER_H

#include <cstddef>
#include <cstdint>

#include "engine/settings_block.h"

namespace korvel {

// The modifier flags of the settings block's hotkey fields, under the names
// the hook has always used.
using ::kModAlt;
using ::kModCtrl;
using ::kModExtended;
using ::kModShift;
// The Win key, held beside a hotkey.  No hotkey names it (the settings block
// has no flag for it), so it never decides a match; it only asks for the
// masking key.
constexpr unsigned kModWin = 0x100;

// An unassigned virtual key.  A hotkey swallowed while Alt or Win is held
// would leave the focused window a lone Alt (down, then up: it opens its
// menu bar) or a lone Win (the Start menu).  Injecting this key first puts
// something between them, as the Shell itself does.
constexpr unsigned kMaskKey = 0xE8;

enum class KeyAction {
    Pass,        // not ours: the next hook and the focused window get it
    Swallow,     // ours, already acted on (auto-repeat, key-up)
    SendNext,    // the next hotkey was pressed: code 0
    SendMenu,    // the menu hotkey was pressed: code 5
};

class HotkeyFilter {
public:
    // The fields of the settings block: low byte virtual key, high byte
    // modifier flags; 0 (or a virtual key of 0) leaves that hotkey unset.
    void SetHotkeys(uint16_t next, uint16_t menu);
    // Takes both hotkeys from a stored settings block; a value too short
    // to hold both fields leaves both unset.
    void SetHotkeysFromBlock(const unsigned char *block, size_t size);
    uint16_t hotkey(int index) const { return hotkeys_[index]; }

    // One key event.  modifiers are the Shift/Ctrl/Alt flags held while the
    // key went down.  A hotkey's key-down acts once; its auto-repeats and
    // its key-up are swallowed too, so the focused window never sees half
    // of a keystroke.
    // The masking key is always passed and leaves the hold alone: the hook
    // sees the ones it injects itself.
    KeyAction OnKey(unsigned virtualKey, bool down, unsigned modifiers);
    // Whether the hook injects the masking key before it swallows this
    // key-down: a hotkey's press with Alt or Win held.  Its repeats and its
    // key-up need none, the focused window having seen the mask already.
    static bool MasksBefore(KeyAction action, unsigned modifiers) {
        return (action == KeyAction::SendNext || action == KeyAction::SendMenu) &&
               (modifiers & (kModAlt | kModWin)) != 0;
    }
    // Forgets a hotkey key still held, for a hook installed afresh: its
    // key-up may have gone to no hook at all.
    void ForgetHeldKey() { held_ = 0; }

private:
    uint16_t hotkeys_[2] = {0, 0};
    // The hotkey key pressed last and not yet released.  The keyboard repeats
    // only the key pressed last, so any other key-down ends the hold; a lost
    // key-up then costs nothing more than a swallowed repeat.
    unsigned held_ = 0;
};

}  // namespace korvel

#endif
