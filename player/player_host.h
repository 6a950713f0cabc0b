// What the player tells the application shell, which implements this: the
// player has no windows of its own and does not know the tray or its menu.
// A failure that ends the program asks the shell for its end.
#ifndef TIVORN_PLAYER_PLAYER_HOST_H
#define TIVORN_PLAYER_PLAYER_HOST_H

#include <windows.h>

#include "utils/exit_request.h"

class PlayerHost : public ExitRequester {
public:
    // The window that receives the player's messages (kMsgSongEnded,
    // kMsgPreviewEnded) and owns its message boxes; null while there is none.
    virtual HWND Window() = 0;
    // A song started (true) or playback stopped (false): the play items of
    // the menu follow.
    virtual void ShowPlaying(bool playing) = 0;
    // The tray icon's animation runs while a song plays.
    virtual void AnimateIcon(bool on) = 0;
    // The tray tip: the file name of path, or the product name without one.
    virtual void ShowSongTip(const char *path) = 0;
    // Another best became current: the best menu's check moves to it.
    virtual void ShowCurrentBest() = 0;
    // The random switch changed: the menu shows it.
    virtual void ShowRandomMode(bool on) = 0;

protected:
    ~PlayerHost() = default;
};

// Until the shell connects itself (and in tests of the player alone) nobody
// is told anything.
class NoPlayerHost final : public PlayerHost {
public:
    HWND Window() override { return nullptr; }
    void ShowPlaying(bool) override {}
    void AnimateIcon(bool) override {}
    void ShowSongTip(const char *) override {}
    void ShowCurrentBest() override {}
    void ShowRandomMode(bool) override {}
    void RequestExit(ExitReason) override {}
};

// The shell connects itself before the player is used; until then the
// player tells nobody.
void SetPlayerHost(PlayerHost *host);

#endif
