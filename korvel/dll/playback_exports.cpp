// The playback operations of KORVEL.dll, as the program calls them.
#include <cstddef>
#include <cstring>

#include "engine/korvel.h"
#include "korvel/dll/playback_state.h"
#include "korvel/dll/settings_key.h"

namespace {

korvel::PlaybackState g_playback;

}  // namespace

korvel::PlaybackState &korvel::ThePlayback() { return g_playback; }

std::string korvel::SettingsKey() { return g_playback.SettingsKey(); }

extern "C" {

void SetSettingsKey(const char *programKey) { g_playback.SetSettingsKey(programKey); }
int EngineInit(void) { return g_playback.Init(); }
int EngineClose(void) { return g_playback.Close(); }
int OpenSong(const char *path, int readAtOnce) { return g_playback.OpenSong(path, readAtOnce); }
int StartSong(KorvelEndHandler onEnd) { return g_playback.StartSong(onEnd); }
void StopSong(void) { g_playback.StopSong(); }
int SwitchOutput(void) { return g_playback.SwitchOutput(); }
int ActivityState(void) { return g_playback.ActivityState(); }
HWND PlaybackOwner(void) { return g_playback.PlaybackOwner(); }
void SetPlaybackOwner(HWND owner, int /*unusedFlag*/) { g_playback.SetPlaybackOwner(owner); }
int ReportPlayError(int flags, HWND owner) { return g_playback.ReportError(flags, owner); }

int SynthOutputStats(struct KorvelSynthStats *stats) {
    // A caller built before the last fields were added gets those it knows.
    constexpr DWORD kFirstSize = offsetof(KorvelSynthStats, scheduleDelayUs);
    if (!stats || stats->size < kFirstSize) return 0;
    KorvelSynthStats figures = {};
    if (!g_playback.ReadFigures(figures)) return 0;
    DWORD size = stats->size < sizeof figures ? stats->size : static_cast<DWORD>(sizeof figures);
    figures.size = stats->size;
    std::memcpy(stats, &figures, size);
    return 1;
}

}  // extern "C"
