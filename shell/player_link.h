// The shell as the player's host: the resident window, the tray icon and
// the tray menu show what the player does.
#ifndef TIVORN_SHELL_PLAYER_LINK_H
#define TIVORN_SHELL_PLAYER_LINK_H

#include "player/player.h"
#include "shell/media_keys.h"
#include "shell/shell_state.h"
#include "shell/tray.h"

class ShellPlayerHost : public PlayerHost {
public:
    ShellPlayerHost(const ShellState &shell, Tray &tray, MediaKeys &mediaKeys, ExitRequester &exit)
        : shell_(shell), tray_(tray), mediaKeys_(mediaKeys), exit_(exit) {}
    ShellPlayerHost(const ShellPlayerHost &) = delete;
    ShellPlayerHost &operator=(const ShellPlayerHost &) = delete;
    ~ShellPlayerHost() = default;

    HWND Window() override { return shell_.resident; }
    void ShowPlayer(const PlayerReport &report) override;
    void ShowCurrentBest() override { tray_.BuildBestMenu(kMarkCurrentBest); }
    void ShowBox(const char *text, UINT flags) override { ShowMessage(shell_.resident, text, flags); }
    void RequestExit(ExitReason reason) override { exit_.RequestExit(reason); }

private:
    void AnimateIcon(bool on);

    const ShellState &shell_;
    Tray &tray_;
    MediaKeys &mediaKeys_;
    ExitRequester &exit_;
};

#endif
