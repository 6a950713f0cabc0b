// The resident window's state: one record, owned by the application object
// and read by the parts of the shell it lends it to.
#ifndef TIVORN_SHELL_SHELL_STATE_H
#define TIVORN_SHELL_SHELL_STATE_H

#include <windows.h>

// Which modeless window owns the keyboard, and whether the tray menu opens.
enum AppMode {
    kModeIdle = 0,          // the tray menu opens, a double-click skips
    kModeAbout = 1,         // dialog keys go to the resident window
    kModeLabelEdit = 2,     // a tree label is edited: Enter and Esc reach its edit box
    kModeBestRequired = 3,  // the best settings dialog must be left with OK
    kModeBestFromMenu = 4,  // the best settings dialog, opened from the menu
};

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
    HBITMAP bitmap;
};

constexpr int kMenuBitmapCount = 9;

// The tray menu with its pictures and the hotkey hook belong to the record:
// they go with it, if the exit has not released them before.
struct ShellState {
    ShellState() = default;
    ~ShellState();
    ShellState(const ShellState &) = delete;
    ShellState &operator=(const ShellState &) = delete;

    HINSTANCE instance;
    HWND resident;                   // null until CreateDialog returned
    UINT taskbarCreated;             // the registered "TaskbarCreated" message
    HMENU popupMenu;                 // IDR_POPUP_MENU; popup 0 is the tray menu
    MenuBitmap menuBitmaps[kMenuBitmapCount];
    HBITMAP checkBitmap;             // IDB_CHECK, the best menu's check mark
    int appMode;
    HWND bestDialog;                 // the best settings dialog while it is open
    bool closingBestSettings;        // its close flags are being applied
    UniqueHook hook;                 // the hotkey hook, null when none
};

// The application mode once the best settings dialog is gone: About showing
// while the window shows as the About view (opened over the dialog), else idle.
AppMode ModeWithoutBestSettings(const ShellState &shell);

#endif
