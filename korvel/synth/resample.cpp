#include "korvel/synth/resample.h"

#include <algorithm>
#include <cmath>

#include "korvel/synth/units.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TIVORN_SYNTH_SSE2 1
#endif

namespace synth {
namespace {

constexpr float kScale = 1.0f / 32768.0f;
constexpr float kFraction = 1.0f / 16777216.0f;  // the top 24 bits of the fraction

}  // namespace

uint64_t InterpolateCubicPlain(const int16_t *data, uint64_t pos, uint64_t increment, int count, float *out) {
    for (int k = 0; k < count; ++k) {
        const int16_t *q = data + (pos >> 32) - 1;
        float t = static_cast<float>(static_cast<int32_t>((pos & 0xFFFFFFFFu) >> 8)) * kFraction;
        float a = q[0], b = q[1], c = q[2], e = q[3];
        out[k] = kScale * (b + 0.5f * t * (c - a + t * (2 * a - 5 * b + 4 * c - e + t * (3 * (b - c) + e - a))));
        pos += increment;
    }
    return pos;
}

#ifdef TIVORN_SYNTH_SSE2

namespace {

constexpr uint64_t kSpanPoints = 256;

// The four points around one frame, as floats: one 8-byte load.
inline __m128 Points(const int16_t *q) {
    __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(q));
    return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16));
}

}  // namespace

// The plain loop's arithmetic in the same order, so the result is the same
// to the bit: four frames' points are loaded whole and turned so that each
// register holds one point of all four frames.
uint64_t InterpolateCubic(const int16_t *data, uint64_t pos, uint64_t increment, int count, float *out) {
    const __m128 scale = _mm_set1_ps(kScale), fraction = _mm_set1_ps(kFraction), half = _mm_set1_ps(0.5f);
    const __m128 two = _mm_set1_ps(2.0f), three = _mm_set1_ps(3.0f), four = _mm_set1_ps(4.0f),
                 five = _mm_set1_ps(5.0f);
    // The fractions of the four frames step by the increment's low word;
    // carries out of it belong to the index and are dropped.
    uint32_t low = static_cast<uint32_t>(increment);
    const __m128i steps = _mm_set_epi32(static_cast<int32_t>(3 * low), static_cast<int32_t>(2 * low),
                                        static_cast<int32_t>(low), 0);
    // A span of the data short enough (the pitch no more than a few times
    // the sample's own) is turned into floats first, so that each frame's
    // four points are one load.
    float span[kSpanPoints];
    int wide = count & ~3;
    uint64_t firstIndex = (pos >> 32) - 1;
    uint64_t points = wide > 0 ? ((pos + static_cast<uint64_t>(wide - 1) * increment) >> 32) + 3 - firstIndex : 0;
    bool spanned = points <= kSpanPoints;
    if (spanned)
        for (uint64_t i = 0; i < points; ++i) span[i] = data[firstIndex + i];
    int k = 0;
    for (; k < wide; k += 4) {
        uint64_t p1 = pos + increment, p2 = p1 + increment, p3 = p2 + increment;
        __m128 a, b, c, e;
        if (spanned) {
            a = _mm_loadu_ps(span + ((pos >> 32) - 1 - firstIndex));
            b = _mm_loadu_ps(span + ((p1 >> 32) - 1 - firstIndex));
            c = _mm_loadu_ps(span + ((p2 >> 32) - 1 - firstIndex));
            e = _mm_loadu_ps(span + ((p3 >> 32) - 1 - firstIndex));
        } else {
            a = Points(data + (pos >> 32) - 1);
            b = Points(data + (p1 >> 32) - 1);
            c = Points(data + (p2 >> 32) - 1);
            e = Points(data + (p3 >> 32) - 1);
        }
        _MM_TRANSPOSE4_PS(a, b, c, e);
        __m128i lows = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(pos))), steps);
        __m128 t = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(lows, 8)), fraction);
        // 3 * (b - c) + e - a
        __m128 r = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(three, _mm_sub_ps(b, c)), e), a);
        // 2 * a - 5 * b + 4 * c - e + t * r
        __m128 s = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(two, a), _mm_mul_ps(five, b)), _mm_mul_ps(four, c)), e);
        s = _mm_add_ps(s, _mm_mul_ps(t, r));
        // c - a + t * s
        s = _mm_add_ps(_mm_sub_ps(c, a), _mm_mul_ps(t, s));
        // scale * (b + 0.5 * t * s)
        s = _mm_mul_ps(scale, _mm_add_ps(b, _mm_mul_ps(_mm_mul_ps(half, t), s)));
        _mm_storeu_ps(out + k, s);
        pos = p3 + increment;
    }
    return InterpolateCubicPlain(data, pos, increment, count - k, out + k);
}

#else

uint64_t InterpolateCubic(const int16_t *data, uint64_t pos, uint64_t increment, int count, float *out) {
    return InterpolateCubicPlain(data, pos, increment, count, out);
}

#endif

}  // namespace synth

namespace synth {
namespace {

// How far the filters push down what they remove: well below what 16-bit
// output can tell from silence.
constexpr double kStopbandDb = 80.0;
// The band kept runs to 0.9 of the lower Nyquist frequency, the band
// removed from 1.1 of it on: the cutoff lies at that Nyquist frequency.
constexpr double kPassFraction = 0.9;
constexpr double kTransitionFraction = 0.2;
// Ratios whose phases fit in this many rows are computed exactly; others
// read between rows of this many.
constexpr uint64_t kMostExactPhases = 512;
constexpr uint32_t kReadPhases = 256;

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 64 && term > 1e-12 * sum; ++k) {
        double half = x / (2.0 * k);
        term *= half * half;
        sum += term;
    }
    return sum;
}

// The Kaiser window's shape for kStopbandDb, at x in [-1, 1].
double KaiserAt(double x) {
    const double beta = 0.1102 * (kStopbandDb - 8.7);
    double inside = 1.0 - x * x;
    return inside <= 0.0 ? BesselI0(0.0) / BesselI0(beta) : BesselI0(beta * std::sqrt(inside)) / BesselI0(beta);
}

// sin(pi x) / (pi x)
double Sinc(double x) { return std::fabs(x) < 1e-12 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

// Taps a Kaiser-windowed filter needs for a transition band of `width`
// (a fraction of the rate it runs at).
int TapsFor(double width) {
    return static_cast<int>(std::ceil((kStopbandDb - 8.0) / (2.285 * 2.0 * kPi * width))) + 1;
}

// Appends each coefficient twice (left, right), scaled so that they sum to
// one: a constant passes at its level whatever the phase.
void AppendRow(std::vector<float> &table, const std::vector<double> &row) {
    double sum = 0.0;
    for (double c : row) sum += c;
    for (double c : row) {
        table.push_back(static_cast<float>(c / sum));
        table.push_back(static_cast<float>(c / sum));
    }
}

// Left and right of one output frame: taps (each twice) against as many
// interleaved frames.  Four lanes, so that the compiler keeps them in one
// vector register.
inline void Dot(const float *taps, const float *frames, size_t values, float *out) {
    float lanes[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (size_t j = 0; j < values; j += 4)
        for (int k = 0; k < 4; ++k) lanes[k] += taps[j + k] * frames[j + k];
    out[0] = lanes[0] + lanes[2];
    out[1] = lanes[1] + lanes[3];
}

uint64_t CommonDivisor(uint64_t a, uint64_t b) {
    while (b) {
        uint64_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

}  // namespace

RateConverter::RateConverter(int fromRate, int toRate) {
    // Halved while what is left to decimate is two to one or more; what
    // reaches the last stage is never as much as twice the output's rate.
    const double keptHz = kPassFraction * 0.5 * toRate;
    uint64_t divisor = 1;  // of fromRate, the rate halvings_ leave
    while (static_cast<double>(fromRate) / static_cast<double>(divisor) >= 2.0 * toRate) {
        double rate = static_cast<double>(fromRate) / static_cast<double>(divisor);
        // What lies above rate / 2 - keptHz folds into the band kept; the
        // cutoff is a quarter of the rate.
        int count = TapsFor(0.5 - 2.0 * keptHz / rate) | 1;
        int middle = count / 2;
        std::vector<double> row(static_cast<size_t>(count + 3) & ~size_t{3}, 0.0);
        for (int n = 0; n < count; ++n)
            row[n] = 0.5 * Sinc(0.5 * (n - middle)) * KaiserAt(static_cast<double>(n - middle) / (middle + 1));
        Halving halving;
        AppendRow(halving.taps, row);
        halving.pending.assign(2 * static_cast<size_t>(middle), 0.0f);  // output j lies on input 2j
        halvings_.push_back(std::move(halving));
        divisor *= 2;
    }
    double rate = static_cast<double>(fromRate) / static_cast<double>(divisor);
    double nyquist = 0.5 * std::min<double>(rate, toRate);
    int taps = TapsFor(kTransitionFraction * nyquist / rate);
    width_ = taps + (taps & 1);
    int half = width_ / 2;
    uint64_t from = static_cast<uint64_t>(fromRate), to = static_cast<uint64_t>(toRate) * divisor;
    uint64_t common = CommonDivisor(from, to);
    increment_ = from / common;
    denominator_ = to / common;
    exactPhases_ = denominator_ <= kMostExactPhases;
    phases_ = exactPhases_ ? static_cast<uint32_t>(denominator_) : kReadPhases;
    double cutoff = nyquist / rate;  // cycles per input frame
    std::vector<double> row(static_cast<size_t>(width_));
    table_.reserve(2 * static_cast<size_t>(width_) * (phases_ + 1));
    for (uint32_t p = 0; p <= phases_; ++p) {
        // Tap m weighs input frame index - half + 1 + m.
        double fraction = static_cast<double>(p) / phases_;
        for (int m = 0; m < width_; ++m) {
            double distance = m - (half - 1) - fraction;
            row[m] = 2.0 * cutoff * Sinc(2.0 * cutoff * distance) * KaiserAt(distance / half);
        }
        AppendRow(table_, row);
    }
    mixed_.resize(2 * static_cast<size_t>(width_));
    index_ = static_cast<uint64_t>(half - 1);
    input_.assign(2 * index_, 0.0f);  // the first output lies on the first input
}

size_t RateConverter::Halving::InputFor(size_t outputs) const {
    if (outputs == 0) return 0;
    size_t needed = taps.size() + 2 * 2 * (outputs - 1);  // values, not frames
    return needed > pending.size() ? (needed - pending.size()) / 2 : 0;
}

size_t RateConverter::SourceFramesFor(size_t frames) const {
    if (frames == 0) return 0;
    uint64_t last = index_ + (remainder_ + static_cast<uint64_t>(frames - 1) * increment_) / denominator_;
    uint64_t needed = last + static_cast<uint64_t>(width_ / 2) + 1;
    uint64_t have = input_.size() / 2;
    size_t more = needed > have ? static_cast<size_t>(needed - have) : 0;
    for (size_t s = halvings_.size(); s-- > 0;) more = halvings_[s].InputFor(more);
    return more;
}

void RateConverter::Push(const float *stereo, size_t frames) { Feed(0, stereo, frames); }

void RateConverter::Feed(size_t stage, const float *stereo, size_t frames) {
    if (stage == halvings_.size()) {
        input_.insert(input_.end(), stereo, stereo + 2 * frames);
        return;
    }
    Halving &h = halvings_[stage];
    h.pending.insert(h.pending.end(), stereo, stereo + 2 * frames);
    size_t values = h.taps.size();
    size_t outputs = h.pending.size() >= values ? (h.pending.size() - values) / 4 + 1 : 0;
    h.made.resize(2 * outputs);
    for (size_t j = 0; j < outputs; ++j) Dot(h.taps.data(), h.pending.data() + 4 * j, values, h.made.data() + 2 * j);
    h.pending.erase(h.pending.begin(), h.pending.begin() + static_cast<std::ptrdiff_t>(4 * outputs));
    Feed(stage + 1, h.made.data(), outputs);
}

size_t RateConverter::Pull(float *stereo, size_t frames) {
    const uint64_t half = static_cast<uint64_t>(width_ / 2);
    const size_t values = 2 * static_cast<size_t>(width_);
    const uint64_t have = input_.size() / 2;
    size_t made = 0;
    for (; made < frames && index_ + half < have; ++made) {
        const float *taps;
        if (exactPhases_) {
            taps = table_.data() + remainder_ * values;
        } else {
            uint64_t scaled = remainder_ * phases_;
            const float *row = table_.data() + (scaled / denominator_) * values;
            float weight = static_cast<float>(static_cast<double>(scaled % denominator_) / denominator_);
            for (size_t j = 0; j < values; ++j) mixed_[j] = row[j] + weight * (row[j + values] - row[j]);
            taps = mixed_.data();
        }
        Dot(taps, input_.data() + 2 * (index_ + 1 - half), values, stereo + 2 * made);
        remainder_ += increment_;
        index_ += remainder_ / denominator_;
        remainder_ %= denominator_;
    }
    // What lies before the next output's first tap is done with; at a steep
    // ratio the next output may lie beyond all that was pushed.
    uint64_t drop = std::min<uint64_t>(index_ + 1 - half, have);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(2 * drop));
    index_ -= drop;
    return made;
}

}  // namespace synth
