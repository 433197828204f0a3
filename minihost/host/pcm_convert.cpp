#include "minihost/host/pcm_convert.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define AMBREL_SSE2_CONVERSION 1
#endif

#include "host/exceptions.h"
#include "host/playback.h"

namespace minihost {
namespace {

// Any size the service offers: the value in the top `valid_bits` of `bits`, little-endian.
void convert_wide(const float* samples, size_t count, unsigned valid_bits, unsigned bits, float scale, uint8_t* out) {
    const double full = std::ldexp(1.0, static_cast<int>(valid_bits) - 1);
    const double highest = full - 1, lowest = -full;
    const unsigned bytes = bits / 8, shift = bits - valid_bits;
    for (size_t i = 0; i < count; ++i) {
        double value = static_cast<double>(samples[i]) * scale * full;
        if (std::isnan(value)) value = 0;
        value = std::nearbyint(std::min(std::max(value, lowest), highest));
        const auto word = static_cast<uint32_t>(static_cast<int64_t>(value) * (int64_t{1} << shift));
        for (unsigned byte = 0; byte < bytes; ++byte) *out++ = static_cast<uint8_t>(word >> (8 * byte));
    }
}

class pcm_converter_impl : public pcm_converter {
public:
    void convert_to_int(const audio_chunk& chunk, mem_block_container& out, unsigned valid_bits, unsigned bits,
                        bool /*dither: none added*/, float scale) override {
        if ((bits != 16 && bits != 24 && bits != 32) || valid_bits < 8 || valid_bits > bits)
            throw zorb::exception_invalid_params();
        const size_t count = chunk.get_sample_count() * chunk.get_channels();
        if (count > std::numeric_limits<size_t>::max() / (bits / 8)) throw zorb::exception_invalid_params();
        out.set_size(count * (bits / 8));
        auto* bytes = static_cast<uint8_t*>(out.get_ptr());
        if (bits == 16 && valid_bits == 16 && scale == 1.0f) {
            // The common case goes the way play writes its files, so both give the same bytes.
            std::vector<int16_t> words(count);
            samples_to_int16(chunk.get_data(), count, words.data());
            for (size_t i = 0; i < count; ++i) {
                bytes[2 * i] = static_cast<uint8_t>(words[i]);
                bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(words[i]) >> 8);
            }
            return;
        }
        convert_wide(chunk.get_data(), count, valid_bits, bits, scale, bytes);
    }
};

}  // namespace

int16_t sample_to_int16(float sample) {
    const float scaled = sample * 32768.0f;
    // Out of range (and NaN) is settled before rounding; lrint rounds to nearest, ties to even, as
    // nearbyint does, but without the rounding-mode dance that makes nearbyint slow on 32-bit x86.
    if (!(scaled > -32768.5f)) return std::isnan(scaled) ? 0 : -32768;
    if (scaled >= 32767.5f) return 32767;
    return static_cast<int16_t>(std::lrint(scaled));
}

#ifdef AMBREL_SSE2_CONVERSION
// Eight samples a step: NaN made 0, clamped, rounded as the processor rounds (to nearest, ties to
// even, the state every thread starts in), packed to 16 bits. The 32-bit build may not assume SSE2
// elsewhere, so only this function is built for it.
__attribute__((target("sse2"))) void samples_to_int16(const float* samples, size_t count, int16_t* out) {
    const __m128 scale = _mm_set1_ps(32768.0f), lowest = _mm_set1_ps(-32768.0f), highest = _mm_set1_ps(32767.0f);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128 low = _mm_mul_ps(_mm_loadu_ps(samples + i), scale);
        __m128 high = _mm_mul_ps(_mm_loadu_ps(samples + i + 4), scale);
        low = _mm_max_ps(_mm_min_ps(_mm_and_ps(low, _mm_cmpord_ps(low, low)), highest), lowest);
        high = _mm_max_ps(_mm_min_ps(_mm_and_ps(high, _mm_cmpord_ps(high, high)), highest), lowest);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(_mm_cvtps_epi32(low), _mm_cvtps_epi32(high)));
    }
    for (; i < count; ++i) out[i] = sample_to_int16(samples[i]);
}
#else
void samples_to_int16(const float* samples, size_t count, int16_t* out) {
    for (size_t i = 0; i < count; ++i) out[i] = sample_to_int16(samples[i]);
}
#endif

service_ptr make_pcm_converter() { return service_ptr(new service_impl_t<pcm_converter_impl>()); }

}  // namespace minihost
