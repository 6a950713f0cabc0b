// The media keys as hotkeys of the resident window, taken and let go as
// their hold decides.
#ifndef TIVORN_SHELL_MEDIA_KEYS_H
#define TIVORN_SHELL_MEDIA_KEYS_H

#include <windows.h>

#include "shell/media_key_hold.h"
#include "shell/application_state.h"
#include "utils/private_messages.h"

// The resident window's timer that ends the hold after a media key's stop.
constexpr UINT_PTR kMediaKeyHoldTimer = 5;

class MediaKeys {
public:
    explicit MediaKeys(const ApplicationState &state) : state_(state) {}
    // The keys go back to the system with this object.
    ~MediaKeys() { LetGo(); }
    MediaKeys(const MediaKeys &) = delete;
    MediaKeys &operator=(const MediaKeys &) = delete;

    // The setting, at start-up and whenever the stored one changes.
    void Use(MediaKeySetting setting);
    // Whether the keys are to be taken now; they are, once the resident
    // window stands.
    bool Wanted() const { return hold_.Held(GetTickCount64()); }
    // The player started a song or a preview: the keys are taken at once.
    void PlaybackStarted();
    // The player stopped: a settle is posted, once, for the stops of the
    // command under way.
    void PlaybackStopped();
    // kMsgSettleMediaKeys.
    void Settle();
    // The computer goes to sleep: the keys go at once, whatever the hold
    // (the song that plays again on the wake takes them again).
    void Suspend();
    void OnHoldTimer() { Apply(); }
    // The exit: the keys go now, whatever the hold, and are not taken again.
    void LetGo();

    // A media key's command runs between these two: its stops keep the keys.
    void BeginKeyCommand() { inKeyCommand_ = keyStops_ = true; }
    void EndKeyCommand() { inKeyCommand_ = keyStops_ = false; }
    bool KeyCommandUnderWay() const { return inKeyCommand_; }

    // Around a command that comes from elsewhere (the menu, another copy,
    // the hook's relay).  A key's command lets such a message in while it
    // waits on another window (the notification area, a box), and the
    // stops of that command are its own.
    class OtherCommand {
    public:
        explicit OtherCommand(MediaKeys &keys) : keys_(keys), keyStops_(keys.keyStops_) { keys.keyStops_ = false; }
        ~OtherCommand() { keys_.keyStops_ = keyStops_; }
        OtherCommand(const OtherCommand &) = delete;
        OtherCommand &operator=(const OtherCommand &) = delete;

    private:
        MediaKeys &keys_;
        bool keyStops_;
    };

private:
    // Registers or unregisters when the hold's answer changed, and sets the
    // timer to its end.
    void Apply();

    const ApplicationState &state_;
    MediaKeyHold hold_;
    bool registered_ = false;
    bool settlePosted_ = false;
    bool inKeyCommand_ = false;
    bool keyStops_ = false;  // a stop now is a media key's
    bool letGo_ = false;  // the exit let them go
};

#endif
