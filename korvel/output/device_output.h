// A MIDI out device, or the MIDI mapper, as an output.
#ifndef TIVORN_KORVEL_OUTPUT_DEVICE_OUTPUT_H
#define TIVORN_KORVEL_OUTPUT_DEVICE_OUTPUT_H

#include <windows.h>

#include <string>
#include <vector>

#include "korvel/output/output.h"

namespace korvel {

// Opens device id (or the mapper, MIDI_MAPPER).  A device that is gone gives
// way to the mapper when fallback allows.
OpenResult OpenDevice(UINT id, OpenTarget target, MapperFallback fallback);

// The names of the MIDI out devices, device k at k.
std::vector<std::string> OutputDeviceNames();

}  // namespace korvel

#endif
