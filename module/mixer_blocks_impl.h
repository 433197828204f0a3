// The mixer's block kernels, compiled once per instruction set by the file that
// includes this one (see mixer_blocks.h). Everything here has internal linkage so that
// no copy built for a wider instruction set can stand in for a narrower one.
#pragma once

#include <immintrin.h>

#include "mixer_blocks.h"

namespace {

constexpr u32 fraction_bits = mixer_fraction_bits;

// Both gains as 16-bit pairs for the multiply-adds, laid out so that a vector holding
// frames f and f + 1 (as one 32-bit lane repeated) gives left f, right f, left f + 1,
// right f + 1: each product is a value times a gain plus the other value times 0.
#if defined(__AVX2__)
typedef __m256i pair_gains;

inline pair_gains make_pair_gains(u32 left_gain, u32 right_gain) {
    i16 left = static_cast<i16>(left_gain), right = static_cast<i16>(right_gain);
    return _mm256_setr_epi16(left, 0, right, 0, 0, left, 0, right, left, 0, right, 0, 0, left, 0, right);
}

// Adds eight frames' 16-bit values (8-bit data in the high byte, which is the factor
// 256) times both gains to sixteen interleaved accumulators, wrapping in 32 bits as the
// scalar path does.
inline void add_eight_stereo_frames(__m128i values, pair_gains gains, u32* accumulators) {
    __m256i wide = _mm256_castsi128_si256(values);
    __m256i frames_0_to_3 = _mm256_permutevar8x32_epi32(wide, _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
    __m256i frames_4_to_7 = _mm256_permutevar8x32_epi32(wide, _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3));
    __m256i* target = reinterpret_cast<__m256i*>(accumulators);
    _mm256_storeu_si256(target, _mm256_add_epi32(_mm256_loadu_si256(target), _mm256_madd_epi16(frames_0_to_3, gains)));
    _mm256_storeu_si256(target + 1,
                        _mm256_add_epi32(_mm256_loadu_si256(target + 1), _mm256_madd_epi16(frames_4_to_7, gains)));
}
#else
typedef __m128i pair_gains;

inline pair_gains make_pair_gains(u32 left_gain, u32 right_gain) {
    i16 left = static_cast<i16>(left_gain), right = static_cast<i16>(right_gain);
    return _mm_setr_epi16(left, 0, right, 0, 0, left, 0, right);
}

inline void add_four_stereo_values(__m128i frame_pair, pair_gains gains, u32* accumulators) {
    __m128i* target = reinterpret_cast<__m128i*>(accumulators);
    _mm_storeu_si128(target, _mm_add_epi32(_mm_loadu_si128(target), _mm_madd_epi16(frame_pair, gains)));
}

inline void add_eight_stereo_frames(__m128i values, pair_gains gains, u32* accumulators) {
    add_four_stereo_values(_mm_shuffle_epi32(values, 0x00), gains, accumulators);
    add_four_stereo_values(_mm_shuffle_epi32(values, 0x55), gains, accumulators + 4);
    add_four_stereo_values(_mm_shuffle_epi32(values, 0xAA), gains, accumulators + 8);
    add_four_stereo_values(_mm_shuffle_epi32(values, 0xFF), gains, accumulators + 12);
}
#endif

// Eight frames at a time for short steps: their reads then fall within a window of
// `window_frames` consecutive frames of data (8 for steps up to one frame, 16 up to
// two, 32 up to four for 8-bit data), which one or two loads bring in and byte shuffles
// spread over the eight lanes. Near the end of the data the window moves back to end
// with it, so only a sample shorter than the window stops the blocks. Returns the
// blocks mixed.
template <typename Sample, bool forward, u32 window_frames>
u32 mix_blocks_shuffled(const Sample* data, u32 length, u32 position, u32 step, u32 count, u32* accumulators,
                        pair_gains gains) {
    if (length < window_frames) return 0;
    // Offsets of the reads from the window's first frame are (position within the
    // window + lane distance) >> 10, at most (32 * 1024 - 1) + 7 * 4096 before the
    // shift: unsigned 16-bit lanes suffice.
    i16 lane_distance[8];
    for (u32 lane = 0; lane < 8; ++lane) lane_distance[lane] = static_cast<i16>((forward ? lane : 7 - lane) * step);
    const __m128i distances = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane_distance));
    const u32 last_window_start = length - window_frames;
    for (u32 block = 0; block < count; ++block) {
        u32 lowest_position = forward ? position : position - 7 * step;
        u32 window_start = lowest_position >> fraction_bits;
        if (window_start > last_window_start) window_start = last_window_start;
        __m128i within = _mm_set1_epi16(static_cast<i16>(lowest_position - (window_start << fraction_bits)));
        __m128i offsets = _mm_srli_epi16(_mm_add_epi16(within, distances), fraction_bits);
        const __m128i* window = reinterpret_cast<const __m128i*>(data + window_start);
        __m128i values;
        if constexpr (sizeof(Sample) == 2) {
            static_assert(window_frames <= 16, "two loads hold 16 frames of 16-bit data");
            __m128i control = _mm_add_epi16(_mm_mullo_epi16(offsets, _mm_set1_epi16(0x0202)), _mm_set1_epi16(0x0100));
            if constexpr (window_frames == 8) {
                values = _mm_shuffle_epi8(_mm_loadu_si128(window), control);
            } else {
                // Bytes 16 to 31 come from the second half; a set top bit makes a shuffle give 0.
                __m128i low_control = _mm_or_si128(control, _mm_cmpgt_epi8(control, _mm_set1_epi8(15)));
                __m128i high_control = _mm_sub_epi8(control, _mm_set1_epi8(16));
                values = _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(window), low_control),
                                      _mm_shuffle_epi8(_mm_loadu_si128(window + 1), high_control));
            }
        } else if constexpr (window_frames <= 16) {
            __m128i control = _mm_or_si128(_mm_slli_epi16(offsets, 8), _mm_set1_epi16(0x0080));
            values = _mm_shuffle_epi8(window_frames == 8 ? _mm_loadl_epi64(window) : _mm_loadu_si128(window), control);
        } else {
            // The bytes are picked from both halves first, then moved to the high bytes.
            __m128i control = _mm_packus_epi16(offsets, offsets);
            __m128i low_control = _mm_or_si128(control, _mm_cmpgt_epi8(control, _mm_set1_epi8(15)));
            __m128i high_control = _mm_sub_epi8(control, _mm_set1_epi8(16));
            __m128i bytes = _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(window), low_control),
                                         _mm_shuffle_epi8(_mm_loadu_si128(window + 1), high_control));
            values = _mm_unpacklo_epi8(_mm_setzero_si128(), bytes);
        }
        add_eight_stereo_frames(values, gains, accumulators);
        accumulators += 16;
        position = forward ? position + 8 * step : position - 8 * step;
    }
    return count;
}

// A sample value as a 16-bit lane: 8-bit data in the high byte.
template <typename Sample>
inline i16 lane_value(const Sample* data, u32 position) {
    if constexpr (sizeof(Sample) == 2)
        return data[position >> fraction_bits];
    else
        return static_cast<i16>(static_cast<u16>(static_cast<u8>(data[position >> fraction_bits])) << 8);
}

// Eight frames at a time for any step: each read is its own load.
template <typename Sample>
void mix_blocks_gathered(const Sample* data, u32 position, u32 signed_step, u32 count, u32* accumulators,
                         pair_gains gains) {
    for (u32 block = 0; block < count; ++block) {
        __m128i values =
            _mm_setr_epi16(lane_value(data, position), lane_value(data, position + signed_step),
                           lane_value(data, position + 2 * signed_step), lane_value(data, position + 3 * signed_step),
                           lane_value(data, position + 4 * signed_step), lane_value(data, position + 5 * signed_step),
                           lane_value(data, position + 6 * signed_step), lane_value(data, position + 7 * signed_step));
        add_eight_stereo_frames(values, gains, accumulators);
        accumulators += 16;
        position += 8 * signed_step;
    }
}

template <typename Sample, bool forward>
void mix_stereo_blocks_of(const stereo_blocks& blocks) {
    const Sample* data = static_cast<const Sample*>(blocks.data);
    pair_gains gains = make_pair_gains(blocks.left_gain, blocks.right_gain);
    constexpr u32 frame_step = 1u << fraction_bits;
    // Two loads reach 32 frames of 8-bit data but only 16 of 16-bit data.
    constexpr u32 widest_window = sizeof(Sample) == 1 ? 32 : 16;
    u32 shuffled = 0;
    if (blocks.step <= frame_step)
        shuffled = mix_blocks_shuffled<Sample, forward, 8>(data, blocks.length, blocks.position, blocks.step,
                                                           blocks.count, blocks.accumulators, gains);
    else if (blocks.step <= 2 * frame_step)
        shuffled = mix_blocks_shuffled<Sample, forward, 16>(data, blocks.length, blocks.position, blocks.step,
                                                            blocks.count, blocks.accumulators, gains);
    else if (blocks.step <= widest_window / 8 * frame_step)
        shuffled = mix_blocks_shuffled<Sample, forward, widest_window>(
            data, blocks.length, blocks.position, blocks.step, blocks.count, blocks.accumulators, gains);
    // Backwards the position falls: the step as a wrapping negative amount.
    u32 signed_step = forward ? blocks.step : 0u - blocks.step;
    u32 shuffled_frames = 8 * shuffled;
    mix_blocks_gathered<Sample>(data, blocks.position + shuffled_frames * signed_step, signed_step,
                                blocks.count - shuffled, blocks.accumulators + 2 * shuffled_frames, gains);
}

inline void mix_stereo_blocks(const stereo_blocks& blocks) {
    if (blocks.is_16bit) {
        if (blocks.forward)
            mix_stereo_blocks_of<i16, true>(blocks);
        else
            mix_stereo_blocks_of<i16, false>(blocks);
    } else {
        if (blocks.forward)
            mix_stereo_blocks_of<i8, true>(blocks);
        else
            mix_stereo_blocks_of<i8, false>(blocks);
    }
#if defined(__AVX__)
    // The caller is built for SSE: upper halves left dirty would slow every SSE
    // instruction after the return, and helpers taking 256-bit arguments do not clear them.
    _mm256_zeroupper();
#endif
}

}  // namespace
