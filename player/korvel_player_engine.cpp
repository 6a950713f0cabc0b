#include "player/korvel_player_engine.h"

#include "store/file_io.h"
#include "utils/path_rules.h"

store::PathFound KorvelPlayerEngine::FindPath(const char *path) {
    return paths::UsablePath(path) ? fileio::FindPath(path) : store::PathFound::NoName;
}

store::PathFound KorvelPlayerEngine::FindReadableFile(const char *path) {
    return paths::UsablePath(path) ? fileio::FindReadableFile(path) : store::PathFound::NoName;
}

bool KorvelPlayerEngine::ResolveShortcut(const char *shortcut, char *target) {
    return ::ResolveShortcut(shortcut, target) != 0;
}

bool KorvelPlayerEngine::OpenSong(const char *path, bool readAtOnce) { return ::OpenSong(path, readAtOnce ? 1 : 0) != 0; }

bool KorvelPlayerEngine::StartSong(KorvelEndHandler onEnd) { return ::StartSong(onEnd) != 0; }

void KorvelPlayerEngine::StopSong() { ::StopSong(); }

std::string KorvelPlayerEngine::SongTitle() {
    char title[KORVEL_TITLE_BUFFER] = "";
    return ::SongTitle(title, sizeof title) > 0 ? std::string(title) : std::string();
}

void KorvelPlayerEngine::SetPlaybackOwner(HWND owner, int unusedFlag) { ::SetPlaybackOwner(owner, unusedFlag); }

bool KorvelPlayerEngine::ReportPlayError(int flags, HWND owner) { return ::ReportPlayError(flags, owner) != 0; }
