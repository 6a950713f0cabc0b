#include "shell/player_link.h"

#include "resources/resource_ids.h"

// The icon moves exactly while something plays, a song or a preview, which
// is when the media keys are in use.
void ShellPlayerHost::AnimateIcon(bool on) {
    if (on)
        mediaKeys_.PlaybackStarted();
    else
        mediaKeys_.PlaybackStopped();
    if (!shell_.resident) return;
    if (on)
        SetTimer(shell_.resident, kTrayAnimationTimer, kTrayAnimationPeriodMs, nullptr);
    else
        KillTimer(shell_.resident, kTrayAnimationTimer);
}

void ShellPlayerHost::ShowPlayer(const PlayerReport &report) {
    AnimateIcon(report.sounding);
    tray_.SetPlayMenuState(report.songPlaying);
    tray_.UpdateIcon(kTrayTip, report.tip);
    if (report.songBegan) tray_.TellSongBegan(report);
}
