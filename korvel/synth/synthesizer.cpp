#include "korvel/synth/synthesizer.h"

#include <cstring>

namespace synth {

// Stand-in until the voices land: renders silence.
struct Synthesizer::Impl {
    std::shared_ptr<const SoundFont> font;
    int rate;
};

Synthesizer::Synthesizer(std::shared_ptr<const SoundFont> font, int sampleRate, Effects)
    : impl_(new Impl{std::move(font), sampleRate}) {}
Synthesizer::~Synthesizer() = default;
void Synthesizer::Send(const uint8_t *, size_t) {}
void Synthesizer::Render(float *stereo, size_t frames) { std::memset(stereo, 0, frames * 2 * sizeof(float)); }
int Synthesizer::ActiveVoices() const { return 0; }
void Synthesizer::Reset() {}
int Synthesizer::SampleRate() const { return impl_->rate; }

}  // namespace synth
