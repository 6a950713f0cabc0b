// Placeholder bodies of the playback operations: the engine initialises and
// closes, and every song fails to open until the sequencer exists.
#include "engine/korvel.h"

namespace {
HWND g_owner;
}

extern "C" {
int EngineInit(void) { return 1; }
int EngineClose(void) { return 1; }
int OpenSong(const char *, int) { return 0; }
int StartSong(KorvelEndHandler) { return 0; }
void StopSong(void) {}
int ActivityState(void) { return 0; }
HWND PlaybackOwner(void) { return g_owner; }
int ReportPlayError(int, HWND) { return 1; }
void SetPlaybackOwner(HWND owner, int) { g_owner = owner; }
}
