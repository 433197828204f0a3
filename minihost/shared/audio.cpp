// The shared library's audio arithmetic.
#include "host/shared.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define AMBREL_SSE2_CONVERSION 1
#endif

namespace audio_math {

namespace {

// 1/32768 is a power of two: at scale 1 every sample converts exactly and converts back exactly.
void convert_each(const int16_t* source, size_t count, float* target, float factor) {
    for (size_t i = 0; i < count; ++i) target[i] = static_cast<float>(source[i]) * factor;
}

}  // namespace

#ifdef AMBREL_SSE2_CONVERSION
// Eight samples a step, widened to 32 bits and converted exactly; each product is rounded once to
// float as the scalar form rounds it, so both give the same bits. The 32-bit build may not assume
// SSE2 elsewhere, so only this function is built for it.
__attribute__((target("sse2"))) void convert_from_int16(const int16_t* source, size_t count, float* target,
                                                        float scale) {
    const float factor = scale / 32768.0f;
    const __m128 factors = _mm_set1_ps(factor);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(values, values), 16);
        _mm_storeu_ps(target + i, _mm_mul_ps(_mm_cvtepi32_ps(low), factors));
        _mm_storeu_ps(target + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(high), factors));
    }
    convert_each(source + i, count - i, target + i, factor);
}
#else
void convert_from_int16(const int16_t* source, size_t count, float* target, float scale) {
    convert_each(source, count, target, scale / 32768.0f);
}
#endif

void scale(const audio_sample* source, size_t count, audio_sample* destination, audio_sample factor) {
    for (size_t i = 0; i < count; ++i) destination[i] = source[i] * factor;
}

audio_sample calculate_peak(const audio_sample* samples, size_t count) {
    audio_sample peak = 0;
    for (size_t i = 0; i < count; ++i) {
        const audio_sample magnitude = samples[i] < 0 ? -samples[i] : samples[i];
        if (magnitude > peak) peak = magnitude;  // false for NaN
    }
    return peak;
}

}  // namespace audio_math
