// The program's message boxes: every box has the caption "Tivorn", and the
// owner is always given by the caller.
#ifndef TIVORN_UTILS_MESSAGE_BOX_H
#define TIVORN_UTILS_MESSAGE_BOX_H

#include <windows.h>

#include <string>

int ShowMessage(HWND owner, const char *text, UINT flags);

// From now on every box is written to logFile instead of shown (to nowhere
// when it is empty: there is no data folder yet).  Once the session ends, a
// box left waiting would make Windows list Tivorn as keeping the user from
// signing out, and nobody would answer it; the log keeps what it would have
// said.  A logged box is answered with its safest button: Cancel, No, or
// else OK.
void LogBoxesTo(const std::string &logFile);
// Boxes are shown again (tests).
void ShowBoxesAgain();

// Tells the user that something unexpected failed.  Without shutDown the box
// has no owner and nothing else happens.  With shutDown the box is owned by
// resident, the program's resident window, and WM_DESTROY is then posted to
// it, which shuts the program down in order.
void ReportUnexpectedError(HWND resident, bool shutDown);

// The same report with shut-down from inside an open dialog: the box is
// modal to owner, so that nothing in the dialog can be clicked while the box
// is up, and WM_DESTROY then goes to resident as above.  The dialog may be
// gone when this returns (a message handled while the box was up can close
// it); the caller checks before it touches the dialog again.
void ReportUnexpectedErrorOver(HWND owner, HWND resident);

#endif
