#ifndef TIVORN_PLAYER_STORE_PLAYER_FILES_H
#define TIVORN_PLAYER_STORE_PLAYER_FILES_H

#include "player/player_store.h"

class Store;

// The application's store: its settings in memory, its best file and its
// history values.
class StorePlayerFiles final : public PlayerStore {
public:
    explicit StorePlayerFiles(Store &store) : store_(store) {}

    PlayerOptions Options() override;
    void SetRandom(bool on, bool save) override;
    best::BestRecord FindBest(const char *name) override;
    void WritePlayBest(const char *name) override;
    std::vector<unsigned char> ReadHistory(const char *name, size_t largest) override;
    void WriteHistory(const char *name, const unsigned char *bitmap, size_t size) override;
    bool HistoryPresent(const char *name) override;

private:
    Store &store_;
};

#endif
