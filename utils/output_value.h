// The engine's "Output" registry value, which chooses where the music goes.
// The engine opens what it names and the tray menu checks it, so both read
// it through this one plain parser.
//
//   missing or empty   the MIDI mapper
//   midi:N             MIDI out device N (decimal)
//   midi:name:NAME     the MIDI out device called NAME; the mapper while no
//                      device has that name (a USB device unplugged, or
//                      plugged in another order, keeps its name, not its number)
//   log:PATH           no sound; lines are appended to the file PATH
//   synth:PATH         the built-in synthesizer, with the SoundFont at PATH,
//                      heard through the system's audio
#ifndef TIVORN_UTILS_OUTPUT_VALUE_H
#define TIVORN_UTILS_OUTPUT_VALUE_H

#include <cstddef>
#include <string>
#include <vector>

#include "utils/path_rules.h"

namespace outputs {

struct OutputSetting {
    enum class Kind { Mapper, Device, DeviceName, Log, Synth, Invalid };
    // Short names, as in OutputSetting::Log.
    static constexpr Kind Mapper = Kind::Mapper, Device = Kind::Device, DeviceName = Kind::DeviceName,
                          Log = Kind::Log, Synth = Kind::Synth, Invalid = Kind::Invalid;
    Kind kind = Mapper;
    unsigned device = 0;
    std::string deviceName;
    std::string logPath;
    std::string soundFontPath;
};

// Longest log path, as every path of the program.
constexpr size_t kMaxLogPathBytes = paths::kLongestPath;
// Longest SoundFont path, likewise.
constexpr size_t kMaxSoundFontPathBytes = paths::kLongestPath;
// Device names are at most 31 bytes (the system's name buffer holds 32).
constexpr size_t kMaxDeviceNameBytes = 31;

// text is the value's bytes without their NUL (null when missing).
OutputSetting ParseOutputSetting(const char *text, size_t size);

// The device that plays for setting among the devices named so (device k
// is names[k]); kMapper for the mapper.  A name that no device has falls
// back to the mapper; a number is taken as it is, even past the devices,
// so that opening it says what is wrong.  Not meaningful for a log.
constexpr int kMapper = -1;
int ChooseDevice(const OutputSetting &setting, const std::vector<std::string> &names);

// Whether what setting chooses can be opened among the devices listed
// now: its device is listed (the mapper needs any device), or it needs none
// (a log).  An unusable value has nothing to wait for: true.
bool ChosenOutputListed(const OutputSetting &setting, const std::vector<std::string> &names);

// The value that stores the device called name.
std::string DeviceNameValue(const std::string &name);
// The value that stores the synthesizer with the SoundFont at path.
std::string SynthValue(const std::string &soundFontPath);

}  // namespace outputs

#endif
