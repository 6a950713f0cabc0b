#include "player/player_engine.h"

#include "store/best_file.h"
#include "store/settings.h"

bool KorvelPlayerEngine::FileExists(const char *path) { return ::FileExists(path, 0) != 0; }

bool KorvelPlayerEngine::ResolveShortcut(const char *shortcut, char *target) {
    return ::ResolveShortcut(shortcut, target) != 0;
}

bool KorvelPlayerEngine::OpenSong(const char *path, bool readAtOnce) { return ::OpenSong(path, readAtOnce ? 1 : 0) != 0; }

bool KorvelPlayerEngine::StartSong(KorvelEndHandler onEnd) { return ::StartSong(onEnd) != 0; }

void KorvelPlayerEngine::StopSong() { ::StopSong(); }

void KorvelPlayerEngine::SetPlaybackOwner(HWND owner, int flag) { ::SetPlaybackOwner(owner, flag); }

bool KorvelPlayerEngine::ReportPlayError(int flags, HWND owner) { return ::ReportPlayError(flags, owner) != 0; }

PlayerOptions StorePlayerFiles::Options() {
    PlayerOptions options;
    options.random = TestOption(OPT_RANDOM) != 0;
    options.skipShortcuts = TestOption(OPT_SKIP_SHORTCUTS) != 0;
    options.readAtOnce = TestOption(OPT_READ_AT_ONCE) != 0;
    options.repeatOne = TestOption(OPT_REPEAT_ONE) != 0;
    return options;
}

void StorePlayerFiles::SetRandom(bool on, bool save) {
    SetOption(OPT_RANDOM, on ? 1 : 0);
    if (save) SaveSettings();
}

best::BestRecord StorePlayerFiles::FindBest(const char *name) { return FindBestInFile(name); }

void StorePlayerFiles::WritePlayBest(const char *name) { ::WritePlayBest(name); }

std::vector<unsigned char> StorePlayerFiles::ReadHistory(const char *name, size_t largest) {
    return ::ReadHistory(name, largest);
}

void StorePlayerFiles::WriteHistory(const char *name, const unsigned char *bitmap, size_t size) {
    ::WriteHistory(name, bitmap, size);
}

bool StorePlayerFiles::HistoryPresent(const char *name) { return ::HistoryPresent(name); }
