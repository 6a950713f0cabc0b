// The voice's resonant low-pass filter: a two-pole section whose
// coefficients are set once a block.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_FILTER_H
#define TIVORN_KORVEL_SYNTH_FILTER_H

namespace synth {

class LowPass {
public:
    void Reset() { x1_ = x2_ = y1_ = y2_ = 0; }
    // cutoffHz, and the resonance as the peak's height above the DC gain
    // in decibels (0: no peak).
    void Set(double cutoffHz, double resonanceDb, double sampleRate);
    void Process(float *samples, int count);

private:
    float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    float x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

}  // namespace synth

#endif
