// What the player tells the application, which implements this: the
// player has no windows of its own and does not know the tray or its menu.
// A failure that ends the program asks the application for its end.
#ifndef TIVORN_PLAYER_PLAYER_HOST_H
#define TIVORN_PLAYER_PLAYER_HOST_H

#include <windows.h>

#include "utils/exit_request.h"
#include "utils/message_box.h"

// Where the player stands.  Previewing carries its window (the one whose
// preview plays) with it; Suspended is a song meant to play while the
// computer sleeps.
enum class PlayState { Stopped, Playing, Previewing, Suspended, PlayingHanded };

// What the application shows of the player, told once at the end of each change.
struct PlayerReport {
    PlayState state = PlayState::Stopped;
    // Something sounds (a song or a preview): the icon moves and the media
    // keys are taken.
    bool sounding = false;
    // A song is meant to be playing: the menu's play item is greyed.  Stays
    // through a sleep and under a preview that interrupted it.
    bool songPlaying = false;
    // The song the tray tip names; null for the product name.
    const char *tip = nullptr;
    // Another song began to play in this change (not the same one again,
    // after a rewind, a repeat or a wake): what a notice of it would name.
    bool songBegan = false;
    const char *songTitle = nullptr;  // its own title; null without one
    const char *bestName = nullptr;   // the best it belongs to; null for a handed-over file
};

class PlayerHost : public ExitRequester {
public:
    // The window that receives the player's messages (kMsgSongEnded,
    // kMsgPreviewEnded) and owns its message boxes; null while there is none.
    virtual HWND Window() = 0;
    // A change ended: the tray and its menu show the player as it now is.
    virtual void ShowPlayer(const PlayerReport &report) = 0;
    // Another best became current: the best menu's check moves to it.
    virtual void ShowCurrentBest() = 0;
    // A box of the player's, owned by the host's window.
    virtual void ShowBox(const char *text, UINT flags) = 0;

protected:
    ~PlayerHost() = default;
};

// Until the application connects itself (and in tests of the player alone) nobody
// is told anything.
class NoPlayerHost final : public PlayerHost {
public:
    HWND Window() override { return nullptr; }
    void ShowPlayer(const PlayerReport &) override {}
    void ShowCurrentBest() override {}
    void ShowBox(const char *text, UINT flags) override { ShowMessage(nullptr, text, flags); }
    void RequestExit(ExitReason) override {}
};

#endif
