#include "shell/media_keys.h"

#include "shell/hotkeys.h"

void MediaKeys::Use(MediaKeySetting setting) {
    hold_.SetSetting(setting);
    Apply();
}

void MediaKeys::PlaybackStarted() {
    hold_.Started();
    Apply();
}

// A song change stops and starts within one command: the keys stay across
// it, or another program could take them in the gap.
void MediaKeys::PlaybackStopped() {
    hold_.Stopped(keyStops_ ? StopCause::MediaKey : StopCause::Other);
    if (settlePosted_ || !state_.resident) return;
    settlePosted_ = PostMessageA(state_.resident, kMsgSettleMediaKeys, 0, 0) != FALSE;
    // Without the message the stop would never count: keys held while
    // stopped are the worse fault.
    if (!settlePosted_) Settle();
}

void MediaKeys::Settle() {
    settlePosted_ = false;
    hold_.Settle(GetTickCount64());
    Apply();
}

// Not through the posted settle: the system may put the process to sleep
// before it gets to the message.
void MediaKeys::Suspend() {
    hold_.Stopped(StopCause::Other);
    Settle();
}

void MediaKeys::LetGo() {
    letGo_ = true;
    HWND window = state_.resident;
    if (!window) return;
    KillTimer(window, kMediaKeyHoldTimer);
    if (registered_) UnregisterMediaKeys(window);
    registered_ = false;
}

void MediaKeys::Apply() {
    HWND window = state_.resident;
    if (!window || letGo_) return;
    uint64_t now = GetTickCount64();
    bool held = hold_.Held(now);
    if (held != registered_) {
        if (held)
            RegisterMediaKeys(window);
        else
            UnregisterMediaKeys(window);
        registered_ = held;
    }
    std::optional<uint64_t> end = hold_.HoldEnds();
    // A timer that fired a little early finds the hold still on and waits
    // for the rest.
    if (held && end)
        SetTimer(window, kMediaKeyHoldTimer, static_cast<UINT>(*end - now), nullptr);
    else
        KillTimer(window, kMediaKeyHoldTimer);
}
