// The engine's "Output" value as the tray menu reads and writes it; the
// engine reads it itself when it opens an output.
#ifndef TIVORN_STORE_OUTPUT_CHOICE_H
#define TIVORN_STORE_OUTPUT_CHOICE_H

#include <string>

#include "utils/output_value.h"

class Store;

// The value's text; empty when missing or unreadable (the engine then
// plays on the mapper, or says why it cannot).
std::string ReadOutputValue(const Store &store);
outputs::OutputSetting ReadOutputChoice(const Store &store);

// Stores value as the value's text; empty chooses the mapper.
void WriteOutputValue(const Store &store, const std::string &value);

// The SoundFont the built-in synthesizer last played, kept beside the
// output so that the synthesizer can be chosen again after another output;
// empty when none is kept or the value is no usable path.
std::string ReadLastSoundFont(const Store &store);
void WriteLastSoundFont(const Store &store, const std::string &path);

#endif
