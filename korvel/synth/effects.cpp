#include "korvel/synth/effects.h"

namespace synth {

// Stand-ins that add nothing, until the effects are written.
struct Reverb::Impl {};
Reverb::Reverb(int) : impl_(new Impl) {}
Reverb::~Reverb() = default;
void Reverb::Process(const float *, float *, size_t) {}
void Reverb::Reset() {}

struct Chorus::Impl {};
Chorus::Chorus(int) : impl_(new Impl) {}
Chorus::~Chorus() = default;
void Chorus::Process(const float *, float *, size_t) {}
void Chorus::Reset() {}

}  // namespace synth
