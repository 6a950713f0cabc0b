#include "korvel/synth/effects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

#include "korvel/synth/units.h"

namespace synth {

namespace {


// Rates outside this range are taken as its nearest end: the buffers stay
// of a sane size whatever the caller passes.
int SaneRate(int sampleRate) {
    return std::clamp(sampleRate, 8000, 384000);
}

// What the effects take in: tiny values are taken as zero, so that nothing
// below the normal float range ever enters a delay line, and values that are
// not finite or absurdly large cannot poison a tail for good.
inline float Clean(float x) {
    if (!(std::fabs(x) >= 1e-15f))  // also NaN
        return 0.0f;
    return std::clamp(x, -64.0f, 64.0f);
}

// Below this level (about -140 dB) a send sample or an effect's state counts
// as silence: once all of an effect's state is below it, the effect stops
// computing until its send is heard again.
constexpr float kQuiet = 1e-7f;

// Rounds values far below hearing (under about 1e-25) to exactly zero, with
// no branch.  A recursive filter whose input has stopped decays towards zero
// by itself and would otherwise pass through the denormal range, where the
// processor is many times slower.
constexpr float kFlushOffset = 1e-18f;
inline float Flush(float x) {
    return (x + kFlushOffset) - kFlushOffset;
}

bool Quiet(const float *send, size_t frames) {
    float peak = 0.0f;
    for (size_t i = 0; i < frames; i++)
        peak = std::max(peak, std::fabs(send[i]));
    return peak < kQuiet;  // NaN compares false, so it counts as heard
}

bool AllQuiet(const std::vector<float> &v) {
    float peak = 0.0f;
    for (float x : v)
        peak = std::max(peak, std::fabs(x));
    return peak < kQuiet;
}

size_t PowerOfTwoAtLeast(size_t n) {
    size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

bool IsPrime(size_t n) {
    if (n < 2)
        return false;
    for (size_t d = 2; d * d <= n; d++)
        if (n % d == 0)
            return false;
    return true;
}

// A delay of `ms` at `rate`, as a prime number of samples: prime lengths
// share no common period, so the echoes of different lines never pile up on
// the same sample.
size_t PrimeDelay(double ms, int rate) {
    size_t n = std::max<size_t>(2, static_cast<size_t>(std::lround(ms * rate / 1000.0)));
    while (!IsPrime(n))
        n++;
    return n;
}

// A delay line of a power-of-two size, read and written through one shared
// running position so that every line of an effect steps together.
struct Line {
    std::vector<float> buf;
    size_t mask = 0;
    size_t length = 0;

    void Init(size_t delay) {
        length = delay;
        buf.assign(PowerOfTwoAtLeast(delay + 1), 0.0f);
        mask = buf.size() - 1;
    }
    float Read(size_t pos) const { return buf[(pos - length) & mask]; }
    void Write(size_t pos, float x) { buf[pos & mask] = x; }

    // As a Schroeder all-pass of the line's delay and gain g: flat in
    // level, it only smears x in time.
    float AllPass(size_t pos, float x, float g) {
        float delayed = Read(pos);
        float w = Flush(x + g * delayed);
        Write(pos, w);
        return delayed - g * w;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Reverb: a pre-delay and a chain of all-pass diffusers feed an eight-line
// feedback delay network.  The lines are mixed by an 8x8 Hadamard matrix,
// which is orthogonal and so loses no energy by itself: each line's own
// low-pass loss alone sets the decay, which makes the network stable for
// any input and lets the decay time be set exactly.  That low-pass, one pole
// per line, is designed so that every line decays at the same rate in dB per
// second, faster at high frequencies than at low: a room's air and walls
// damping the treble.  Left and right take the lines with orthogonal sign
// patterns, so they are uncorrelated and the tail is wide.

namespace {

constexpr int kLines = 8;
// Line lengths of a medium room: the mean is about 36 ms.  A voicing scales
// them by its size.
constexpr double kLineMs[kLines] = {22.3, 25.9, 29.1, 33.7, 37.3, 42.1, 46.9, 51.7};
// All-passes smear each input into a dense burst before it enters the
// network, so a drum hit does not ring as discrete echoes.  The first three
// are in series; the last two take the third's output side by side, one
// feeding the network and the left early sound, the other the right.
constexpr int kDiffusers = 5;
constexpr double kDiffuserMs[kDiffusers] = {4.77, 3.59, 12.73, 9.31, 10.63};
constexpr float kDiffuserGain[kDiffusers] = {0.70f, 0.70f, 0.62f, 0.62f, 0.62f};
// A voicing: the size of the lines, the decay times (to -60 dB) at low
// frequencies and in the treble, and the pre-delay.  The treble's is set at
// a fixed frequency so that a room sounds the same at every sample rate.
// The delays have no echoes of their own here: they are a room heard
// behind a long pre-delay.
struct RoomVoicing {
    double size, decayLowSeconds, decayHighSeconds, preDelayMs;
};
constexpr RoomVoicing kStandardRoom = {1.0, 1.2, 0.85, 5.0};
constexpr RoomVoicing kRooms[] = {
    {0.7, 0.6, 0.45, 3.0},    // room 1
    {0.85, 0.9, 0.6, 4.0},    // room 2
    {1.0, 1.4, 0.9, 6.0},     // room 3
    {1.3, 1.8, 1.2, 12.0},    // hall 1
    {1.5, 2.4, 1.5, 18.0},    // hall 2
    {0.8, 1.6, 1.4, 2.0},     // plate: bright
    {1.0, 1.0, 0.7, 120.0},   // delay
    {1.0, 1.0, 0.7, 150.0},   // panning delay
};
constexpr double kLargestRoom = 1.5;
constexpr double kLongestPreDelayMs = 150.0;
constexpr double kDecayHighHz = 8000.0;
// Levels of the early sound (the diffused send, heard before the network's
// first echoes come back) and of the network's tail.
constexpr float kEarlyOutput = 0.25f;
constexpr float kTailOutput = 0.44f;

// Sign patterns of the input (into the lines) and of the two outputs, rows
// of a Hadamard matrix and so orthogonal to each other.
constexpr float kInSign[kLines] = {1, 1, 1, 1, 1, 1, 1, 1};
constexpr float kLeftSign[kLines] = {1, -1, 1, -1, 1, -1, 1, -1};
constexpr float kRightSign[kLines] = {1, 1, -1, -1, 1, 1, -1, -1};

// In place, unnormalised: each output is a ± sum of all eight inputs.
inline void Hadamard8(float *v) {
    for (int half = 1; half < kLines; half <<= 1) {
        for (int i = 0; i < kLines; i += 2 * half) {
            for (int j = i; j < i + half; j++) {
                float a = v[j], b = v[j + half];
                v[j] = a + b;
                v[j + half] = a - b;
            }
        }
    }
}

}  // namespace

struct Reverb::Impl {
    Line pre;
    Line diffuser[kDiffusers];
    Line line[kLines];
    // Each line's loss: y = b * x + a * y1.
    float b[kLines] = {};
    float a[kLines] = {};
    float y1[kLines] = {};
    size_t pos = 0;
    // Frames since the send was last heard; the longest path of a send
    // through pre-delay and diffusers, after which the network's own lines
    // hold all that is left of it.
    size_t quietFrames = 0;
    size_t inputPath = 0;
    // Frames until the state is next looked at while the send is silent.
    size_t nextCheck = 0;
    size_t checkInterval = 0;
    bool idle = true;

    int rate = 44100;

    explicit Impl(int sampleRate) : rate(SaneRate(sampleRate)) {
        // Every line is made for the largest voicing, so that a change of
        // voicing never allocates.
        pre.Init(static_cast<size_t>(std::lround(kLongestPreDelayMs * rate / 1000.0)));
        for (int i = 0; i < kDiffusers; i++)
            diffuser[i].Init(PrimeDelay(kDiffuserMs[i], rate));
        for (int i = 0; i < kLines; i++)
            line[i].Init(PrimeDelay(kLineMs[i] * kLargestRoom, rate));
        Apply(kStandardRoom);
    }

    void Apply(const RoomVoicing &room) {
        pre.length = static_cast<size_t>(std::lround(room.preDelayMs * rate / 1000.0));
        inputPath = pre.length;
        for (int i = 0; i < kDiffusers; i++)
            if (i != 4)  // the right early sound's, not on the network's path
                inputPath += diffuser[i].length;
        checkInterval = 0;
        for (int i = 0; i < kLines; i++) {
            line[i].length = PrimeDelay(kLineMs[i] * room.size, rate);
            checkInterval = std::max(checkInterval, line[i].length);
            // The gain one pass through this line may have, at DC and in the
            // treble, for the decay times wanted; then the one-pole low-pass
            // b / (1 - a z^-1) that has exactly those two gains: with
            // r = (high / low)^2 and b = low (1 - a), |H|^2 = high^2 at w
            // is a quadratic in a, of which this is the root in [0, 1).
            double seconds = static_cast<double>(line[i].length) / rate;
            double low = std::pow(10.0, -3.0 * seconds / room.decayLowSeconds);
            double high = std::pow(10.0, -3.0 * seconds / room.decayHighSeconds);
            double w = 2.0 * kPi * std::min(kDecayHighHz, 0.45 * rate) / rate;
            double r = (high / low) * (high / low);
            double c = 1.0 - r * std::cos(w);
            double pole = (c - std::sqrt(c * c - (1.0 - r) * (1.0 - r))) / (1.0 - r);
            // The matrix's normalisation, 1/sqrt(8), is folded in here.
            b[i] = static_cast<float>(low * (1.0 - pole) / std::sqrt(double(kLines)));
            a[i] = static_cast<float>(pole);
        }
    }

    void Clear() {
        std::fill(pre.buf.begin(), pre.buf.end(), 0.0f);
        for (Line &d : diffuser)
            std::fill(d.buf.begin(), d.buf.end(), 0.0f);
        for (Line &l : line)
            std::fill(l.buf.begin(), l.buf.end(), 0.0f);
        std::fill(std::begin(y1), std::end(y1), 0.0f);
        idle = true;
    }

    bool StateQuiet() const {
        if (!AllQuiet(pre.buf))
            return false;
        for (const Line &d : diffuser)
            if (!AllQuiet(d.buf))
                return false;
        for (const Line &l : line)
            if (!AllQuiet(l.buf))
                return false;
        for (float y : y1)
            if (!(std::fabs(y) < kQuiet))
                return false;
        return true;
    }

    void Run(const float *send, float *stereo, size_t frames) {
        for (size_t n = 0; n < frames; n++) {
            float x = Clean(send[n]);
            if (std::fabs(x) >= kQuiet)
                quietFrames = 0;
            else
                quietFrames++;

            float in = pre.Read(pos);
            pre.Write(pos, x);
            for (int i = 0; i < 3; i++)
                in = diffuser[i].AllPass(pos, in, kDiffuserGain[i]);
            float earlyRight = diffuser[4].AllPass(pos, in, kDiffuserGain[4]);
            in = diffuser[3].AllPass(pos, in, kDiffuserGain[3]);

            float v[kLines];
            float left = 0.0f, right = 0.0f;
            for (int i = 0; i < kLines; i++) {
                float y = Flush(b[i] * line[i].Read(pos) + a[i] * y1[i]);
                y1[i] = y;
                v[i] = y;
                left += kLeftSign[i] * y;
                right += kRightSign[i] * y;
            }
            Hadamard8(v);
            for (int i = 0; i < kLines; i++)
                line[i].Write(pos, v[i] + kInSign[i] * in);
            pos++;

            stereo[2 * n] += kEarlyOutput * in + kTailOutput * left;
            stereo[2 * n + 1] += kEarlyOutput * earlyRight + kTailOutput * right;
        }
    }
};

Reverb::Reverb(int sampleRate) : impl_(new Impl(sampleRate)) {}
Reverb::~Reverb() = default;

void Reverb::Reset() {
    impl_->Clear();
}

void Reverb::SetVoicing(int macro) {
    bool known = macro >= 0 && macro < static_cast<int>(std::size(kRooms));
    impl_->Apply(known ? kRooms[macro] : kStandardRoom);
}

void Reverb::Process(const float *send, float *stereo, size_t frames) {
    Impl &r = *impl_;
    if (r.idle) {
        if (Quiet(send, frames))
            return;
        r.idle = false;
        r.quietFrames = 0;
        r.nextCheck = r.checkInterval;
    }
    r.Run(send, stereo, frames);
    // Once the send has been silent long enough to have left the input path,
    // the state is looked at now and then; when all of it is below hearing,
    // it is cleared and the reverb rests.  Clearing it, rather than letting
    // it decay, is also what keeps it out of the denormal range.
    if (r.quietFrames < r.inputPath)
        return;
    if (frames < r.nextCheck) {
        r.nextCheck -= frames;
        return;
    }
    r.nextCheck = r.checkInterval;
    if (r.StateQuiet())
        r.Clear();
}

// ---------------------------------------------------------------------------
// Chorus: three taps on one delay line, their delays swept by one slow sine
// a third of a period apart, and spread left, centre and right with equal
// power.  The taps are read with cubic interpolation, so the sweep does not
// dull the treble.

namespace {

constexpr int kVoices = 3;
// A voicing: the taps' centre delay, how far the sweep takes them either
// side of it, and its rate.  The feedback voicings have no feedback here.
struct ChorusVoicing {
    double centreMs, depthMs, hz;
};
constexpr ChorusVoicing kStandardChorus = {13.0, 2.5, 0.3};
constexpr ChorusVoicing kChoruses[] = {
    {8.0, 1.5, 0.5},    // chorus 1
    {10.0, 2.0, 0.4},   // chorus 2
    {13.0, 2.5, 0.3},   // chorus 3
    {16.0, 3.5, 0.25},  // chorus 4
    {12.0, 3.0, 0.35},  // feedback chorus
    {3.0, 1.5, 0.2},    // flanger
    {20.0, 0.0, 0.0},   // short delay
    {25.0, 0.0, 0.0},   // short delay with feedback
};
constexpr double kLongestTapMs = 25.0;
// Pan angles (0 = left, pi/2 = right) of the taps.
constexpr double kVoicePan[kVoices] = {0.1 * kPi, 0.25 * kPi, 0.4 * kPi};

}  // namespace

struct Chorus::Impl {
    std::vector<float> buf;
    size_t mask = 0;
    size_t pos = 0;
    float centre = 0.0f;  // in samples
    float depth = 0.0f;
    // The sweep as a rotating unit vector (cos, sin), stepped per sample.
    double c = 1.0, s = 0.0;
    double stepC = 1.0, stepS = 0.0;
    float voiceCos[kVoices] = {};  // the taps' phase offsets
    float voiceSin[kVoices] = {};
    float gainL[kVoices] = {};
    float gainR[kVoices] = {};
    size_t quietFrames = 0;
    bool idle = true;

    int rate = 44100;

    explicit Impl(int sampleRate) : rate(SaneRate(sampleRate)) {
        // The longest delay read, plus the interpolator's two samples beyond.
        buf.assign(PowerOfTwoAtLeast(static_cast<size_t>(kLongestTapMs * rate / 1000.0) + 4), 0.0f);
        mask = buf.size() - 1;
        Apply(kStandardChorus);
        // Equal power per channel: the squared gains of each channel add up
        // to one, so uncorrelated taps come out at the level sent in.
        double power = 0.0;
        for (double pan : kVoicePan)
            power += std::cos(pan) * std::cos(pan);
        double norm = 1.0 / std::sqrt(power);
        for (int v = 0; v < kVoices; v++) {
            double phase = 2.0 * kPi * v / kVoices;
            voiceCos[v] = static_cast<float>(std::cos(phase));
            voiceSin[v] = static_cast<float>(std::sin(phase));
            gainL[v] = static_cast<float>(norm * std::cos(kVoicePan[v]));
            gainR[v] = static_cast<float>(norm * std::sin(kVoicePan[v]));
        }
    }

    void Apply(const ChorusVoicing &v) {
        centre = static_cast<float>(v.centreMs * rate / 1000.0);
        depth = static_cast<float>(v.depthMs * rate / 1000.0);
        double w = 2.0 * kPi * v.hz / rate;
        stepC = std::cos(w);
        stepS = std::sin(w);
    }

    void Clear() {
        std::fill(buf.begin(), buf.end(), 0.0f);
        c = 1.0;
        s = 0.0;
        idle = true;
    }

    float Tap(float delay) const {
        // delay >= 2 always, so the newest sample read is one already written.
        size_t whole = static_cast<size_t>(delay);
        float t = delay - static_cast<float>(whole);
        size_t at = pos - whole;
        float newer = buf[(at + 1) & mask];
        float p0 = buf[at & mask];
        float p1 = buf[(at - 1) & mask];
        float older = buf[(at - 2) & mask];
        float c1 = 0.5f * (p1 - newer);
        float c2 = newer - 2.5f * p0 + 2.0f * p1 - 0.5f * older;
        float c3 = 0.5f * (older - newer) + 1.5f * (p0 - p1);
        return ((c3 * t + c2) * t + c1) * t + p0;
    }

    void Run(const float *send, float *stereo, size_t frames) {
        for (size_t n = 0; n < frames; n++) {
            float x = Clean(send[n]);
            if (std::fabs(x) >= kQuiet)
                quietFrames = 0;
            else
                quietFrames++;
            buf[pos & mask] = x;
            float sc = static_cast<float>(c), ss = static_cast<float>(s);
            float left = 0.0f, right = 0.0f;
            for (int v = 0; v < kVoices; v++) {
                float sweep = ss * voiceCos[v] + sc * voiceSin[v];
                float y = Tap(centre + depth * sweep);
                left += gainL[v] * y;
                right += gainR[v] * y;
            }
            stereo[2 * n] += left;
            stereo[2 * n + 1] += right;
            pos++;
            double nc = c * stepC - s * stepS;
            s = s * stepC + c * stepS;
            c = nc;
        }
        // Rounding would slowly change the vector's length: set it back to one.
        double len = std::sqrt(c * c + s * s);
        c /= len;
        s /= len;
    }
};

Chorus::Chorus(int sampleRate) : impl_(new Impl(sampleRate)) {}
Chorus::~Chorus() = default;

void Chorus::Reset() {
    impl_->Clear();
}

void Chorus::SetVoicing(int macro) {
    bool known = macro >= 0 && macro < static_cast<int>(std::size(kChoruses));
    impl_->Apply(known ? kChoruses[macro] : kStandardChorus);
}

void Chorus::Process(const float *send, float *stereo, size_t frames) {
    Impl &ch = *impl_;
    if (ch.idle) {
        if (Quiet(send, frames))
            return;
        ch.idle = false;
        ch.quietFrames = 0;
    }
    ch.Run(send, stereo, frames);
    // Without feedback, the line holds nothing but the send: once the send
    // has been silent for the whole line, there is nothing left to hear.
    if (ch.quietFrames > ch.buf.size())
        ch.Clear();
}

}  // namespace synth
