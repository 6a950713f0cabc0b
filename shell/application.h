// The program from start to end: the object WinMain makes, which owns the
// resident window's state and every part of the application that reads it.
//
// The one way out is RequestExit, whatever the reason.  The exit drops the
// running copy's tag, releases the notes, saves the history and lets go of
// the tray icon, the media keys, the hook and the menu at once (the session
// may end the process any moment); the windows are destroyed only once the
// message loop has ended, when no handler of theirs is under way.  What was
// not released by an exit goes with the members, in the same order.
#ifndef TIVORN_SHELL_APPLICATION_H
#define TIVORN_SHELL_APPLICATION_H

#include <windows.h>

#include <optional>

#include "shell/about_view.h"
#include "shell/application_editor_host.h"
#include "shell/help_loader.h"
#include "shell/media_keys.h"
#include "shell/application_player_host.h"
#include "shell/resident_window.h"
#include "shell/application_state.h"
#include "shell/startup_lock.h"
#include "shell/tray.h"
#include "store/store.h"
#include "utils/exit_request.h"

class Application : public ExitRequester, private SettingsListener {
public:
    // The store on root's keys: the program's own, or a test's.
    explicit Application(HINSTANCE instance, const RegistryRoot &root = RegistryRoot());
    // The player is told of no window once the application is gone; windows that
    // no exit destroyed go first.
    ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    // Everything WinMain does, with the process's own command line; returns
    // the process exit code.
    int Run();

    // Creates the resident window hidden, with the player reporting to it
    // and the tray from then on; null on failure.  The window is not yet
    // the application's: Run stores it once it stands.
    HWND CreateResidentWindow();

    // Ends the program: all but the windows' end is done at once (the
    // session's end may end the process as soon as WM_ENDSESSION returns),
    // and the quit message is posted.  Only the first request counts.
    void RequestExit(ExitReason reason) override;

    // Runs the message loop until the quit message; after an exit, its
    // windows are then destroyed.  Returns the loop's exit code.
    int RunMessageLoop();

    // What fails on the way out is told here: in a box, or once the session
    // ends, in a line of the data folder's log (a box would hold up the
    // sign-out, and nobody would answer it).
    void TellExitFailure(const char *text);

    Store &store() { return store_; }
    ApplicationState &state() { return state_; }
    Tray &tray() { return tray_; }
    AboutView &about() { return about_; }
    HelpLoader &help() { return help_; }
    ApplicationEditorHost &editorHost() { return editorHost_; }
    MediaKeys &mediaKeys() { return mediaKeys_; }
    Player &player() { return player_; }

private:
    // The best settings dialog, the About view, then the resident window
    // (which owns the dialog).
    void DestroyWindows();

    // The keys follow the settings, whoever changes them: new hotkeys reach
    // a running hook by installing it again, and "MediaKeys" takes or lets
    // go of the media keys at once.
    void SettingsChanged(const Settings &settings, SettingsChange change) override;

    // Declared in the order they are made: each part gets what is made before
    // it, and they go in the reverse order.  The start lock an exit holds is
    // let go last of all.
    std::optional<StartupLock> exitLock_;
    std::optional<ExitReason> exitReason_;
    Store store_;
    ApplicationState state_ = {};
    Player player_{store_};
    Tray tray_{state_, store_, player_};
    AboutView about_{state_, *this};
    HelpLoader help_;
    MediaKeys mediaKeys_{state_};
    ApplicationEditorHost editorHost_{state_, store_, tray_, player_, *this};
    ApplicationPlayerHost playerHost_{state_, tray_, mediaKeys_, *this};
    ResidentWindow residentWindow_{*this};
};

#endif
