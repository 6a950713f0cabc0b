#include "player/player_engine.h"

#include "store/file_io.h"
#include "store/store.h"
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

PlayerOptions StorePlayerFiles::Options() {
    PlayerOptions options;
    options.random = store_.option(Option::Random);
    options.skipShortcuts = store_.option(Option::SkipShortcuts);
    options.readAtOnce = store_.option(Option::ReadAtOnce);
    options.repeatOne = store_.option(Option::RepeatOne);
    return options;
}

void StorePlayerFiles::SetRandom(bool on, bool save) {
    store_.SetOption(Option::Random, on);
    if (save) store_.SaveSettings();
}

best::BestRecord StorePlayerFiles::FindBest(const char *name) { return store_.FindBestInFile(name); }

void StorePlayerFiles::WritePlayBest(const char *name) { store_.WritePlayBest(name); }

std::vector<unsigned char> StorePlayerFiles::ReadHistory(const char *name, size_t largest) {
    return store_.ReadHistory(name, largest);
}

void StorePlayerFiles::WriteHistory(const char *name, const unsigned char *bitmap, size_t size) {
    store_.WriteHistory(name, bitmap, size);
}

bool StorePlayerFiles::HistoryPresent(const char *name) { return store_.HistoryPresent(name); }
