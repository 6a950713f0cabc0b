// The helpers' plain decisions: the hand-over command table, folder paths
// and the hotkey filter.  Shift-JIS bytes are escapes: "\x83\x5c" (a
// katakana) and "\x95\x5c" (a kanji) both end in the byte of a backslash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "korvel/handover/command_line.h"
#include "korvel/hotkeys/hotkey_filter.h"
#include "korvel/system/folder_names.h"

namespace {

TEST(HandOverCode, CommandsInAnyCaseWithBlanksAndQuotes) {
    const char *lines[] = {"/next", "/rewind", "/stop", "/nextbest", "/restart", "/menu"};
    for (int code = 0; code < 6; ++code) EXPECT_EQ(korvel::HandOverCode(lines[code]), code);
    EXPECT_EQ(korvel::HandOverCode("  /NextBest \r\n"), 3);
    EXPECT_EQ(korvel::HandOverCode(" \" /rewind \" "), 1);
    EXPECT_EQ(korvel::HandOverCode("\"/menu"), 5);  // unterminated quote
    for (const char *empty : {"", "  \t ", "\"\""}) EXPECT_EQ(korvel::HandOverCode(empty), 5);
    EXPECT_EQ(korvel::HandOverCode(nullptr), 5);
}

TEST(HandOverCode, AnythingElseSendsNothing) {
    for (const char *line : {"/nex", "/nextx", "/next /stop", "next", "-next", "//next", "/next\"x\"",
                             "\x83\x5c", "/next\x83", "C:\\a.mid", "/"})
        EXPECT_EQ(korvel::HandOverCode(line), korvel::kNoCommand) << line;
    EXPECT_EQ(korvel::HandOverCode(std::string(100000, 'x').c_str()), korvel::kNoCommand);
}

std::string Dropped(const char *path) {
    char buffer[64];
    std::strcpy(buffer, path);
    korvel::DropTrailingSeparator(buffer);
    return buffer;
}

TEST(FolderPath, TrailingSeparatorGoesExceptForRootsAndTrailBytes) {
    EXPECT_EQ(Dropped("C:\\M\\"), "C:\\M");
    EXPECT_EQ(Dropped("\\\\server\\share/"), "\\\\server\\share");
    EXPECT_EQ(Dropped("D:\\"), "D:\\");
    EXPECT_EQ(Dropped("\\"), "\\");
    EXPECT_EQ(Dropped("C:\\\x83\x5c"), "C:\\\x83\x5c");
    EXPECT_EQ(Dropped("C:\\\x83\x5c\\"), "C:\\\x83\x5c");
}

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
