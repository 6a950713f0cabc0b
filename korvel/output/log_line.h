// Lines of the log output, the engine's diagnostic stand-in for a MIDI
// device.  Plain C++.
//
//   open <path>             OpenSong succeeded (the path in UTF-8; the
//                           caller converts it, these functions copy bytes)
//   start                   StartSong succeeded; times below count from here
//   <t> <HH> <HH> ...       a message handed to the output, t in whole
//                           microseconds since start; " *" ends a message the
//                           engine added itself (reset, silence)
//   end                     the song ended by itself (before its handler runs)
//   stop                    StopSong stopped a song that was still playing
//   output opened           the output was opened, as a device would be
//   output closed           ... and closed, for other programs to use
//
// Lines end with CR LF.
#ifndef TIVORN_KORVEL_LOG_LINE_H
#define TIVORN_KORVEL_LOG_LINE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvel {

void AppendMessageLine(std::string &out, int64_t timeUs, const uint8_t *message, size_t size, bool added);
void AppendWordLine(std::string &out, const char *word, const char *argument = nullptr);

// The word of the lines that tell of the output itself, not of a song.
constexpr char kOutputWord[] = "output";

}  // namespace korvel

#endif
