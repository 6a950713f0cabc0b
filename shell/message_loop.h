// The message loop and the modeless windows it gives their dialog keys.
#ifndef TIVORN_SHELL_MESSAGE_LOOP_H
#define TIVORN_SHELL_MESSAGE_LOOP_H

#include <windows.h>

#include <vector>

#include "utils/exit_request.h"

// The modeless windows open now (the About view, the best settings dialog),
// each added once it exists and removed as it goes.  Which of them exist is
// also what the application's modes are worked out from: nothing open, the tray
// menu opens.
class ModelessWindows {
public:
    void Add(HWND window);
    void Remove(HWND window);
    bool Contains(HWND window) const;
    bool Empty() const { return windows_.empty(); }

    // Offers the message to each window's dialog handling (Tab, Enter, Esc,
    // mnemonics); true when one took it.  Each takes only the messages of
    // its own window and controls.  Keys typed into a tree's label edit box
    // are offered to none: Enter and Esc end the edit, not the dialog.
    bool OfferDialogKey(MSG *message) const;

private:
    std::vector<HWND> windows_;
};

// Runs until the quit message; returns its exit code.  A loop that cannot
// fetch a message reports it (owned by owner) and asks exit to end the
// program.
int RunMessageLoop(const ModelessWindows &modeless, HWND owner, ExitRequester &exit);

#endif
