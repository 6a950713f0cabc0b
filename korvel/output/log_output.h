// The log file that stands in for a MIDI device: a line for each message
// and song event, with its time in microseconds since the song's start.
#ifndef TIVORN_KORVEL_OUTPUT_LOG_OUTPUT_H
#define TIVORN_KORVEL_OUTPUT_LOG_OUTPUT_H

#include <string>

#include "korvel/output/output.h"

namespace korvel {

// Appends to the file at path, which others may read while it grows.
OpenResult OpenLog(const std::string &path);

}  // namespace korvel

#endif
