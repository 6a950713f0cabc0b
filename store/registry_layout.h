// Where Tivorn keeps its state in HKEY_CURRENT_USER.
#ifndef TIVORN_STORE_REGISTRY_LAYOUT_H
#define TIVORN_STORE_REGISTRY_LAYOUT_H

#include <string>

// The program key and "Settings", which the engine reads too.
#include "engine/registry_names.h"

constexpr char kHistoryKey[] = "Software\\Zarnith\\Tivorn\\Best";  // one value per best

// The keys the store reads and writes: the program's own, or for a test
// program a key of its own with the same layout below it.
struct RegistryRoot {
    std::string program = kProgramKey;
    std::string history = kHistoryKey;  // program\Best
    std::string engine = kEngineKey;    // program\Engine

    static RegistryRoot Under(const std::string &programKey) {
        RegistryRoot root;
        root.program = programKey;
        root.history = programKey + "\\Best";
        root.engine = programKey + "\\Engine";
        return root;
    }
};

constexpr char kValueRoot[] = "Root";           // REG_SZ, the MIDI folder
constexpr char kValueDataPath[] = "DataPath";   // REG_SZ, the data folder
constexpr char kValuePlayBest[] = "PlayBest";   // REG_SZ, the current best
constexpr char kValueHook[] = "Hook";           // REG_DWORD, written, never read
// REG_DWORD, 0 turns the media keys off; missing means on, so it is written
// only when the user changes it.
constexpr char kValueMediaKeys[] = "MediaKeys";
// REG_DWORD beside it, nonzero: a balloon names each song as it starts;
// missing means off.
constexpr char kValueSongNotice[] = "SongNotice";

#endif
