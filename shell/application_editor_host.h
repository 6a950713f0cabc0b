// The application as the best settings dialog's host: it opens the dialog, keeps
// it in state.bestDialog and among the message loop's modeless windows
// while it is open, and applies what closing it asks for.
#ifndef TIVORN_SHELL_APPLICATION_EDITOR_HOST_H
#define TIVORN_SHELL_APPLICATION_EDITOR_HOST_H

#include "editor/best_settings_dialog.h"
#include "shell/application_state.h"
#include "shell/tray.h"

// Who opens the dialog.
enum class BestSettingsOpener {
    Menu,     // the user, from the tray menu
    Startup,  // start-up, with nothing to play: it waits for the dialog
};

class ApplicationEditorHost : public EditorHost {
public:
    ApplicationEditorHost(ApplicationState &state, Store &store, Tray &tray, Player &player, ExitRequester &exit)
        : state_(state), store_(store), tray_(tray), player_(player), exit_(exit) {}
    ApplicationEditorHost(const ApplicationEditorHost &) = delete;
    ApplicationEditorHost &operator=(const ApplicationEditorHost &) = delete;
    ~ApplicationEditorHost() = default;

    // Creates the dialog, owned by the resident window.  False (and no
    // dialog) when it could not be created.
    bool OpenBestSettings(BestSettingsOpener opener);

    // The dialog closed: its result is applied and the dialog is destroyed.
    void CloseBestSettings(const BestSettingsResult &result) override;
    bool HotkeyHookInstalled() override { return state_.hook.get() != nullptr; }
    void SetHotkeyHook(bool on) override;
    void BestSettingsOpening(HWND dialog) override;
    Player &player() override { return player_; }
    void RequestExit(ExitReason reason) override { exit_.RequestExit(reason); }

private:
    // What the dialog's result asks of playback and of the best menu.
    void ApplyBestSettings(const BestSettingsResult &result, bool required);
    // The dialog is no longer the application's.
    void ForgetBestSettings();

    ApplicationState &state_;
    Store &store_;
    Tray &tray_;
    Player &player_;
    ExitRequester &exit_;
};

#endif
