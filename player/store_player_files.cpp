#include "player/store_player_files.h"

#include "store/store.h"

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
