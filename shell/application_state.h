// The resident window's state: one record, owned by the application object
// and read by the parts of the application it lends it to.
#ifndef TIVORN_SHELL_APPLICATION_STATE_H
#define TIVORN_SHELL_APPLICATION_STATE_H

#include <windows.h>

#include "shell/message_loop.h"
#include "utils/handles.h"

// The hotkey hook, removed when its holder goes or takes another.
class UniqueHook {
public:
    UniqueHook() = default;
    ~UniqueHook() { reset(); }
    UniqueHook(const UniqueHook &) = delete;
    UniqueHook &operator=(const UniqueHook &) = delete;

    HHOOK get() const { return hook_; }
    void reset(HHOOK hook = nullptr) {
        if (hook_) UnhookWindowsHookEx(hook_);
        hook_ = hook;
    }

private:
    HHOOK hook_ = nullptr;
};

struct MenuBitmap {
    UINT command;
    WORD resource;
    GdiObject<HBITMAP> bitmap;
};

constexpr int kMenuBitmapCount = 9;

// The tray menu with its pictures and the hotkey hook belong to the record:
// they go with it, if the exit has not released them before.
struct ApplicationState {
    ApplicationState() = default;
    ~ApplicationState();
    ApplicationState(const ApplicationState &) = delete;
    ApplicationState &operator=(const ApplicationState &) = delete;

    HINSTANCE instance;
    HWND resident;                   // null until CreateDialog returned
    UINT taskbarCreated;             // the registered "TaskbarCreated" message
    HMENU popupMenu;                 // IDR_POPUP_MENU; popup 0 is the tray menu
    MenuBitmap menuBitmaps[kMenuBitmapCount];
    GdiObject<HBITMAP> checkBitmap;  // IDB_CHECK, the best menu's check
    ModelessWindows modeless;        // the About view and the best settings dialog while open
    HWND bestDialog;                 // the best settings dialog while it is open
    bool closingBestSettings;        // its result is being applied
    bool reopenBestSettings;         // asked for from the menu meanwhile
    UniqueHook hook;                 // the hotkey hook, null when none
};

// The application's modes, worked out from the windows open now rather than kept.
// Idle: no modeless window is open, nor a modal one over the resident
// window, so the tray menu may open.
bool ApplicationIdle(const ApplicationState &state);
// The player waits for the best settings dialog to name its best: however
// it closes, that best is switched to and played (the dialog's own state).
bool BestSettingsRequired(const ApplicationState &state);

#endif
