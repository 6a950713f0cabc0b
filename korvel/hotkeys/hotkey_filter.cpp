#include "korvel/hotkeys/hotkey_filter.h"

namespace korvel {

void HotkeyFilter::SetHotkeys(uint16_t next, uint16_t menu) {
    hotkeys_[0] = next;
    hotkeys_[1] = menu;
}

void HotkeyFilter::SetHotkeysFromBlock(const unsigned char *block, size_t size) {
    if (!block || size < kHotkeyBytes) {
        SetHotkeys(0, 0);
        return;
    }
    SetHotkeys(static_cast<uint16_t>(HotkeyField(block, HotkeyIndex::Next)),
               static_cast<uint16_t>(HotkeyField(block, HotkeyIndex::Menu)));
}

KeyAction HotkeyFilter::OnKey(unsigned virtualKey, bool down, unsigned modifiers) {
    if (virtualKey == 0 || virtualKey > 0xFF || virtualKey == kMaskKey) return KeyAction::Pass;
    if (!down) {
        if (held_ != virtualKey) return KeyAction::Pass;
        held_ = 0;
        return KeyAction::Swallow;
    }
    if (held_ == virtualKey) return KeyAction::Swallow;
    held_ = 0;
    const unsigned matched = kModShift | kModCtrl | kModAlt;
    for (int i = 0; i < 2; ++i) {
        unsigned key = hotkeys_[i] & 0xFFu;
        unsigned flags = (hotkeys_[i] >> 8) & matched;
        if (key != 0 && key == virtualKey && flags == (modifiers & matched)) {
            held_ = virtualKey;
            return i == 0 ? KeyAction::SendNext : KeyAction::SendMenu;
        }
    }
    return KeyAction::Pass;
}

}  // namespace korvel
