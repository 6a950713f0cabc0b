// Where Tivorn keeps its state in HKEY_CURRENT_USER.
#ifndef TIVORN_STORE_REGISTRY_LAYOUT_H
#define TIVORN_STORE_REGISTRY_LAYOUT_H

// The program key and "Settings", which the engine reads too.
#include "engine/registry_names.h"

constexpr char kHistoryKey[] = "Software\\Zarnith\\Tivorn\\Best";  // one value per best

constexpr char kValueRoot[] = "Root";           // REG_SZ, the MIDI folder
constexpr char kValueDataPath[] = "DataPath";   // REG_SZ, the data folder
constexpr char kValuePlayBest[] = "PlayBest";   // REG_SZ, the current best
constexpr char kValueHook[] = "Hook";           // REG_DWORD, written, never read
// REG_DWORD, 0 turns the media keys off; missing means on, so it is written
// only when the user changes it.
constexpr char kValueMediaKeys[] = "MediaKeys";

#endif
