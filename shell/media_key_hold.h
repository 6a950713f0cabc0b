// When Tivorn holds the media keys (no windows.h).  A key Tivorn holds
// reaches no other program, so it holds them only while it is in use: while
// something plays, and for a while after a media key stopped it, so that the
// same key plays again.  Times are milliseconds of one steady clock.
#ifndef TIVORN_SHELL_MEDIA_KEY_HOLD_H
#define TIVORN_SHELL_MEDIA_KEY_HOLD_H

#include <cstdint>
#include <optional>

// メディアキーで操作する, the value "MediaKeys".
enum class MediaKeySetting { Off, On };

// How playback came to stop.
enum class StopCause {
    MediaKey,  // within a media key's command
    Other,     // the menu, a hotkey, the end of a best, a suspend, an error
};

class MediaKeyHold {
public:
    // How long the keys stay after a media key's stop.
    static constexpr uint64_t kAfterKeyStopMs = 10 * 60 * 1000;

    // Off lets the keys go and forgets a hold after a stop, so that turning
    // the setting on again while stopped takes nothing.
    void SetSetting(MediaKeySetting setting);
    // A song or a preview started.  A stop not yet settled is void.
    void Started();
    // Playback stopped.  It counts only once settled, as the command that
    // made it may start the next song at once; of several stops before
    // that, the last one's cause counts.
    void Stopped(StopCause cause);
    // The command that stopped playback is done.
    void Settle(uint64_t nowMs);

    bool Held(uint64_t nowMs) const;
    // The end of the hold after a media key's stop; none while something
    // plays or nothing is held.
    std::optional<uint64_t> HoldEnds() const;

private:
    enum class Phase { Idle, Playing, AfterKeyStop };

    MediaKeySetting setting_ = MediaKeySetting::On;
    Phase phase_ = Phase::Idle;
    std::optional<StopCause> pendingStop_;
    uint64_t holdEnd_ = 0;
};

#endif
