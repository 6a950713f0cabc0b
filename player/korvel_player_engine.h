// The player's engine: the engine library's imports.
#ifndef TIVORN_PLAYER_KORVEL_PLAYER_ENGINE_H
#define TIVORN_PLAYER_KORVEL_PLAYER_ENGINE_H

#include "player/player_engine.h"

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

#endif
