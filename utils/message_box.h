// The program's message boxes: every box has the caption "Tivorn", and the
// owner is always given by the caller.
#ifndef TIVORN_UTILS_MESSAGE_BOX_H
#define TIVORN_UTILS_MESSAGE_BOX_H

#include <windows.h>

#include <string>

#include "utils/exit_request.h"

int ShowMessage(HWND owner, const char *text, UINT flags);

// Tells the user that something unexpected failed, in a box modal to owner
// (none: null); the program goes on.
void ReportUnexpectedError(HWND owner);
// The same report, after which exit is asked to end the program.  From
// inside an open dialog, owner is the dialog, so that nothing in it can be
// clicked while the box is up.  The dialog may be gone when this returns (a
// message handled while the box was up can close it); the caller checks
// before it touches the dialog again.
void ReportUnexpectedError(HWND owner, ExitRequester &exit);

// Appends one line to logFile: the local time, then text with its line
// breaks as spaces.  Once the session ends a box would hold up the sign-out
// and nobody would answer it; the log keeps what it would have said.
// Nothing when logFile is empty (there is no data folder yet).
void AppendToLog(const std::string &logFile, const char *text);

#endif
