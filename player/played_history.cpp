// The played history, the random switch, and the system behind the song
// selection.  The history's registry value is the store's to read and write.
#include <vector>

#include "player/player.h"

// The bitmap belongs to the loaded record; while the current best name names
// another best (the best settings dialog changed it, the new best is not
// loaded yet) it must not be stored under that name.
const char *Player::HistoryBestName() const {
    const char *name = CurrentBestName();
    return name && songs_.best.NameEquals(name) ? name : nullptr;
}

store::PathFound Player::FindPath(const char *path) { return engine_->FindPath(path); }

int Player::LocalMilliseconds() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wMilliseconds;
}

bool Player::SkipShortcuts() { return Options().skipShortcuts; }

void Player::SaveHistory(const unsigned char *bitmap, size_t size) {
    if (const char *name = HistoryBestName()) store_->WriteHistory(name, bitmap, size);
}

void Player::SetRandomMode(bool on, RandomChange change) {
    store_->SetRandom(on, change == RandomChange::Switch);
    options_.reset();
    if (change == RandomChange::ShowOnly) return;
    // Memory only; the next song's start saves it.
    AdjustHistoryForRandomSwitch(&songs_, on);
}

void Player::ClearHistory() { ::ClearHistory(&songs_, this); }

void Player::SaveHistory(HistorySave when) {
    const char *name = HistoryBestName();
    if (!name) return;
    if (when == HistorySave::IfPresent && !store_->HistoryPresent(name)) return;
    store_->WriteHistory(name, songs_.history.data(), songs_.history.size());
}

void Player::LoadHistory() {
    const char *name = CurrentBestName();
    size_t size = songs_.history.size();
    if (!name || size == 0) return;
    // A larger value cannot belong to this list; every song stays unplayed.
    std::vector<unsigned char> value = store_->ReadHistory(name, size);
    if (!value.empty()) LoadHistoryValue(&songs_, value.data(), value.size());
}
