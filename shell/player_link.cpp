#include "shell/player_link.h"

#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/shell_state.h"
#include "shell/tray.h"

namespace {

class ShellPlayerHost : public PlayerHost {
public:
    HWND Window() override { return g_shell.resident; }
    void ShowPlaying(bool playing) override { SetPlayMenuState(playing); }
    void AnimateIcon(bool on) override {
        if (!g_shell.resident) return;
        if (on)
            SetTimer(g_shell.resident, kTrayAnimationTimer, kTrayAnimationPeriodMs, nullptr);
        else
            KillTimer(g_shell.resident, kTrayAnimationTimer);
    }
    void ShowSongTip(const char *path) override { UpdateTrayIcon(kTrayTip, path); }
    void ShowCurrentBest() override { BuildBestMenu(kMarkCurrentBest); }
    void ShowRandomMode(bool on) override {
        if (g_shell.popupMenu)
            CheckMenuItem(g_shell.popupMenu, IDM_RANDOM, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    }
};

ShellPlayerHost g_playerHost;

}  // namespace

void ConnectPlayer() { SetPlayerHost(&g_playerHost); }
