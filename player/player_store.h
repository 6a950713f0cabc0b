// What the player asks of the store: the options it reads, the best file
// and the history values.
#ifndef TIVORN_PLAYER_PLAYER_STORE_H
#define TIVORN_PLAYER_PLAYER_STORE_H

#include <cstddef>
#include <vector>

#include "store/best_record.h"

// The option bits the player reads, taken together once per change.
struct PlayerOptions {
    bool random = false;
    bool skipShortcuts = false;
    bool readAtOnce = false;
    bool repeatOne = false;
};

class PlayerStore {
public:
    virtual PlayerOptions Options() = 0;
    // OPT_RANDOM in memory; with save the settings block is stored too.
    virtual void SetRandom(bool on, bool save) = 0;
    // The record of that name in the best file; none when there is none.
    virtual best::BestRecord FindBest(const char *name) = 0;
    virtual void WritePlayBest(const char *name) = 0;
    virtual std::vector<unsigned char> ReadHistory(const char *name, size_t largest) = 0;
    virtual void WriteHistory(const char *name, const unsigned char *bitmap, size_t size) = 0;
    virtual bool HistoryPresent(const char *name) = 0;

protected:
    ~PlayerStore() = default;
};

#endif
