// The registry value "Output" that chooses where the engine plays.  Plain
// C++ so that every form of the value can be tested natively.
//
//   missing or empty   the MIDI mapper
//   midi:N             MIDI out device N (decimal)
//   log:PATH           no sound; lines are appended to the file PATH
#ifndef TIVORN_KORVEL_OUTPUT_SETTING_H
#define TIVORN_KORVEL_OUTPUT_SETTING_H

#include <cstddef>
#include <string>

#include "utils/path_rules.h"

namespace korvel {

struct OutputSetting {
    enum Kind { Mapper, Device, Log, Invalid };
    Kind kind = Mapper;
    unsigned device = 0;
    std::string logPath;
};

// Longest log path, as every path of the program.
constexpr size_t kMaxLogPathBytes = paths::kLongestPath;

// text is the value's bytes without their NUL (null when missing).
OutputSetting ParseOutputSetting(const char *text, size_t size);

}  // namespace korvel

#endif
