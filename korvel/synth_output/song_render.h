// Renders a song through the synthesizer as fast as the machine allows:
// the same sequencer that plays to a device places every message at its
// sample, and the blocks go to a sink (a WAV writer, a test).  Plain C++.
#ifndef TIVORN_KORVEL_SONG_RENDER_H
#define TIVORN_KORVEL_SONG_RENDER_H

#include <cstddef>
#include <cstdint>
#include <functional>

#include "korvel/sequencer/sequencer.h"
#include "korvel/song/song.h"
#include "korvel/synth/synthesizer.h"

namespace korvel {

// Takes frames of interleaved stereo float; false stops the render.
using RenderSink = std::function<bool(const float *stereo, size_t frames)>;

enum class RenderOutcome { Ended, Stopped };

struct RenderOptions {
    // After the song's end the voices ring out for at most this long; the
    // rest is faded out quickly.
    int64_t longestTailUs = 10'000'000;
    // As the player's default, so that a looped song's file ends.
    LoopPlay loop = LoopPlay::TwoPassesAndFade;
};

// Sends the GM System On, the song, and at its end the note-offs and pedal
// releases the engine sends any device; then renders until the last voice
// has died away.
RenderOutcome RenderSong(const Song &song, synth::Synthesizer &synth, const RenderSink &sink,
                         const RenderOptions &options = {});

}  // namespace korvel

#endif
