// The texts that tell the user why a song could not be played on the output
// chosen.
#ifndef TIVORN_KORVEL_PLAY_ERROR_TEXT_H
#define TIVORN_KORVEL_PLAY_ERROR_TEXT_H

#include <cstddef>
#include <string>

#include "korvel/output/midi_errors.h"

namespace korvel {

// Why the SoundFont at soundFontPath could not be used, and that the MIDI
// mapper plays instead.
std::string FontNoticeText(const std::string &soundFontPath, FontProblem problem);

// The message for an output that could not be opened, into text:
// fontNotice (if any) first, then the reason, then the log file
// (logPath) or the system's error number where they tell more.
void FormatOutputError(char *text, size_t size, const std::string &fontNotice, OutputError error,
                       unsigned systemError, const std::string &logPath);

}  // namespace korvel

#endif
