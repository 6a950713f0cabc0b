#include "shell/player_link.h"

#include "resources/resource_ids.h"

void ShellPlayerHost::AnimateIcon(bool on) {
    if (!shell_.resident) return;
    if (on)
        SetTimer(shell_.resident, kTrayAnimationTimer, kTrayAnimationPeriodMs, nullptr);
    else
        KillTimer(shell_.resident, kTrayAnimationTimer);
}

void ShellPlayerHost::ShowRandomMode(bool on) {
    if (shell_.popupMenu)
        CheckMenuItem(shell_.popupMenu, IDM_RANDOM, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}
