#include "shell/output_menu.h"

#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "engine/korvel.h"
#include "resources/resource_ids.h"
#include "store/output_choice.h"
#include "utils/ansi_text.h"
#include "utils/code_page.h"
#include "utils/message_box.h"
#include "utils/path_rules.h"

namespace {

const char kLogItem[] = "ログ出力";
// The General MIDI SoundFont that setup puts beside the program.
const char kShippedSoundFont[] = "TimGM6mb.sf2";
const char kSoundFontDialogTitle[] = "SoundFont の選択";
const char kSoundFontFilter[] = "SoundFont (*.sf2)\0*.sf2\0すべてのファイル (*.*)\0*.*\0";
const char kSoundFontPathTooLong[] =
    "SoundFont のパスが長すぎるため、使えません。\n"
    "259 バイト以内のパスにある SoundFont を選んでください。";

// A driver's name is shown as it is: '&' would otherwise underline the next
// character (it is never a trail byte in code page 932).
std::string MenuLabel(const std::string &name, UINT id) {
    if (name.empty()) return "MIDI " + std::to_string(id + 1);
    std::string label;
    for (char c : name) {
        if (c == '&') label += '&';
        label += c;
    }
    return label;
}

// The item of the output that plays now; 0 when none is listed (an
// unusable value, or a device number past the devices).
UINT CurrentCommand(const outputs::OutputSetting &setting, const std::vector<std::string> &names) {
    if (setting.kind == outputs::OutputSetting::Log) return IDM_OUTPUT_LOG;
    if (setting.kind == outputs::OutputSetting::Synth) return IDM_OUTPUT_SYNTH;
    if (setting.kind == outputs::OutputSetting::Invalid) return 0;
    int device = outputs::ChooseDevice(setting, names);
    if (device == outputs::kMapper) return IDM_OUTPUT_MAPPER;
    return device < static_cast<int>(names.size()) ? IDM_OUTPUT_DEVICE_FIRST + static_cast<UINT>(device) : 0;
}

void InsertItem(HMENU menu, UINT position, UINT command, const std::string &label) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    item.wID = command;
    item.dwTypeData = const_cast<char *>(label.c_str());
    InsertMenuItemA(menu, position, TRUE, &item);
}

// The resource's items are plain strings; the outputs among them are shown
// as the radio choices they are.
void CheckAsChoice(HMENU menu, UINT command) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    SetMenuItemInfoA(menu, command, FALSE, &item);
}

bool IsListedOutput(UINT command) {
    return command == IDM_OUTPUT_LOG ||
           (command >= IDM_OUTPUT_DEVICE_FIRST && command < IDM_OUTPUT_DEVICE_FIRST + kMaxOutputDevices);
}

int PositionOf(HMENU menu, UINT command) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (GetMenuItemID(menu, i) == command) return i;
    return GetMenuItemCount(menu);
}

// TimGM6mb.sf2 beside the program file; empty when it is not there.
std::string ShippedSoundFont() {
    // Spelt in the code page, by the short form where needed: the engine
    // opens it by this name.
    std::string module;
    if (!codepage::ProgramFile(&module)) return std::string();
    const char *separator = ansi::LastSeparator(module.c_str());
    if (!separator) return std::string();
    std::string folder(module.c_str(), static_cast<size_t>(separator - module.c_str()));
    std::string path;
    if (!paths::JoinFitting(folder, kShippedSoundFont, &path)) return std::string();
    return FileExists(path.c_str(), 0) ? path : std::string();
}

// The SoundFont the user picks in the open-file dialog, starting at start;
// empty when the dialog was cancelled or the path is too long to be kept.
std::string PickSoundFont(HWND owner, const std::string &start) {
    char path[outputs::kMaxSoundFontPathBytes + 1] = "";
    ansi::CopyFit(path, sizeof path, start.c_str());
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kSoundFontFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = ARRAYSIZE(path);
    dialog.lpstrTitle = kSoundFontDialogTitle;
    dialog.lpstrDefExt = "sf2";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (GetOpenFileNameA(&dialog)) return path;
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
        ShowMessage(owner, kSoundFontPathTooLong, MB_OK | MB_ICONWARNING);
    return std::string();
}

// The SoundFont the synthesizer item plays: the one played last, else the
// one setup put beside the program.
std::string SoundFontToPlay(const Store &store) {
    std::string last = ReadLastSoundFont(store);
    return last.empty() ? ShippedSoundFont() : last;
}

// The SoundFont that command chooses: the synthesizer's item keeps the one
// that plays (again) or takes SoundFontToPlay; with none, and for "SoundFont
// を選ぶ…", the user picks one, starting where the one in use lies.  Empty
// when the user cancelled.
std::string SoundFontFor(UINT command, const outputs::OutputSetting &current, bool again, HWND owner,
                         const Store &store) {
    if (command == IDM_OUTPUT_SYNTH) {
        std::string soundFont = again ? current.soundFontPath : SoundFontToPlay(store);
        if (!soundFont.empty()) return soundFont;
    }
    bool synth = current.kind == outputs::OutputSetting::Synth;
    return PickSoundFont(owner, synth ? current.soundFontPath : SoundFontToPlay(store));
}

}  // namespace

std::vector<std::string> OutputDeviceNames() {
    std::vector<std::string> names;
    UINT count = midiOutGetNumDevs();
    for (UINT id = 0; id < count && id < static_cast<UINT>(kMaxOutputDevices); ++id) {
        MIDIOUTCAPSA caps = {};
        if (midiOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) caps.szPname[0] = 0;
        caps.szPname[ARRAYSIZE(caps.szPname) - 1] = 0;
        names.push_back(caps.szPname);
    }
    return names;
}

HMENU OutputSubmenu(HMENU tray) {
    if (!tray) return nullptr;
    for (int i = GetMenuItemCount(tray) - 1; i >= 0; --i) {
        HMENU sub = GetSubMenu(tray, i);
        if (sub && GetMenuItemID(sub, 0) == IDM_OUTPUT_MAPPER) return sub;
    }
    return nullptr;
}

void BuildOutputMenu(HMENU tray, const Store &store) {
    HMENU menu = OutputSubmenu(tray);
    if (!menu) return;
    // The resource's items stay; devices come and go between the mapper and
    // the synthesizer, and the log follows the synthesizer while it is set.
    for (int i = GetMenuItemCount(menu) - 1; i >= 0; --i)
        if (IsListedOutput(GetMenuItemID(menu, i))) DeleteMenu(menu, i, MF_BYPOSITION);
    CheckAsChoice(menu, IDM_OUTPUT_MAPPER);
    CheckAsChoice(menu, IDM_OUTPUT_SYNTH);

    std::vector<std::string> names = OutputDeviceNames();
    for (size_t k = 0; k < names.size(); ++k)
        InsertItem(menu, static_cast<UINT>(k + 1), IDM_OUTPUT_DEVICE_FIRST + static_cast<UINT>(k),
                   MenuLabel(names[k], static_cast<UINT>(k)));
    outputs::OutputSetting setting = ReadOutputChoice(store);
    if (setting.kind == outputs::OutputSetting::Log)
        InsertItem(menu, static_cast<UINT>(PositionOf(menu, IDM_OUTPUT_SYNTH) + 1), IDM_OUTPUT_LOG, kLogItem);

    UINT current = CurrentCommand(setting, names);
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        CheckMenuItem(menu, i, MF_BYPOSITION | (GetMenuItemID(menu, i) == current ? MF_CHECKED : MF_UNCHECKED));
}

bool IsOutputCommand(UINT command) {
    return command == IDM_OUTPUT_MAPPER || command == IDM_OUTPUT_SYNTH || command == IDM_OUTPUT_SOUNDFONT ||
           IsListedOutput(command);
}

void ChooseOutput(UINT command, HWND owner, const Store &store) {
    std::vector<std::string> names = OutputDeviceNames();
    // The log is no choice of the menu's; it stays as the value sets it.
    if (command == IDM_OUTPUT_LOG) return;
    std::string previous = ReadOutputValue(store);
    outputs::OutputSetting current = outputs::ParseOutputSetting(previous.data(), previous.size());
    // The checked item keeps its value: a device checked by its number stays so.
    bool again = command == CurrentCommand(current, names);
    std::string value;  // empty: the mapper
    if (command == IDM_OUTPUT_SYNTH || command == IDM_OUTPUT_SOUNDFONT) {
        std::string soundFont = SoundFontFor(command, current, again, owner, store);
        if (soundFont.empty()) return;  // the user cancelled
        value = outputs::SynthValue(soundFont);
        again = value == previous;
    } else if (command != IDM_OUTPUT_MAPPER) {
        UINT device = command - IDM_OUTPUT_DEVICE_FIRST;
        if (device >= names.size()) return;  // unplugged while the menu was open
        // A nameless device can only be kept by its number.
        value = names[device].empty() ? "midi:" + std::to_string(device) : outputs::DeviceNameValue(names[device]);
    }
    if (!again) WriteOutputValue(store, value);
    if (SwitchOutput()) {
        // The synthesizer's SoundFont is kept for when it is chosen again
        // after another output.
        outputs::OutputSetting now = outputs::ParseOutputSetting(value.data(), value.size());
        if (now.kind == outputs::OutputSetting::Synth)
            WriteLastSoundFont(store, now.soundFontPath);
        else if (current.kind == outputs::OutputSetting::Synth)
            WriteLastSoundFont(store, current.soundFontPath);
        return;
    }
    // The song goes on where it was, and so does the next one.
    if (!again) WriteOutputValue(store, previous);
    ReportPlayError(0, owner);
}
