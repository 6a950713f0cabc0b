// The hand-over of a second start, as the program calls it.
#include "engine/korvel.h"
#include "korvel/handover/hand_over.h"

extern "C" int HandOver(const char *commandLine, HWND runningWindow) {
    switch (korvel::HandOverTo(commandLine, runningWindow)) {
    case korvel::HandOverAnswer::Done: return KORVEL_HANDOVER_DONE;
    case korvel::HandOverAnswer::NoCopy: return KORVEL_HANDOVER_NO_COPY;
    case korvel::HandOverAnswer::Refused: return KORVEL_HANDOVER_REFUSED;
    case korvel::HandOverAnswer::NoAnswer: break;
    }
    return KORVEL_HANDOVER_NO_ANSWER;
}
