// The tray menu's submenu "出力先(&D)": where the music goes, chosen among
// the MIDI mapper, the MIDI out devices of the moment and the built-in
// synthesizer with a SoundFont.
#ifndef TIVORN_SHELL_OUTPUT_MENU_H
#define TIVORN_SHELL_OUTPUT_MENU_H

#include <windows.h>

#include <string>
#include <vector>

class Store;

// Devices past this many get no item.
constexpr int kMaxOutputDevices = 256;

// The submenu of the tray menu tray, or null.
HMENU OutputSubmenu(HMENU tray);

// Lists the mapper, each device by its name, the synthesizer and, while the
// engine writes a log, "ログ出力"; the output that plays now is checked.
void BuildOutputMenu(HMENU tray, const Store &store);

bool IsOutputCommand(UINT command);

// Stores the chosen output by its device's name, or the synthesizer with
// its SoundFont, and moves a playing song over to it; the checked item again
// retries it (the mapper may be standing in for the device).  The
// synthesizer plays the SoundFont it played last, else the one shipped
// beside the program, else one the user picks; "SoundFont を選ぶ…" always
// asks.  An output that cannot be opened is reported over owner and leaves
// the output as it was.
void ChooseOutput(UINT command, HWND owner, const Store &store);

// The names of the MIDI out devices (at most kMaxOutputDevices), device k
// at k, as the engine numbers them.
std::vector<std::string> OutputDeviceNames();

#endif
