// The application as the player's host: the resident window, the tray icon and
// the tray menu show what the player does.
#ifndef TIVORN_SHELL_APPLICATION_PLAYER_HOST_H
#define TIVORN_SHELL_APPLICATION_PLAYER_HOST_H

#include "player/player.h"
#include "shell/media_keys.h"
#include "shell/application_state.h"
#include "shell/tray.h"

class ApplicationPlayerHost : public PlayerHost {
public:
    ApplicationPlayerHost(const ApplicationState &state, Tray &tray, MediaKeys &mediaKeys, ExitRequester &exit)
        : state_(state), tray_(tray), mediaKeys_(mediaKeys), exit_(exit) {}
    ApplicationPlayerHost(const ApplicationPlayerHost &) = delete;
    ApplicationPlayerHost &operator=(const ApplicationPlayerHost &) = delete;
    ~ApplicationPlayerHost() = default;

    HWND Window() override { return state_.resident; }
    void ShowPlayer(const PlayerReport &report) override;
    void ShowCurrentBest() override { tray_.BuildBestMenu(BestMenuMode::MoveCheck); }
    void ShowBox(const char *text, UINT flags) override { ShowMessage(state_.resident, text, flags); }
    void RequestExit(ExitReason reason) override { exit_.RequestExit(reason); }

private:
    void AnimateIcon(bool on);

    const ApplicationState &state_;
    Tray &tray_;
    MediaKeys &mediaKeys_;
    ExitRequester &exit_;
};

#endif
