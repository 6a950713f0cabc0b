// The played history in the registry, the random switch, and the system
// behind the song selection.
#include <vector>

#include "engine/korvel.h"
#include "player/player.h"
#include "store/registry_layout.h"
#include "store/settings.h"
#include "utils/message_box.h"

namespace {

// The bitmap belongs to the loaded record; while the current best name names
// another best (the best settings dialog changed it, the new best is not
// loaded yet) it must not be stored under that name.
const char *HistoryOwner() {
    const char *name = CurrentBestName();
    return name && g_player.songs.best.NameEquals(name) ? name : nullptr;
}

void WriteHistory(const char *name, const unsigned char *bitmap, size_t size) {
    WriteValue(kHistoryKey, name, bitmap, static_cast<DWORD>(size), REG_BINARY, HKEY_CURRENT_USER);
}

const char kNoMidiFiles[] =
    "このベストにはMIDIファイルがありません。\nほかのベストを指定してください。";

class SystemEnvironment : public PlayerEnvironment {
public:
    bool FileExists(const char *path) override { return ::FileExists(path, 0) != 0; }
    int LocalMilliseconds() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return now.wMilliseconds;
    }
    void SetTrayTip(const char *path) override { Host()->ShowSongTip(path); }
    void ShowNoMidiFiles() override { ShowMessage(Host()->Window(), kNoMidiFiles, MB_OK | MB_ICONWARNING); }
    bool SkipShortcuts() override { return TestOption(OPT_SKIP_SHORTCUTS) != 0; }
    bool IsPlaying() override { return g_player.playing; }
    void SetPlaying(bool playing) override { g_player.playing = playing; }
    void SaveHistory(const unsigned char *bitmap, size_t size) override {
        if (const char *name = HistoryOwner()) WriteHistory(name, bitmap, size);
    }
};

SystemEnvironment g_system;

}  // namespace

PlayerEnvironment *PlayerSystem() { return &g_system; }

void SetRandomMode(bool on, bool reset) {
    SetOption(OPT_RANDOM, on ? 1 : 0);
    Host()->ShowRandomMode(on);
    if (!reset) return;
    // Memory only; the next song's start saves it.
    AdjustHistoryForRandomSwitch(&g_player.songs, on);
    SaveSettings();
}

void ClearHistory() { ClearHistory(&g_player.songs, PlayerSystem()); }

void SaveHistory(bool onlyIfPresent) {
    const char *name = HistoryOwner();
    if (!name) return;
    // An empty value was left by the best file's writer: the list changed,
    // and the bitmap in memory no longer matches it.
    if (onlyIfPresent && ReadValue(kHistoryKey, name, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER) == 0) return;
    WriteHistory(name, g_player.songs.history.data(), g_player.songs.history.size());
}

void LoadHistory() {
    const char *name = CurrentBestName();
    size_t size = g_player.songs.history.size();
    if (!name || size == 0) return;
    // A larger value cannot belong to this list; every song stays unplayed.
    DWORD stored = ReadValue(kHistoryKey, name, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (stored == 0 || stored > size) return;
    std::vector<unsigned char> value(stored);
    DWORD got = ReadValue(kHistoryKey, name, value.data(), stored, REG_BINARY, HKEY_CURRENT_USER);
    if (got) LoadHistoryValue(&g_player.songs, value.data(), got);
}
