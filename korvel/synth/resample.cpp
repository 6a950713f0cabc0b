#include "korvel/synth/resample.h"

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
