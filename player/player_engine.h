// What the player asks of the world below it: the engine library, and the
// store (settings, the best file and the history values).  The player talks
// to them through these two interfaces only, so that a test can stand in for
// both and see every call the player makes.
#ifndef TIVORN_PLAYER_PLAYER_ENGINE_H
#define TIVORN_PLAYER_PLAYER_ENGINE_H

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "store/best_record.h"
#include "store/path_found.h"

class Store;

class PlayerEngine {
public:
    // The file system's answer for a song's path.
    virtual store::PathFound FindPath(const char *path) = 0;
    // As FindPath, a file counting only when its first bytes can be read.
    virtual store::PathFound FindReadableFile(const char *path) = 0;
    // The target of a shortcut into a KORVEL_PATH_BUFFER buffer.
    virtual bool ResolveShortcut(const char *shortcut, char *target) = 0;
    virtual bool OpenSong(const char *path, bool readAtOnce) = 0;
    virtual bool StartSong(KorvelEndHandler onEnd) = 0;
    virtual void StopSong() = 0;
    virtual void SetPlaybackOwner(HWND owner, int unusedFlag) = 0;
    // Tells the user why the last open or start failed; true when only that
    // file is at fault.
    virtual bool ReportPlayError(int flags, HWND owner) = 0;
    // The title the song last started carries for itself; empty without one.
    virtual std::string SongTitle() { return std::string(); }

protected:
    ~PlayerEngine() = default;
};

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

// The engine library's imports.
class KorvelPlayerEngine final : public PlayerEngine {
public:
    store::PathFound FindPath(const char *path) override;
    store::PathFound FindReadableFile(const char *path) override;
    bool ResolveShortcut(const char *shortcut, char *target) override;
    bool OpenSong(const char *path, bool readAtOnce) override;
    bool StartSong(KorvelEndHandler onEnd) override;
    void StopSong() override;
    void SetPlaybackOwner(HWND owner, int unusedFlag) override;
    bool ReportPlayError(int flags, HWND owner) override;
    std::string SongTitle() override;
};

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
