// The output a setting names, opened: the one place that knows every kind.
#ifndef TIVORN_KORVEL_DLL_OUTPUT_FACTORY_H
#define TIVORN_KORVEL_DLL_OUTPUT_FACTORY_H

#include "korvel/output/output.h"
#include "korvel/synth_output/synth_output.h"

namespace korvel {

// A device that is gone (unplugged since it was chosen) gives way to the
// MIDI mapper, if allowed, and so does a SoundFont that cannot be used.
// fonts keeps the SoundFont of a synth: output from one opening to the next.
OpenResult OpenOutput(const OutputSetting &setting, MapperFallback fallback, SoundFontHolder &fonts);

}  // namespace korvel

#endif
