#include "shell/media_key_hold.h"

void MediaKeyHold::SetSetting(MediaKeySetting setting) {
    setting_ = setting;
    if (setting == MediaKeySetting::Off && phase_ == Phase::AfterKeyStop) phase_ = Phase::Idle;
}

void MediaKeyHold::Started() {
    phase_ = Phase::Playing;
    pendingStop_.reset();
}

void MediaKeyHold::Stopped(StopCause cause) { pendingStop_ = cause; }

void MediaKeyHold::Settle(uint64_t nowMs) {
    if (!pendingStop_) return;
    StopCause cause = *pendingStop_;
    pendingStop_.reset();
    if (cause == StopCause::MediaKey && setting_ == MediaKeySetting::On) {
        phase_ = Phase::AfterKeyStop;
        holdEnd_ = nowMs + kAfterKeyStopMs;
    } else {
        phase_ = Phase::Idle;
    }
}

bool MediaKeyHold::Held(uint64_t nowMs) const {
    if (setting_ == MediaKeySetting::Off) return false;
    return phase_ == Phase::Playing || (phase_ == Phase::AfterKeyStop && nowMs < holdEnd_);
}

std::optional<uint64_t> MediaKeyHold::HoldEnds() const {
    if (phase_ != Phase::AfterKeyStop) return std::nullopt;
    return holdEnd_;
}
