// The played history, the random switch, and the system behind the song
// selection.  The history's registry value is the store's to read and write.
#include <vector>

#include "engine/korvel.h"
#include "player/player.h"
#include "store/store.h"
#include "utils/message_box.h"

namespace {

// The bitmap belongs to the loaded record; while the current best name names
// another best (the best settings dialog changed it, the new best is not
// loaded yet) it must not be stored under that name.
const char *HistoryOwner() {
    const char *name = CurrentBestName();
    return name && g_player.songs.best.NameEquals(name) ? name : nullptr;
}

const char kNoMidiFiles[] =
    "このベストにはMIDIファイルがありません。\nほかのベストを指定してください。";

}  // namespace

bool SystemEnvironment::FileExists(const char *path) { return ::FileExists(path, 0) != 0; }

int SystemEnvironment::LocalMilliseconds() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wMilliseconds;
}

void SystemEnvironment::SetTrayTip(const char *path) { Host()->ShowSongTip(path); }

void SystemEnvironment::ShowNoMidiFiles() { ShowMessage(Host()->Window(), kNoMidiFiles, MB_OK | MB_ICONWARNING | PlayerBoxFlags()); }

bool SystemEnvironment::SkipShortcuts() { return PlayerStore().option(Option::SkipShortcuts); }

bool SystemEnvironment::IsPlaying() { return g_player.playing; }

void SystemEnvironment::SetPlaying(bool playing) { g_player.playing = playing; }

void SystemEnvironment::SaveHistory(const unsigned char *bitmap, size_t size) {
    if (const char *name = HistoryOwner()) PlayerStore().WriteHistory(name, bitmap, size);
}

PlayerEnvironment *PlayerSystem() { return &g_player.system; }

void SetRandomMode(bool on, RandomChange change) {
    PlayerStore().SetOption(Option::Random, on);
    Host()->ShowRandomMode(on);
    if (change == RandomChange::ShowOnly) return;
    // Memory only; the next song's start saves it.
    AdjustHistoryForRandomSwitch(&g_player.songs, on);
    PlayerStore().SaveSettings();
}

void ClearHistory() { ClearHistory(&g_player.songs, PlayerSystem()); }

void SaveHistory(HistorySave when) {
    const char *name = HistoryOwner();
    if (!name) return;
    if (when == HistorySave::IfPresent && !PlayerStore().HistoryPresent(name)) return;
    PlayerStore().WriteHistory(name, g_player.songs.history.data(), g_player.songs.history.size());
}

void LoadHistory() {
    const char *name = CurrentBestName();
    size_t size = g_player.songs.history.size();
    if (!name || size == 0) return;
    // A larger value cannot belong to this list; every song stays unplayed.
    std::vector<unsigned char> value = PlayerStore().ReadHistory(name, size);
    if (!value.empty()) LoadHistoryValue(&g_player.songs, value.data(), value.size());
}
