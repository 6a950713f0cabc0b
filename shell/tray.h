// The notification-area icon.
#ifndef TIVORN_SHELL_TRAY_H
#define TIVORN_SHELL_TRAY_H

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

// For tests: the tip text and which image (0 = A, 1 = B) was shown last.
const char *TrayTipText();
int TrayImageShown();

#endif
