// What the player asks of the engine library.  The player talks to it
// through this interface only (and to the store through PlayerStore), so
// that a test can stand in for both and see every call the player makes.
#ifndef TIVORN_PLAYER_PLAYER_ENGINE_H
#define TIVORN_PLAYER_PLAYER_ENGINE_H

#include <windows.h>

#include <string>

#include "engine/korvel.h"
#include "store/path_found.h"

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

#endif
