// Mixing runs: every sounding channel into the 32-bit scratch buffer with its gain and
// panning, then the scratch buffer into the caller's output format.
//
// Each voice is mixed in spans: the frames before its next loop boundary or end are
// counted once, and that span runs without any per-frame boundary test; only the frame
// whose step reaches the boundary goes through the full stepping rules.
#include <bit>
#include <cstring>

#include "player_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(AMBREL_X86_KERNELS)
#include "mixer_blocks.h"
#endif

namespace {

constexpr u32 fraction_bits = 10;
// Positions are 22.10 fixed point: frames beyond this one cannot be addressed.
constexpr u32 last_addressable_frame = 0xFFFFFFFFu >> fraction_bits;

// A ping-pong loop turns the voice in place at each end: the frame at the turn sounds
// twice. That needs room for a step in the new direction after the turn, which three
// steps between the loop points always leave; a shorter loop (a tiny loop played high)
// would hold the voice turning on one frame, so such a loop folds every step instead.
enum class loop_kind { none, forward, ping_pong, folded_ping_pong };

// A channel's voice as one run sees it, its loop bounds fitted to the sample data so
// that no read leaves it: a loop end past the data ends at the data, and a loop that
// does not start before its end plays as no loop.
struct voice_state {
    const void* data;
    u32 length;      // frames of data, 1 or more
    u32 loop_start;  // 22.10 fixed point, below loop_end when looping
    u32 loop_end;    // 22.10 fixed point, at most length frames
    loop_kind loop;
    u32 position;  // 22.10 fixed point
    u32 step;      // 22.10 fixed point per output frame
    bool forward;  // only a ping-pong voice ever runs backwards
    bool active;
};

voice_state voice_for(const module_channel& channel) {
    const module_sample& sample = *channel.voice_sample;
    voice_state voice{};
    voice.data = sample.data;
    voice.length = sample.length;
    u32 end_frame = sample.loop_end;
    if (end_frame > sample.length) end_frame = sample.length;
    if (end_frame > last_addressable_frame) end_frame = last_addressable_frame;
    voice.loop_end = end_frame << fraction_bits;
    voice.loop = loop_kind::none;
    if (sample.looped && sample.loop_start < end_frame) {
        voice.loop_start = sample.loop_start << fraction_bits;
        voice.loop = !sample.ping_pong                                          ? loop_kind::forward
                     : voice.loop_end - voice.loop_start <= 3ull * channel.step ? loop_kind::folded_ping_pong
                                                                                : loop_kind::ping_pong;
    }
    voice.position = channel.position;
    voice.step = channel.step;
    bool ping_pong = voice.loop == loop_kind::ping_pong || voice.loop == loop_kind::folded_ping_pong;
    voice.forward = !ping_pong || channel.forward;
    voice.active = true;
    return voice;
}

// Backwards, the lowest position a plain step may reach: a ping-pong voice that would come
// within one step of the loop start turns before it; a folded one may go down to the start.
uint64_t lowest_backward_position(const voice_state& voice) {
    if (voice.loop == loop_kind::folded_ping_pong) return voice.loop_start;
    return static_cast<uint64_t>(voice.loop_start) + voice.step + 1;
}

// Frames that can be read and stepped from the current position before a step reaches
// the loop boundary or the end; the frame after them needs the full stepping rules.
u32 frames_before_boundary(const voice_state& voice, u32 limit) {
    if (voice.forward) {
        if (voice.position >= voice.loop_end) return 0;
        if (voice.step == 0) return limit;
        u32 frames = (voice.loop_end - 1 - voice.position) / voice.step;
        return frames < limit ? frames : limit;
    }
    // Backwards the reads fall, so only the first one must lie inside the data.
    if ((voice.position >> fraction_bits) >= voice.length) return 0;
    uint64_t lowest = lowest_backward_position(voice);
    if (voice.position < lowest) return 0;
    if (voice.step == 0) return limit;
    uint64_t frames = (voice.position - lowest) / voice.step;
    return frames < limit ? static_cast<u32>(frames) : limit;
}

// A folded ping-pong loop as one forward loop twice as long whose second half plays
// mirrored: phase 0 .. 2L - 1 runs forwards from the loop start, then backwards from the
// loop's last position down to its start. A step is a move of the phase, so the voice
// reflects off both ends as often as the step requires and always lands in the loop.
void fold_step(voice_state& voice) {
    const int64_t start = voice.loop_start, length = static_cast<int64_t>(voice.loop_end) - start;
    const int64_t offset = static_cast<int64_t>(voice.position) - start;
    int64_t phase = (voice.forward ? offset : 2 * length - 1 - offset) + voice.step;
    phase %= 2 * length;
    if (phase < 0) phase += 2 * length;  // a backward voice below the loop start
    voice.forward = phase < length;
    voice.position = static_cast<u32>(start + (voice.forward ? phase : 2 * length - 1 - phase));
}

// One step with every boundary rule. The sum is taken in 64 bits so that a position
// near the top of the fixed-point range cannot wrap back to the sample's start; a step
// longer than a forward loop wraps as many times as it needs; a backward step that
// comes within one step of the loop start or passes it turns, even below frame 0; a
// folded ping-pong loop reflects the step off its ends as often as it needs.
// Returns false when the voice has ended.
bool step_across_boundary(voice_state& voice) {
    if (voice.forward) {
        uint64_t next = static_cast<uint64_t>(voice.position) + voice.step;
        if (next < voice.loop_end) {
            voice.position = static_cast<u32>(next);
            return true;
        }
        switch (voice.loop) {
            case loop_kind::none:
                voice.position = voice.loop_end;
                voice.active = false;
                return false;
            case loop_kind::ping_pong:
                voice.forward = false;  // the position stays: that frame sounds once more
                return true;
            case loop_kind::folded_ping_pong:
                fold_step(voice);
                return true;
            case loop_kind::forward:
                voice.position =
                    voice.loop_start + static_cast<u32>((next - voice.loop_end) % (voice.loop_end - voice.loop_start));
                return true;
        }
        return false;
    }
    int64_t next = static_cast<int64_t>(voice.position) - voice.step;
    if (next >= static_cast<int64_t>(lowest_backward_position(voice))) {
        voice.position = static_cast<u32>(next);
        return true;
    }
    if (voice.loop == loop_kind::folded_ping_pong)
        fold_step(voice);
    else
        voice.forward = true;
    return true;
}

// Sample value as stored, as a wrapping 32-bit quantity; the scalar paths give the
// gains of 8-bit data the factor 256 that scales such values to 16 bits.
template <typename Sample>
inline u32 raw_value(const Sample* data, u32 frame) {
    return static_cast<u32>(static_cast<i32>(data[frame]));
}

// Mixes `count` frames from `position` with no boundary test: the caller has checked
// that every read lies inside the data. The accumulators add with 32-bit wrap-around so
// that out-of-range volumes in a damaged file cannot overflow a signed value.
template <typename Sample, bool stereo, bool forward>
void mix_span(const Sample* data, u32 position, u32 step, u32 count, u32* accumulators, u32 left_gain, u32 right_gain) {
    for (u32 frame = 0; frame < count; ++frame) {
        u32 value = raw_value(data, position >> fraction_bits);
        if constexpr (stereo) {
            accumulators[2 * frame] += left_gain * value;
            accumulators[2 * frame + 1] += right_gain * value;
        } else {
            accumulators[frame] += left_gain * value;
        }
        if constexpr (forward)
            position += step;
        else
            position -= step;
    }
}

struct channel_gains {
    u32 left;   // 0..64 for volumes in range; mono: the whole gain
    u32 right;  // 0..64 for volumes in range; unused in mono
};

// 8-bit values count 256 times their stored value.
template <typename Sample>
constexpr u32 sample_scale = sizeof(Sample) == 1 ? 256 : 1;

// Mixes a span of frames known to stay inside the data and clear of boundaries: whole
// blocks of eight through the vector kernels when there are any, the rest frame by frame.
template <typename Sample, bool stereo, bool forward>
void mix_clear_span(const voice_state& voice, u32 span, u32* accumulators, channel_gains gains, mixer_kernels kernels) {
    const Sample* data = static_cast<const Sample*>(voice.data);
    u32 position = voice.position;
    u32 done = 0;
#if defined(AMBREL_X86_KERNELS)
    if (stereo && kernels != mixer_kernels::portable && span >= 8 && gains.left <= 32767 && gains.right <= 32767) {
        stereo_blocks blocks{data,         voice.length, position,    voice.step,          span / 8,
                             accumulators, gains.left,   gains.right, sizeof(Sample) == 2, forward};
        if (kernels == mixer_kernels::avx2)
            mix_stereo_blocks_avx2(blocks);
        else
            mix_stereo_blocks_ssse3(blocks);
        done = 8 * blocks.count;
        position = forward ? position + done * voice.step : position - done * voice.step;
    }
#else
    (void)kernels;
#endif
    mix_span<Sample, stereo, forward>(data, position, voice.step, span - done, accumulators + done * (stereo ? 2 : 1),
                                      gains.left * sample_scale<Sample>, gains.right * sample_scale<Sample>);
}

// Runs one voice through `frames` frames into the accumulators.
template <typename Sample, bool stereo>
void mix_voice(voice_state& voice, u32 frames, u32* accumulators, channel_gains gains, mixer_kernels kernels) {
    const Sample* data = static_cast<const Sample*>(voice.data);
    constexpr u32 values_per_frame = stereo ? 2 : 1;
    bool silent = gains.left == 0 && gains.right == 0;
    u32 frame = 0;
    while (frame < frames) {
        u32 span = frames_before_boundary(voice, frames - frame);
        if (span > 0) {
            if (!silent) {
                u32* target = accumulators + frame * values_per_frame;
                if (voice.forward)
                    mix_clear_span<Sample, stereo, true>(voice, span, target, gains, kernels);
                else
                    mix_clear_span<Sample, stereo, false>(voice, span, target, gains, kernels);
            }
            if (voice.forward)
                voice.position += span * voice.step;
            else
                voice.position -= span * voice.step;
            frame += span;
            if (frame == frames) break;
        }
        // The frame whose step meets a boundary, or a position outside the data (a
        // sample offset at the very end), which reads the last frame instead.
        if (!silent) {
            u32 read_frame = voice.position >> fraction_bits;
            if (read_frame >= voice.length) read_frame = voice.length - 1;
            mix_span<Sample, stereo, true>(data, read_frame << fraction_bits, 0, 1,
                                           accumulators + frame * values_per_frame, gains.left * sample_scale<Sample>,
                                           gains.right * sample_scale<Sample>);
        }
        ++frame;
        if (!step_across_boundary(voice)) break;
    }
}

// Master factor V: 0 to 64 for volumes in range.
u32 master_factor(const module_context& context, const module_channel& channel) {
    u32 product = static_cast<u32>(context.master_volume) * (channel.fade_volume / 512u) *
                  context.current_global_volume * context.global_volume;
    return product >> 18;
}

channel_gains gains_for(const module_channel& channel, u32 master, bool stereo) {
    u32 gain = static_cast<u32>(channel.volume_envelope_value) * channel.volume * master / 4096u;
    channel_gains gains{gain, 0};
    if (stereo) {
        i32 pan = channel.pan / 4 + channel.pan_envelope_value - 64;
        if (pan < -32) pan = -32;
        if (pan > 32) pan = 32;
        u32 right_share = static_cast<u32>(pan + 32);
        gains.left = (64 - right_share) * gain / 64;
        gains.right = right_share * gain / 64;
    }
    return gains;
}

bool is_audible(const module_channel& channel) {
    return channel.enabled && channel.active && channel.sample && channel.sample->data && channel.voice_sample &&
           channel.voice_sample->data && channel.voice_sample->length > 0;
}

void keep_voice(module_channel& channel, const voice_state& voice) {
    channel.position = voice.position;
    channel.forward = voice.forward ? 1 : 0;
    if (!voice.active) channel.active = 0;
}

// Columns that carry a voice: all but the last, the global one.
i32 voiced_channel_count(const module_context& context) {
    i32 columns = context.channel_count < module_max_channels ? context.channel_count : module_max_channels;
    return columns - 1;
}

void mix_channel(module_channel& channel, u32 master, bool stereo, u32 frames, u32* accumulators,
                 mixer_kernels kernels) {
    voice_state voice = voice_for(channel);
    channel_gains gains = gains_for(channel, master, stereo);
    if (!channel.voice_sample->is_16bit) {
        if (stereo)
            mix_voice<i8, true>(voice, frames, accumulators, gains, kernels);
        else
            mix_voice<i8, false>(voice, frames, accumulators, gains, kernels);
    } else {
        if (stereo)
            mix_voice<i16, true>(voice, frames, accumulators, gains, kernels);
        else
            mix_voice<i16, false>(voice, frames, accumulators, gains, kernels);
    }
    keep_voice(channel, voice);
}

inline i32 clamp_sample(i32 value, i32 low, i32 high) { return value < low ? low : value > high ? high : value; }

inline void store_16bit(u8* target, u16 value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(target, &value, 2);
    } else {
        target[0] = static_cast<u8>(value);
        target[1] = static_cast<u8>(value >> 8);
    }
}

// Scratch values to output samples: 16-bit takes the accumulator shifted right by 8,
// 8-bit by 16, both clamped; unsigned output moves zero to the middle of the range.
void convert(const i32* accumulators, u32 count, u32 flags, u8* output) {
    bool is_signed = flags & output_flag_signed;
    if (flags & output_flag_16bit) {
        u16 sign_flip = is_signed ? 0 : 0x8000;
        u32 i = 0;
#if defined(__SSE2__)
        if constexpr (std::endian::native == std::endian::little) {
            // A saturating pack is the clamp to 16 bits.
            const __m128i flip = _mm_set1_epi16(static_cast<i16>(sign_flip));
            for (; i + 8 <= count; i += 8) {
                __m128i low = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(accumulators + i)), 8);
                __m128i high =
                    _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(accumulators + i + 4)), 8);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 2 * i),
                                 _mm_xor_si128(_mm_packs_epi32(low, high), flip));
            }
        }
#endif
        for (; i < count; ++i) {
            i32 sample = clamp_sample(accumulators[i] >> 8, -32768, 32767);
            store_16bit(output + 2 * i, static_cast<u16>(sample) ^ sign_flip);
        }
    } else {
        u8 sign_flip = is_signed ? 0 : 0x80;
        for (u32 i = 0; i < count; ++i) {
            i32 sample = clamp_sample(accumulators[i] >> 16, -128, 127);
            output[i] = static_cast<u8>(sample) ^ sign_flip;
        }
    }
}

u32 output_channels(u32 flags) { return (flags & output_flag_stereo) ? 2 : 1; }
u32 output_sample_bytes(u32 flags) { return (flags & output_flag_16bit) ? 2 : 1; }

void mix_chunk(module_context& context, u32 flags, u8* output, u32 frames, mixer_kernels kernels) {
    bool stereo = flags & output_flag_stereo;
    u32 values = frames * output_channels(flags);
    std::memset(context.mix_buffer, 0, values * sizeof(i32));
    u32* accumulators = reinterpret_cast<u32*>(context.mix_buffer);
    for (i32 index = 0; index < voiced_channel_count(context); ++index) {
        module_channel& channel = context.channels[index];
        if (!is_audible(channel)) continue;
        mix_channel(channel, master_factor(context, channel), stereo, frames, accumulators, kernels);
    }
    convert(context.mix_buffer, values, flags, output);
}

void write_silence(u32 flags, u8* output, u32 frames) {
    u32 samples = frames * output_channels(flags);
    if (flags & output_flag_signed) {
        std::memset(output, 0, samples * output_sample_bytes(flags));
    } else if (flags & output_flag_16bit) {
        for (u32 i = 0; i < samples; ++i) store_16bit(output + 2 * i, 0x8000);
    } else {
        std::memset(output, 0x80, samples);
    }
}

}  // namespace

mixer_kernels best_mixer_kernels() {
#if defined(AMBREL_X86_KERNELS)
    if (__builtin_cpu_supports("avx2")) return mixer_kernels::avx2;
    if (__builtin_cpu_supports("ssse3")) return mixer_kernels::ssse3;
#endif
    return mixer_kernels::portable;
}

i32 mix_run(module_context* context, u32 flags, void* output, i32 frames) {
    return mix_run_with(context, flags, output, frames, best_mixer_kernels());
}

i32 mix_run_with(module_context* context, u32 flags, void* output, i32 frames, mixer_kernels kernels) {
    if (!context || !output || frames <= 0) return 0;
    u8* target = static_cast<u8*>(output);
    i32 capacity = mix_buffer_frames(context->output_rate);
    if (!context->mix_buffer || capacity <= 0) {
        // Without its scratch buffer (a failed allocation) the run still delivers silence.
        write_silence(flags, target, static_cast<u32>(frames));
        return frames;
    }
    u32 frame_bytes = output_channels(flags) * output_sample_bytes(flags);
    for (i32 done = 0; done < frames;) {
        i32 chunk = frames - done < capacity ? frames - done : capacity;
        mix_chunk(*context, flags, target + static_cast<u32>(done) * frame_bytes, static_cast<u32>(chunk), kernels);
        done += chunk;
    }
    return frames;
}

void step_voices(module_context* context, i32 frames) {
    // A run without its scratch buffer writes silence and leaves the voices where they are.
    if (!context || frames <= 0 || !context->mix_buffer || mix_buffer_frames(context->output_rate) <= 0) return;
    for (i32 index = 0; index < voiced_channel_count(*context); ++index) {
        module_channel& channel = context->channels[index];
        if (!is_audible(channel)) continue;
        // Without gain the voice loop reads nothing and only steps, by the rules every run uses.
        voice_state voice = voice_for(channel);
        mix_voice<i8, true>(voice, static_cast<u32>(frames), nullptr, channel_gains{0, 0}, mixer_kernels::portable);
        keep_voice(channel, voice);
    }
}
