// The pitch arithmetic and the span mixer (against the per-frame reference) under the player.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <vector>

#include "player_internal.h"

namespace {

constexpr u32 stereo_16bit_signed = output_flag_base | output_flag_stereo | output_flag_16bit | output_flag_signed;
constexpr i32 rate = 44100;

// A context whose channel records the tests fill directly, with samples of exactly the
// size of their data so that the sanitizers catch any read past it.
struct mix_song {
    std::unique_ptr<module_context> context;
    std::vector<i32> mix_buffer;
    std::deque<module_sample> samples;
    std::deque<std::vector<i8>> data_8bit;
    std::deque<std::vector<i16>> data_16bit;

    mix_song() : context(std::make_unique<module_context>()) {
        std::memset(context.get(), 0, sizeof(module_context));
        context->channel_count = module_max_channels;
        context->master_volume = 64;
        context->global_volume = 64;
        context->current_global_volume = 64;
        context->output_rate = rate;
        mix_buffer.assign(static_cast<size_t>(mix_buffer_frames(rate)) * 2, 0);
        context->mix_buffer = mix_buffer.data();
    }

    // A sample holding `values` (16-bit, or 8-bit when they fit and `is_16bit` is false),
    // looping from loop_start to loop_end when `looped`.
    module_sample& add_sample(bool is_16bit, const std::vector<i32>& values, u32 loop_start, u32 loop_end, bool looped,
                              bool ping_pong) {
        module_sample& sample = samples.emplace_back();
        sample.length = static_cast<u32>(values.size());
        sample.is_16bit = is_16bit;
        if (is_16bit) {
            sample.data = data_16bit.emplace_back(values.begin(), values.end()).data();
        } else {
            sample.data = data_8bit.emplace_back(values.begin(), values.end()).data();
        }
        sample.looped = looped;
        sample.ping_pong = ping_pong;
        sample.loop_start = looped ? loop_start : sample.length - 1;
        sample.loop_end = looped ? loop_end : sample.length - 1;
        return sample;
    }

    // Channel `index` playing `sample` centred at full volume, one frame per output frame.
    module_channel& play(i32 index, module_sample& sample) {
        module_channel& channel = context->channels[index];
        channel.enabled = 1;
        channel.active = 1;
        channel.forward = 1;
        channel.sample = &sample;
        channel.voice_sample = &sample;
        channel.volume = 64;
        channel.volume_envelope_value = 64;
        channel.pan = 128;
        channel.pan_envelope_value = 32;
        channel.fade_volume = 32768;
        channel.position = 0;
        channel.step = 1024;
        return channel;
    }
};

// Without a mix buffer (a failed allocation) the output is silence and no voice moves; the
// player's render test covers signed output, this one the unsigned midpoint.
TEST(MixerOutput, NoMixBufferGivesSilenceAndLeavesVoices) {
    mix_song song;
    module_sample& sample = song.add_sample(true, std::vector<i32>(8, 1024), 0, 8, true, false);
    module_channel& channel = song.play(0, sample);
    song.context->mix_buffer = nullptr;
    std::vector<u16> output(4, 0);
    EXPECT_EQ(mix_run(song.context.get(), output_flag_base | output_flag_stereo | output_flag_16bit, output.data(), 2),
              2);
    for (u16 value : output) EXPECT_EQ(value, 0x8000);
    EXPECT_EQ(channel.position, 0u);
}

// --- The span mixer against the per-frame reference ------------------------------------

// A plain per-frame mixing run written straight from the mixing rules, kept beside the tests
// as the yardstick for the library's span mixer: same arguments, same result.

using i64 = int64_t;
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

struct random_voices {
    std::mt19937 generator;
    bool huge_step = false;  // a voice steps almost 2^22 frames: the reference walks every wrap
    u32 top_volume = 64;     // 255 in the trials of damaged files: accumulators wrap in 32 bits
    explicit random_voices(u32 seed) : generator(seed) {}

    u32 below(u32 bound) { return std::uniform_int_distribution<u32>(0, bound - 1)(generator); }
    bool chance(u32 percent) { return below(100) < percent; }
    template <typename T>
    T pick(std::initializer_list<T> choices) {
        return choices.begin()[below(static_cast<u32>(choices.size()))];
    }
    // A gain stage: mostly `usual`, else its edges or any value up to `top`.
    u32 level(u32 usual, u32 top) {
        return chance(50) ? usual : chance(30) ? pick<u32>({0, 1, top - 1, top}) : below(top + 1);
    }

    module_sample& sample(mix_song& song) {
        bool is_16bit = chance(50);
        u32 length = chance(30) ? 1 + below(4) : pick<u32>({7, 8, 9, 15, 16, 17, 100, 1000, 5000});
        std::vector<i32> values(length);
        const bool full_scale = chance(10);  // summed, these clamp the output
        for (i32& value : values) {
            value = is_16bit ? static_cast<i32>(below(65536)) - 32768 : static_cast<i32>(below(256)) - 128;
            if (full_scale) value = value < 0 ? (is_16bit ? -32768 : -128) : (is_16bit ? 32767 : 127);
        }
        u32 kind = below(3);
        u32 loop_start = below(length);
        u32 loop_end = loop_start + 1 + below(length - loop_start);
        if (chance(10)) loop_end = loop_start + 1;     // a one-frame loop
        if (chance(5)) loop_end = length + below(50);  // damaged: past the data
        if (chance(3)) loop_end = loop_start;          // damaged: empty loop
        return song.add_sample(is_16bit, values, loop_start, loop_end, kind != 0, kind == 2);
    }

    // Besides every kind of sounding voice: voices that do not sound (disabled, ended, without
    // a sample or data), silent ones that still move, positions at the loop's end and the
    // sample's length, backward ones near the loop start, steps across and far beyond a loop.
    void voice(mix_song& song, i32 index, module_sample& sample) {
        static module_sample no_data{};
        module_channel& channel = song.play(index, sample);
        channel.enabled = !chance(5);
        channel.active = !chance(5);
        if (chance(3)) channel.sample = &no_data;
        if (chance(3)) channel.voice_sample = nullptr;
        channel.pan = static_cast<u8>(level(128, 255));
        channel.pan_envelope_value = static_cast<u8>(level(32, top_volume));
        channel.volume = static_cast<u8>(level(64, top_volume));
        channel.volume_envelope_value = static_cast<u8>(level(64, top_volume));
        channel.fade_volume = static_cast<u16>(chance(10) ? 32767 : level(32768, top_volume == 64 ? 32768 : 65535));
        channel.forward = chance(70);
        u32 high_pitch = 1024 * (sample.loop_end > sample.loop_start ? sample.loop_end - sample.loop_start : 1);
        // Each kernel's range of steps and its edges: one, two and four frames.
        channel.step = pick<u32>({0, below(64), below(400), below(2048), below(8192),
                                  high_pitch + below(4 * high_pitch), 1024, 2048, 4096, 1023 + below(3),
                                  2047 + below(3), 4095 + below(3), 2049 + below(2047), below(100000), 0xFFFFFC00u});
        huge_step |= channel.step == 0xFFFFFC00u;
        u32 limit = sample.length * 1024;
        channel.position = chance(10) ? limit : chance(10) ? sample.loop_end * 1024 : below(limit + 1);
        if (!channel.forward && chance(20)) channel.position = sample.loop_start * 1024 + below(channel.step + 1);
    }
};

// Every kernel set this processor runs, the portable frame-by-frame one first.
std::vector<mixer_kernels> runnable_kernels() {
    std::vector<mixer_kernels> kernels;
    for (mixer_kernels choice : {mixer_kernels::portable, mixer_kernels::ssse3, mixer_kernels::avx2})
        if (static_cast<u32>(choice) <= static_cast<u32>(best_mixer_kernels())) kernels.push_back(choice);
    return kernels;
}

// Runs the reference and then each kernel set from the same state; all must agree on
// the output and the voices' state. The song continues from where they leave it.
void expect_same_as_reference(mix_song& song, u32 flags, i32 frames, u32 trial) {
    module_context reference = *song.context;
    std::vector<u8> expected(static_cast<size_t>(frames) * 4, 0xAA);
    ASSERT_EQ(reference_mix_run(&reference, flags, expected.data(), frames), frames);
    module_context start = *song.context;
    for (mixer_kernels kernels : runnable_kernels()) {
        *song.context = start;
        std::vector<u8> actual(static_cast<size_t>(frames) * 4, 0xAA);
        ASSERT_EQ(mix_run_with(song.context.get(), flags, actual.data(), frames, kernels), frames);
        u32 kernel_set = static_cast<u32>(kernels);
        ASSERT_EQ(actual, expected) << "trial " << trial << " flags " << flags << " frames " << frames << " kernels "
                                    << kernel_set;
        for (i32 index = 0; index < module_max_channels; ++index) {
            const module_channel& ours = song.context->channels[index];
            const module_channel& theirs = reference.channels[index];
            ASSERT_EQ(ours.position, theirs.position)
                << "trial " << trial << " channel " << index << " kernels " << kernel_set;
            ASSERT_EQ(ours.active, theirs.active) << "trial " << trial << " channel " << index;
            ASSERT_EQ(ours.forward != 0, theirs.forward != 0) << "trial " << trial << " channel " << index;
        }
    }
}

TEST(MixerReference, RandomVoicesMatchBitForBit) {
    random_voices random(20240611);
    for (u32 trial = 0; trial < 600; ++trial) {
        mix_song song;
        random.huge_step = false;
        random.top_volume = random.chance(5) ? 255 : 64;
        song.context->channel_count = static_cast<i32>(random.chance(20) ? 2 + random.below(32) : 2 + random.below(6));
        song.context->master_volume = static_cast<u8>(random.level(64, random.top_volume));
        song.context->global_volume = static_cast<u8>(random.level(64, random.top_volume));
        song.context->current_global_volume = static_cast<u8>(random.level(64, random.top_volume));
        for (i32 index = 0; index < song.context->channel_count; ++index) {
            module_sample& sample = random.sample(song);
            random.voice(song, index, sample);
        }
        u32 flags = random.chance(75) ? stereo_16bit_signed
                                      : output_flag_base | random.below(2) * output_flag_stereo |
                                            random.below(2) * output_flag_16bit | random.below(2) * output_flag_signed;
        // Whole blocks of eight, remainders, single frames, full ticks and runs longer than the
        // mix buffer.
        const u32 buffer = static_cast<u32>(mix_buffer_frames(rate));
        i32 frames = static_cast<i32>(random.pick<u32>({1, 7, 8, 9, 63, 64, 65, 882, buffer, 1 + random.below(buffer),
                                                        buffer + random.below(2000), 2 * buffer + 5}));
        if (random.huge_step) frames = std::min(frames, 9);
        // Several consecutive runs, so that the voices' state carries across them.
        for (u32 run = 0; run < 3; ++run) expect_same_as_reference(song, flags, frames, trial);
        if (HasFatalFailure()) return;
    }
}

// --- Periods and steps ------------------------------------------------------------------

std::unique_ptr<module_context> pitch_context(i32 linear, i32 output_rate) {
    auto context = std::make_unique<module_context>();
    std::memset(context.get(), 0, sizeof(module_context));
    context->linear_frequencies = linear;
    context->output_rate = output_rate;
    return context;
}

u8 packed(u32 octave, u32 semitone) { return static_cast<u8>(octave * 16 + semitone); }

// Amiga periods are the table entry over the rate (0 standing for 8363 Hz, finetune ignored);
// linear ones are 7680 - 64 per semitone - finetune / 2 (halved toward zero), the rate ignored,
// stopping at 0 above octave 10. Semitones 12 to 15 continue into the next octave.
TEST(Pitch, NotePeriods) {
    const struct {
        i32 linear;
        u8 note;
        u32 rate;
        i8 finetune;
        u32 period;
    } cases[] = {
        {0, packed(4, 0), 8363, 0, 1712},    {0, packed(4, 0), 0, 0, 1712},
        {0, packed(4, 0), 8363, -100, 1712}, {0, packed(4, 0), 10000, 0, 14317456u / 10000u},  // truncated
        {0, packed(0, 0), 1, 0, 229079296},  // rate 1: the table entry itself
        {0, packed(15, 11), 1, 0, 3703},     {1, packed(4, 0), 8363, 0, 4608},
        {1, packed(4, 0), 8363, -128, 4672}, {1, packed(4, 0), 8363, 127, 4608 - 63},
        {1, packed(4, 0), 8363, -1, 4608},   {1, packed(4, 1), 22000, 0, 4544},
        {1, packed(0, 0), 8363, 0, 7680},    {1, packed(9, 11), 8363, 0, 64},
        {1, packed(9, 11), 8363, -128, 128}, {1, packed(10, 0), 8363, 0, 0},
        {1, packed(15, 15), 8363, 127, 0},
    };
    for (const auto& c : cases) {
        auto context = pitch_context(c.linear, 44100);
        EXPECT_EQ(note_period(context.get(), c.note, c.rate, c.finetune), c.period)
            << c.linear << " note 0x" << std::hex << int(c.note) << std::dec << " rate " << c.rate << " finetune "
            << int(c.finetune);
    }
    // Semitones 12 to 15 are those of the next octave, past the 192-entry table too.
    auto amiga = pitch_context(0, 44100);
    auto linear = pitch_context(1, 44100);
    EXPECT_EQ(note_period(linear.get(), packed(3, 14), 8363, 0), note_period(linear.get(), packed(4, 2), 8363, 0));
    EXPECT_EQ(note_period(amiga.get(), packed(15, 12), 1, 0), note_period(amiga.get(), packed(15, 0), 1, 0) >> 1);
    EXPECT_EQ(note_period(amiga.get(), pack_note(16, 2), 1, 0), note_period(amiga.get(), packed(15, 2), 1, 0) >> 1);
}

// Amiga steps divide the 14317056 Hz clock in 64 bits; linear ones read a table of one octave
// (at an output rate of 4096 the step is the entry itself) shifted per octave, the shift
// wrapping at 32. No output rate or Amiga period 0 is silence.
TEST(Pitch, PeriodToStep) {
    const struct {
        i32 linear, output_rate;
        u32 period, step;
    } cases[] = {
        {0, 44100, 0, 0},
        {0, 44100, 200000, 1},  // 938282582016 / 8820000000 = 106, >> 6
        {0, 44100, 1, 21276249u >> 6},
        {0, 0, 1712, 0},
        {1, 0, 1712, 0},
        {1, 4096, 3 * 768 + 384, 94616u >> 3},
        {1, 4096, 33 * 768 + 384, 94616u >> 1},
        {1, 4096, 20 * 768, 0},
        {1, 44100, 0, 133808u * 4096u / 44100u},
    };
    for (const auto& c : cases) {
        auto context = pitch_context(c.linear, c.output_rate);
        EXPECT_EQ(period_to_step(context.get(), c.period), c.step)
            << c.linear << " " << c.output_rate << " " << c.period;
    }
    auto linear = pitch_context(1, 4096);
    for (u32 index = 0; index < 768; ++index) {
        long double exact = 133808.0L * std::exp2(-static_cast<long double>(index) / 768.0L);
        EXPECT_EQ(period_to_step(linear.get(), index), static_cast<u32>(std::floor(exact))) << index;
    }
}

// A channel's step follows its period plus the vibrato's offset.
TEST(Pitch, NoteToPeriodSetsPeriodAndStep) {
    auto context = pitch_context(0, 44100);
    module_channel channel{};
    channel.period_offset = -856;
    note_to_period(context.get(), &channel, packed(4, 0), 8363, 0);
    EXPECT_EQ(channel.period, 1712u);
    EXPECT_EQ(channel.step, 388u);
}

// Arpeggio steps can leave semitones past 11 and octaves past 15: they carry into the next
// octave, and whatever lies above octave 15 semitone 15 stays there instead of wrapping.
TEST(Pitch, PackNoteCarriesSemitonesAndStaysInsideTheByte) {
    const struct {
        u32 octave, semitone;
        u8 packed;
    } cases[] = {{4, 0, 0x40},
                 {15, 15, 0xFF},
                 {3, 14, 0x3E},
                 {3, 20, 0x48},
                 {16, 0, 0xFC},
                 {16, 4, 0xFF},
                 {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF}};
    for (const auto& c : cases) EXPECT_EQ(pack_note(c.octave, c.semitone), c.packed) << c.octave << " " << c.semitone;
}

}  // namespace
