// Which output plays: the engine keeps the one it has open unless the
// "Output" value now chooses another that is there to be opened.  In
// particular a named device that was missing when the output was opened
// (slow to come back after a wake, or at logon), so that the MIDI mapper
// played instead, is taken again once it is listed.  Plain C++.
#ifndef TIVORN_KORVEL_OUTPUT_FALLBACK_H
#define TIVORN_KORVEL_OUTPUT_FALLBACK_H

#include <string>
#include <vector>

#include "korvel/output/output_setting.h"

namespace korvel {

// What the engine has open: the setting it was opened for, and whether the
// mapper plays in place of the device that setting names.
struct OpenedOutput {
    OutputSetting setting;
    bool mapperInstead = false;
};

enum class OutputStep {
    Keep,    // the open output is already what wanted chooses, or the best there is
    Reopen,  // open what wanted chooses; keep the open one should that fail
};

// The step from open to wanted among the MIDI out devices listed now
// (device k is names[k]).  On Keep, open is updated to play for wanted.
OutputStep NextOutputStep(OpenedOutput &open, const OutputSetting &wanted, const std::vector<std::string> &names);

}  // namespace korvel

#endif
