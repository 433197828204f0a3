#include "mixer_reference.h"

#include <cstdint>
#include <vector>

namespace {

using i64 = int64_t;
using u64 = uint64_t;

// Positions are 22.10 fixed point; frames past this one cannot be addressed.
constexpr u32 last_addressable_frame = 4194303;

bool sounds(const module_channel& channel) {
    return channel.enabled && channel.active && channel.sample && channel.sample->data && channel.voice_sample &&
           channel.voice_sample->data && channel.voice_sample->length > 0;
}

i64 sample_value(const module_sample& sample, u32 position) {
    u32 frame = position / 1024;
    if (frame >= sample.length) frame = sample.length - 1;  // a position past the data reads its last frame
    if (sample.is_16bit) return static_cast<const i16*>(sample.data)[frame];
    return static_cast<const i8*>(sample.data)[frame] * 256;
}

// Moves `step` in the current direction between mirrors just inside both loop ends
// (a frame at an end sounds twice across its turn), turning at each mirror it meets.
// Past a mirror the way repeats every round trip of twice the loop's length, so whole
// round trips beyond it are dropped first.
void reflect(u32& position, bool& forward, u32 step, i64 start, i64 end) {
    i64 round_trip = 2 * (end - start);
    i64 x = forward ? i64{position} + step : i64{position} - step;
    if (x >= end) x = end + (x - end) % round_trip;
    if (x < start) x = start - 1 - (start - 1 - x) % round_trip;
    while (x < start || x >= end) {
        if (x >= end) {
            x = 2 * end - 1 - x;
            forward = false;
        } else {
            x = 2 * start - 1 - x;
            forward = true;
        }
    }
    position = static_cast<u32>(x);
}

void mix_channel(const module_context& context, module_channel& channel, bool stereo, i32 frames,
                 std::vector<i64>& accumulators) {
    u32 master = (context.master_volume * (channel.fade_volume / 512u) * context.current_global_volume *
                  context.global_volume) >>
                 18;
    i64 gain = channel.volume_envelope_value * channel.volume * master / 4096;
    i64 pan = channel.pan / 4 + channel.pan_envelope_value - 64;
    if (pan < -32) pan = -32;
    if (pan > 32) pan = 32;
    pan += 32;
    i64 left_gain = (64 - pan) * gain / 64;
    i64 right_gain = pan * gain / 64;

    const module_sample& sample = *channel.voice_sample;
    u32 end_frame = sample.loop_end;
    if (end_frame > sample.length) end_frame = sample.length;
    if (end_frame > last_addressable_frame) end_frame = last_addressable_frame;
    u64 end = u64{end_frame} * 1024;
    bool looping = sample.looped && sample.loop_start < end_frame;
    u64 start = looping ? u64{sample.loop_start} * 1024 : 0;
    bool ping_pong = looping && sample.ping_pong;
    // A ping-pong loop of at most three steps reflects each step off its ends instead
    // of turning in place.
    bool reflecting = ping_pong && end - start <= 3 * u64{channel.step};
    bool forward = !ping_pong || channel.forward;

    u32 position = channel.position;
    for (i32 frame = 0; frame < frames; ++frame) {
        i64 value = sample_value(sample, position);
        if (stereo) {
            accumulators[2 * frame] += left_gain * value;
            accumulators[2 * frame + 1] += right_gain * value;
        } else {
            accumulators[frame] += gain * value;
        }
        if (forward) {
            u64 next = u64{position} + channel.step;
            if (next < end) {
                position = static_cast<u32>(next);
            } else if (!looping) {
                channel.active = 0;
                position = static_cast<u32>(end);
                break;
            } else if (reflecting) {
                reflect(position, forward, channel.step, start, end);
            } else if (ping_pong) {
                forward = false;  // back to the previous position
            } else {
                next += start - end;
                while (next >= end) next -= end - start;
                position = static_cast<u32>(next);
            }
        } else if (reflecting) {
            i64 next = i64{position} - channel.step;
            if (next >= static_cast<i64>(start))
                position = static_cast<u32>(next);
            else
                reflect(position, forward, channel.step, start, end);
        } else {
            i64 next = i64{position} - channel.step;
            if (next - static_cast<i64>(start) <= i64{channel.step})
                forward = true;  // back to the previous position
            else
                position = static_cast<u32>(next);
        }
    }
    channel.position = position;
    channel.forward = forward;
}

}  // namespace

i32 reference_mix_run(module_context* context, u32 flags, void* output, i32 frames) {
    if (frames <= 0) return 0;
    bool stereo = flags & output_flag_stereo;
    i32 channels = stereo ? 2 : 1;
    std::vector<i64> accumulators(static_cast<size_t>(frames) * channels, 0);
    i32 mixed = context->channel_count < module_max_channels ? context->channel_count : module_max_channels;
    for (i32 index = 0; index + 1 < mixed; ++index) {
        module_channel& channel = context->channels[index];
        if (sounds(channel)) mix_channel(*context, channel, stereo, frames, accumulators);
    }
    u8* bytes = static_cast<u8*>(output);
    for (size_t i = 0; i < accumulators.size(); ++i) {
        // 32-bit accumulators wrap around.
        i32 accumulator = static_cast<i32>(static_cast<u32>(accumulators[i]));
        if (flags & output_flag_16bit) {
            i32 sample = accumulator >> 8;
            if (sample > 32767) sample = 32767;
            if (sample < -32768) sample = -32768;
            u32 word = static_cast<u32>(sample) & 0xFFFF;
            if (!(flags & output_flag_signed)) word ^= 0x8000;
            bytes[2 * i] = static_cast<u8>(word & 0xFF);
            bytes[2 * i + 1] = static_cast<u8>(word >> 8);
        } else {
            i32 sample = accumulator >> 16;
            if (sample > 127) sample = 127;
            if (sample < -128) sample = -128;
            u32 byte = static_cast<u32>(sample) & 0xFF;
            if (!(flags & output_flag_signed)) byte ^= 0x80;
            bytes[i] = static_cast<u8>(byte);
        }
    }
    return frames;
}
