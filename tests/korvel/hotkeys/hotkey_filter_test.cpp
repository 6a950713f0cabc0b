// The hotkey filter's decisions.
#include <gtest/gtest.h>

#include <vector>

#include "korvel/hotkeys/hotkey_filter.h"

namespace {

using korvel::KeyAction;
constexpr unsigned kF9 = 0x78, kF10 = 0x79;
constexpr unsigned kCtrl = korvel::kModCtrl, kShift = korvel::kModShift, kAlt = korvel::kModAlt;

TEST(HotkeyFilter, KeyAndShiftCtrlAltMustMatchExactly) {
    korvel::HotkeyFilter filter;
    const unsigned char block[29] = {kF9, 0x02, kF10, 0x05};  // Ctrl+F9, Shift+Alt+F10
    filter.SetHotkeysFromBlock(block, sizeof block);
    for (unsigned modifiers : {0u, kCtrl | kShift, kAlt}) {
        EXPECT_EQ(filter.OnKey(kF9, true, modifiers), KeyAction::Pass);
        EXPECT_EQ(filter.OnKey(kF9, false, 0), KeyAction::Pass);
    }
    EXPECT_EQ(filter.OnKey(kF9, true, kCtrl), KeyAction::SendNext);
    EXPECT_EQ(filter.OnKey(kF10, true, kShift | kAlt), KeyAction::SendMenu);

    filter.SetHotkeysFromBlock(block, 3);  // too short to hold both: unset
    EXPECT_EQ(filter.OnKey(kF9, true, kCtrl), KeyAction::Pass);
    filter.SetHotkeys(0x0200, 0x0A24);  // modifiers alone; Ctrl+Home as an extended key
    EXPECT_EQ(filter.OnKey(0, true, kCtrl), KeyAction::Pass);
    EXPECT_EQ(filter.OnKey(0x24, true, kCtrl), KeyAction::SendMenu);
}

TEST(HotkeyFilter, OneActionPerKeystrokeWithRepeatsAndKeyUpSwallowed) {
    korvel::HotkeyFilter filter;
    filter.SetHotkeys(kF9, 0);
    EXPECT_EQ(filter.OnKey(kF9, true, 0), KeyAction::SendNext);
    EXPECT_EQ(filter.OnKey(kF9, true, 0), KeyAction::Swallow);
    EXPECT_EQ(filter.OnKey(kF9, false, 0), KeyAction::Swallow);
    EXPECT_EQ(filter.OnKey(kF9, false, 0), KeyAction::Pass);  // only its own key-up

    // A key-up that never came is forgotten by the next other key or hook.
    EXPECT_EQ(filter.OnKey(kF9, true, 0), KeyAction::SendNext);
    EXPECT_EQ(filter.OnKey('A', true, 0), KeyAction::Pass);
    EXPECT_EQ(filter.OnKey(kF9, true, 0), KeyAction::SendNext);
    filter.ForgetHeldKey();
    EXPECT_EQ(filter.OnKey(kF9, true, 0), KeyAction::SendNext);
}

TEST(HotkeyFilter, MaskingKeyOnlyForAPressWithAltOrWinAndNeverEndsAHold) {
    korvel::HotkeyFilter filter;
    filter.SetHotkeys(0x0400 | kF9, 0x0200 | kF10);  // Alt+F9, Ctrl+F10
    const unsigned win = korvel::kModWin;
    KeyAction press = filter.OnKey(kF9, true, kAlt);
    EXPECT_EQ(press, KeyAction::SendNext);
    EXPECT_TRUE(korvel::HotkeyFilter::MasksBefore(press, kAlt));
    // The injected mask comes back through the hook in the middle of the hold.
    EXPECT_EQ(filter.OnKey(korvel::kMaskKey, true, kAlt), KeyAction::Pass);
    KeyAction repeat = filter.OnKey(kF9, true, kAlt);
    EXPECT_EQ(repeat, KeyAction::Swallow);
    EXPECT_FALSE(korvel::HotkeyFilter::MasksBefore(repeat, kAlt));
    EXPECT_EQ(filter.OnKey(kF9, false, 0), KeyAction::Swallow);

    // Win held matches as if it were not, and asks for the mask.
    press = filter.OnKey(kF10, true, kCtrl | win);
    EXPECT_EQ(press, KeyAction::SendMenu);
    EXPECT_TRUE(korvel::HotkeyFilter::MasksBefore(press, kCtrl | win));
    EXPECT_FALSE(korvel::HotkeyFilter::MasksBefore(KeyAction::SendMenu, kCtrl | kShift));
    EXPECT_FALSE(korvel::HotkeyFilter::MasksBefore(KeyAction::Pass, kAlt));
}

}  // namespace
