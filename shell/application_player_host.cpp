#include "shell/application_player_host.h"

#include "resources/resource_ids.h"

// The icon moves exactly while something plays, a song or a preview, which
// is when the media keys are in use.
void ApplicationPlayerHost::AnimateIcon(bool on) {
    if (on)
        mediaKeys_.PlaybackStarted();
    else
        mediaKeys_.PlaybackStopped();
    if (!state_.resident) return;
    if (on)
        SetTimer(state_.resident, kTrayAnimationTimer, kTrayAnimationPeriodMs, nullptr);
    else
        KillTimer(state_.resident, kTrayAnimationTimer);
}

void ApplicationPlayerHost::ShowPlayer(const PlayerReport &report) {
    AnimateIcon(report.sounding);
    tray_.SetPlayMenuState(report.songPlaying);
    tray_.UpdateIcon(TrayKind::Tip, report.tip);
    if (report.songBegan) tray_.TellSongBegan(report);
}
