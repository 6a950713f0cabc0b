#include "shell/output_menu.h"

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "engine/korvel.h"
#include "resources/resource_ids.h"
#include "store/output_choice.h"

namespace {

const char kLogItem[] = "ログ出力";

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
    if (setting.kind == outputs::OutputSetting::Invalid) return 0;
    int device = outputs::ChooseDevice(setting, names);
    if (device == outputs::kMapper) return IDM_OUTPUT_MAPPER;
    return device < static_cast<int>(names.size()) ? IDM_OUTPUT_DEVICE_FIRST + static_cast<UINT>(device) : 0;
}

void AddItem(HMENU menu, UINT command, const std::string &label) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    item.wID = command;
    item.dwTypeData = const_cast<char *>(label.c_str());
    InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &item);
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
    // The mapper's item of the resource stays; devices come and go.
    while (GetMenuItemCount(menu) > 1) DeleteMenu(menu, 1, MF_BYPOSITION);
    MENUITEMINFOA mapper = {};
    mapper.cbSize = sizeof mapper;
    mapper.fMask = MIIM_FTYPE;
    mapper.fType = MFT_STRING | MFT_RADIOCHECK;
    SetMenuItemInfoA(menu, IDM_OUTPUT_MAPPER, FALSE, &mapper);

    std::vector<std::string> names = OutputDeviceNames();
    for (size_t k = 0; k < names.size(); ++k)
        AddItem(menu, IDM_OUTPUT_DEVICE_FIRST + static_cast<UINT>(k), MenuLabel(names[k], static_cast<UINT>(k)));
    outputs::OutputSetting setting = ReadOutputChoice(store);
    if (setting.kind == outputs::OutputSetting::Log) AddItem(menu, IDM_OUTPUT_LOG, kLogItem);

    UINT current = CurrentCommand(setting, names);
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        CheckMenuItem(menu, i, MF_BYPOSITION | (GetMenuItemID(menu, i) == current ? MF_CHECKED : MF_UNCHECKED));
}

bool IsOutputCommand(UINT command) {
    return command == IDM_OUTPUT_MAPPER || command == IDM_OUTPUT_LOG ||
           (command >= IDM_OUTPUT_DEVICE_FIRST && command < IDM_OUTPUT_DEVICE_FIRST + kMaxOutputDevices);
}

void ChooseOutput(UINT command, HWND owner, const Store &store) {
    std::vector<std::string> names = OutputDeviceNames();
    // The log is no choice of the menu's; it stays as the value sets it.
    if (command == IDM_OUTPUT_LOG) return;
    std::string value;  // empty: the mapper
    if (command != IDM_OUTPUT_MAPPER) {
        UINT device = command - IDM_OUTPUT_DEVICE_FIRST;
        if (device >= names.size()) return;  // unplugged while the menu was open
        // A nameless device can only be kept by its number.
        value = names[device].empty() ? "midi:" + std::to_string(device) : outputs::DeviceNameValue(names[device]);
    }
    std::string previous = ReadOutputValue(store);
    // The checked item keeps its value: a device checked by its number stays so.
    bool again = command == CurrentCommand(ReadOutputChoice(store), names);
    if (!again) WriteOutputValue(store, value);
    if (SwitchOutput()) return;
    // The song goes on where it was, and so does the next one.
    if (!again) WriteOutputValue(store, previous);
    ReportPlayError(0, owner);
}
