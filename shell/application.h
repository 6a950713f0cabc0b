// The program from start to end: the object WinMain makes, which owns the
// resident window's state and every part of the shell that reads it.
#ifndef TIVORN_SHELL_APPLICATION_H
#define TIVORN_SHELL_APPLICATION_H

#include <windows.h>

#include <optional>

#include "shell/about_view.h"
#include "shell/best_settings.h"
#include "shell/help.h"
#include "shell/media_keys.h"
#include "shell/player_link.h"
#include "shell/resident_window.h"
#include "shell/shell_state.h"
#include "shell/single_instance.h"
#include "shell/tray.h"
#include "store/store.h"

class Application {
public:
    // The store on root's keys: the program's own, or a test's.
    explicit Application(HINSTANCE instance, const RegistryRoot &root = RegistryRoot());
    // The player is told of no window once the shell is gone.
    ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    // Everything WinMain does, with the process's own command line; returns
    // the process exit code.
    int Run();

    // Creates the resident window hidden, with the player reporting to it
    // and the tray from then on; null on failure.  The window is not yet
    // the shell's: Run stores it once it stands.
    HWND CreateResidentWindow();

    // Releases what start-up loaded: the menu and its bitmaps, the tray icon
    // and the hotkey hook.
    void Shutdown();

    // The exit has begun: a start from now on waits until this copy has
    // ended before it runs as the new copy.
    void HoldStartupLockUntilExit();

    Store &store() { return store_; }
    ShellState &shell() { return shell_; }
    Tray &tray() { return tray_; }
    AboutView &about() { return about_; }
    HelpLoader &help() { return help_; }
    ShellEditorHost &editorHost() { return editorHost_; }
    MediaKeys &mediaKeys() { return mediaKeys_; }

private:
    // Declared in the order they are made: each part gets what is made before it.
    Store store_;
    ShellState shell_ = {};
    Tray tray_{shell_, store_};
    AboutView about_{shell_};
    HelpLoader help_;
    MediaKeys mediaKeys_{shell_};
    ShellEditorHost editorHost_{shell_, store_, tray_, mediaKeys_};
    ShellPlayerHost playerHost_{shell_, tray_, mediaKeys_};
    ResidentWindow residentWindow_{*this};
    std::optional<StartupLock> exitLock_;  // released when the application ends
};

#endif
