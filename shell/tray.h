// The notification-area icon and the tray menu's contents.
#ifndef TIVORN_SHELL_TRAY_H
#define TIVORN_SHELL_TRAY_H

#include <windows.h>

enum TrayKind {
    kTrayRemove = 0,     // delete the icon
    kTrayAdd = 1,        // add it with image A and the tip "Tivorn"
    kTrayTip = 2,        // tip = the file name of path, or "Tivorn" without one
    kTrayStill = 3,      // show image A
    kTrayAlternate = 4,  // show A and B in turn
};

// The tray notification message of the resident window.
constexpr unsigned kTrayMessage = 32868;
constexpr unsigned kTrayIconId = 1;
// The tip holds at most this many bytes of text.
constexpr unsigned kTrayTipBytes = 63;

void UpdateTrayIcon(int kind, const char *path);

// Best k is command 10000 + k; past this many the commands would reach the
// menu's own (40002 on), so later bests get no item.
constexpr int kMaxBestMenuItems = 30000;

// Mode 0: rebuilds the best items at the top of the tray menu from the best
// file, then checks the current best.  Mode 1: only moves the check mark.
// 0 when the tray menu is missing in a rebuild, else 1.
int BuildBestMenu(int mode);

// Greys "再生(&P)" and enables "停止(&S)" and "再生中の曲の情報(&I)" while
// playing; the reverse when stopped.
void SetPlayMenuState(int playing);

// The number of best items at the top of the tray menu.
int BestMenuItemCount();

// Opens the tray menu at the mouse cursor, owned by owner; the chosen item
// arrives at owner as WM_COMMAND.
void ShowTrayMenu(HWND owner);

// For tests: the tip text and which image (0 = A, 1 = B) was shown last.
const char *TrayTipText();
int TrayImageShown();

#endif
