// A second start passes its command line on to the running copy.
#ifndef TIVORN_KORVEL_HANDOVER_HAND_OVER_H
#define TIVORN_KORVEL_HANDOVER_HAND_OVER_H

#include <windows.h>

namespace korvel {

enum class HandOverAnswer {
    Done,      // the running copy has the command (or there was nothing to hand over)
    NoCopy,    // no running copy took it: this process should run
    NoAnswer,  // the running copy is hung
    Refused,   // the running copy runs at a higher integrity level
};

// Sends the command (or the files) on commandLine to runningWindow, or to
// the running copy's window found by its mark when that is null.
HandOverAnswer HandOverTo(const char *commandLine, HWND runningWindow);

}  // namespace korvel

#endif
