#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <deque>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "mixer_reference.h"
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

    // Runs a 16-bit stereo signed mix and returns the samples, left and right interleaved.
    std::vector<i16> mix(i32 frames) {
        std::vector<i16> output(static_cast<size_t>(frames) * 2, 0x5555);
        EXPECT_EQ(mix_run(context.get(), stereo_16bit_signed, output.data(), frames), frames);
        return output;
    }
};

std::vector<i32> ramp(i32 length, i32 scale) {
    std::vector<i32> values(static_cast<size_t>(length));
    for (i32 i = 0; i < length; ++i) values[static_cast<size_t>(i)] = i * scale;
    return values;
}

std::vector<i32> left_channel(const std::vector<i16>& output) {
    std::vector<i32> left;
    for (size_t i = 0; i < output.size(); i += 2) left.push_back(output[i]);
    return left;
}

// --- Gain and panning -------------------------------------------------------------

TEST(MixerGain, PanSplitsForBothSampleWidths) {
    struct pan_case {
        u8 pan;
        u8 pan_envelope;
        i32 left_share;  // of 64
        i32 right_share;
    };
    const pan_case cases[] = {{128, 32, 32, 32}, {0, 32, 64, 0},   {255, 32, 1, 63},
                              {128, 0, 64, 0},   {128, 64, 0, 64}, {64, 32, 48, 16}};
    for (bool is_16bit : {false, true}) {
        for (const pan_case& pan : cases) {
            mix_song song;
            // 16-bit 1024 and 8-bit 4 (= 1024 after scaling): G 64 at full volume.
            module_sample& sample =
                song.add_sample(is_16bit, std::vector<i32>(16, is_16bit ? 1024 : 4), 0, 16, true, false);
            module_channel& channel = song.play(0, sample);
            channel.pan = pan.pan;
            channel.pan_envelope_value = pan.pan_envelope;
            std::vector<i16> output = song.mix(8);
            for (i32 frame = 0; frame < 8; ++frame) {
                EXPECT_EQ(output[2 * frame], pan.left_share * 1024 / 256) << int(pan.pan) << " " << is_16bit;
                EXPECT_EQ(output[2 * frame + 1], pan.right_share * 1024 / 256) << int(pan.pan) << " " << is_16bit;
            }
        }
    }
}

TEST(MixerGain, VolumesMultiplyWithTruncationAtEachStage) {
    mix_song song;
    module_sample& sample = song.add_sample(true, std::vector<i32>(8, 2560), 0, 8, true, false);
    module_channel& channel = song.play(0, sample);
    channel.pan = 0;
    // fade 32767 / 512 = 63; V = 64 * 63 * 64 * 64 >> 18 = 63.
    channel.fade_volume = 32767;
    std::vector<i16> output = song.mix(1);
    EXPECT_EQ(output[0], 63 * 2560 / 256);
    // V = 64 * 64 * 32 * 48 >> 18 = 24; G = 40 * 50 * 24 / 4096 = 11 (11.7 truncated).
    channel.fade_volume = 32768;
    song.context->current_global_volume = 32;
    song.context->global_volume = 48;
    channel.volume = 50;
    channel.volume_envelope_value = 40;
    output = song.mix(1);
    EXPECT_EQ(output[0], 11 * 2560 / 256);
    // Centred, the halves truncate: (32 * 11) / 64 = 5 on each side.
    channel.pan = 128;
    output = song.mix(1);
    EXPECT_EQ(output[0], 5 * 2560 / 256);
    EXPECT_EQ(output[1], 5 * 2560 / 256);
    song.context->master_volume = 0;
    output = song.mix(1);
    EXPECT_EQ(output[0], 0);
}

TEST(MixerOutput, ClampsToSixteenBitsAfterSummingChannels) {
    mix_song song;
    module_sample& loud = song.add_sample(true, std::vector<i32>(8, 32767), 0, 8, true, false);
    module_sample& quiet = song.add_sample(true, std::vector<i32>(8, -32768), 0, 8, true, false);
    for (i32 index = 0; index < 5; ++index) song.play(index, loud).pan = 0;
    for (i32 index = 5; index < 10; ++index) song.play(index, quiet).pan = 255;
    std::vector<i16> output = song.mix(8);
    EXPECT_EQ(output[0], 32767);   // (5 * 64 * 32767 - 5 * 32768) >> 8 = 40318
    EXPECT_EQ(output[1], -32768);  // 5 * 63 * -32768 >> 8 = -40320
    // One hard-panned channel alone stays inside: 64 * 32767 >> 8 = 8191.
    song.context->channel_count = 2;
    output = song.mix(1);
    EXPECT_EQ(output[0], 8191);
    EXPECT_EQ(output[1], 0);
}

TEST(MixerOutput, OtherFormatsMonoEightBitAndUnsigned) {
    mix_song song;
    module_sample& sample = song.add_sample(true, std::vector<i32>(8, 1024), 0, 8, true, false);
    song.play(0, sample).pan = 0;
    // Mono takes the whole gain G: 64 * 1024 = 65536.
    std::vector<u8> bytes(16, 0xEE);
    const u32 mono_16bit_signed = output_flag_base | output_flag_16bit | output_flag_signed;
    ASSERT_EQ(mix_run(song.context.get(), mono_16bit_signed, bytes.data(), 2), 2);
    EXPECT_EQ((std::vector<u8>(bytes.begin(), bytes.begin() + 5)), (std::vector<u8>{0x00, 0x01, 0x00, 0x01, 0xEE}));
    // Unsigned 16-bit stereo: 65536 >> 8 = 256 on the left, 0 on the right, both + 0x8000.
    ASSERT_EQ(mix_run(song.context.get(), output_flag_base | output_flag_stereo | output_flag_16bit, bytes.data(), 1),
              1);
    EXPECT_EQ((std::vector<u8>(bytes.begin(), bytes.begin() + 4)), (std::vector<u8>{0x00, 0x81, 0x00, 0x80}));
    // 8-bit output takes the accumulator >> 16: 1 left, 0 right; unsigned adds 0x80.
    ASSERT_EQ(mix_run(song.context.get(), output_flag_base | output_flag_stereo | output_flag_signed, bytes.data(), 1),
              1);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0);
    ASSERT_EQ(mix_run(song.context.get(), output_flag_base, bytes.data(), 1), 1);
    EXPECT_EQ(bytes[0], 0x81);
    // 8-bit clamping: 64 * 32767 * 2 >> 16 = 63 fits; five channels clamp to 127.
    module_sample& loud = song.add_sample(true, std::vector<i32>(8, 32767), 0, 8, true, false);
    for (i32 index = 0; index < 5; ++index) song.play(index, loud).pan = 0;
    ASSERT_EQ(mix_run(song.context.get(), output_flag_base | output_flag_signed, bytes.data(), 1), 1);
    EXPECT_EQ(bytes[0], 127);
}

// --- Which channels sound -----------------------------------------------------------

TEST(MixerChannels, SkipsTheGlobalColumnAndChannelsWithoutAVoice) {
    mix_song song;
    song.context->channel_count = 5;  // columns 0 to 3 mixable, 4 global
    module_sample& sample = song.add_sample(true, std::vector<i32>(8, 256), 0, 8, true, false);
    module_sample empty{};
    song.play(0, sample).enabled = 0;
    song.play(1, sample).active = 0;
    song.play(2, sample).sample = &empty;  // the channel's own sample has no data
    song.play(3, sample).voice_sample = nullptr;
    song.play(4, sample);  // the global column
    std::vector<i16> output = song.mix(4);
    for (i16 value : output) EXPECT_EQ(value, 0);
    for (i32 index = 0; index < 5; ++index) EXPECT_EQ(song.context->channels[index].position, 0u) << index;
    // The same channel on column 3 sounds.
    song.play(3, sample).pan = 0;
    output = song.mix(1);
    EXPECT_EQ(output[0], 64);
}

TEST(MixerChannels, SilentChannelsStillAdvanceAndEnd) {
    mix_song song;
    module_sample& sample = song.add_sample(false, std::vector<i32>(10, 100), 0, 0, false, false);
    module_channel& channel = song.play(0, sample);
    channel.volume = 0;
    std::vector<i16> output = song.mix(4);
    for (i16 value : output) EXPECT_EQ(value, 0);
    EXPECT_EQ(channel.position, 4u * 1024);
    song.mix(20);
    EXPECT_EQ(channel.active, 0);
    EXPECT_EQ(channel.position, 9u * 1024);
}

TEST(MixerChannels, NoMixBufferGivesSilenceAndLeavesVoices) {
    mix_song song;
    module_sample& sample = song.add_sample(true, std::vector<i32>(8, 1024), 0, 8, true, false);
    module_channel& channel = song.play(0, sample);
    song.context->mix_buffer = nullptr;
    std::vector<i16> output = song.mix(16);
    for (i16 value : output) EXPECT_EQ(value, 0);
    EXPECT_EQ(channel.position, 0u);
    std::vector<u16> unsigned_output(4, 0);
    EXPECT_EQ(mix_run(song.context.get(), output_flag_base | output_flag_stereo | output_flag_16bit,
                      unsigned_output.data(), 2),
              2);
    for (u16 value : unsigned_output) EXPECT_EQ(value, 0x8000);
}

// --- Stepping and loops -------------------------------------------------------------

TEST(MixerStepping, NonLoopingSampleEndsAtLoopEndInsideABlock) {
    for (bool is_16bit : {false, true}) {
        mix_song song;
        // Ten frames; the loaders' loop end for a sample without loop is frame 9, which
        // therefore never sounds: it holds a marker value.
        std::vector<i32> values = ramp(10, 4);
        values[9] = 127;
        module_sample& sample = song.add_sample(is_16bit, values, 0, 0, false, false);
        module_channel& channel = song.play(0, sample);
        channel.pan = 0;
        std::vector<i32> left = left_channel(song.mix(16));
        i32 scale = is_16bit ? 1 : 256;
        for (i32 frame = 0; frame < 9; ++frame) EXPECT_EQ(left[frame], frame * 4 * scale / 4) << frame;
        for (i32 frame = 9; frame < 16; ++frame) EXPECT_EQ(left[frame], 0) << frame;
        EXPECT_EQ(channel.active, 0);
        EXPECT_EQ(channel.position, sample.loop_end * 1024);
    }
}

TEST(MixerStepping, ForwardLoopCarriesTheOvershoot) {
    mix_song song;
    module_sample& sample = song.add_sample(true, ramp(8, 4), 2, 6, true, false);
    module_channel& channel = song.play(0, sample);
    channel.pan = 0;
    channel.step = 1536;  // 1.5 frames
    // Positions 0, 1.5, 3, 4.5, then 6 >= 6 wraps to 2, 3.5, 5, 6.5 -> 2.5, 4, 5.5, 7 -> 3.
    std::vector<i32> left = left_channel(song.mix(11));
    EXPECT_EQ(left, (std::vector<i32>{0, 1, 3, 4, 2, 3, 5, 2, 4, 5, 3}));
    EXPECT_EQ(channel.position, 4u * 1024 + 512);
}

TEST(MixerStepping, PingPongTurnsRepeatOneFrameAndStayInTheLoop) {
    for (bool is_16bit : {false, true}) {
        mix_song song;
        module_sample& sample = song.add_sample(is_16bit, ramp(10, 4), 4, 8, true, true);
        module_channel& channel = song.play(0, sample);
        channel.pan = 0;
        // Forward to frame 7, whose step reaches the end: back to 7, then down until the
        // next position lies within one step of the loop start (5): back to 6.
        std::vector<i32> left = left_channel(song.mix(16));
        i32 scale = is_16bit ? 1 : 256;
        std::vector<i32> expected_frames{0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 6, 7, 7, 6, 6, 7};
        for (i32 frame = 0; frame < 16; ++frame)
            EXPECT_EQ(left[frame], expected_frames[frame] * scale) << frame << " " << is_16bit;
        EXPECT_EQ(channel.active, 1);
    }
}

TEST(MixerStepping, StepLongerThanAForwardLoopWrapsRepeatedly) {
    mix_song song;
    module_sample& sample = song.add_sample(true, ramp(8, 4), 4, 6, true, false);
    module_channel& channel = song.play(0, sample);
    channel.pan = 0;
    channel.position = 4 * 1024;
    channel.step = 3 * 1024;  // three frames over a two-frame loop: one frame on
    std::vector<i32> left = left_channel(song.mix(6));
    EXPECT_EQ(left, (std::vector<i32>{4, 5, 4, 5, 4, 5}));
    // A huge step still lands inside the loop.
    channel.step = 0xFFFFFC00u;
    song.mix(50);
    EXPECT_GE(channel.position, 4u * 1024);
    EXPECT_LT(channel.position, 6u * 1024);
}

TEST(MixerStepping, BackwardStepPastTheLoopStartTurns) {
    mix_song song;
    module_sample& sample = song.add_sample(true, ramp(32, 4), 10, 30, true, true);
    module_channel& channel = song.play(0, sample);
    channel.pan = 0;
    channel.position = 17 * 1024;
    channel.forward = 0;
    channel.step = 5 * 1024;  // 17 - 5 = 12 lies within one step of the loop start
    EXPECT_EQ(left_channel(song.mix(3)), (std::vector<i32>{17, 17, 22}));
    // A position near frame 0 turns instead of wrapping below it.
    channel.position = 1024;
    channel.forward = 0;
    EXPECT_EQ(left_channel(song.mix(3)), (std::vector<i32>{1, 1, 6}));
    EXPECT_EQ(channel.position, 11u * 1024);
}

// A ping-pong loop no longer than three steps cannot turn the voice in place (it would
// turn on one frame for ever): each step reflects off both ends as often as it must.
TEST(MixerStepping, PingPongLoopOfAtMostThreeStepsReflectsEachStep) {
    const struct {
        const char* what;
        u32 loop_start, loop_end;  // frames of a 16-frame sample
        u32 position, step;        // 22.10 fixed point
        std::vector<i32> frames;   // frames read from there, forwards
    } cases[] = {
        {"two frames at 1.5 frames a step, from the sample's start",
         10,
         12,
         0,
         1536,
         {0, 1, 3, 4, 6, 7, 9, 10, 11, 10, 11, 11, 10, 11, 10}},
        {"three frames at one frame a step: each end sounds twice",
         4,
         7,
         4 * 1024,
         1024,
         {4, 5, 6, 6, 5, 4, 4, 5, 6, 6, 5, 4}},
        {"two frames at almost 2^22 frames a step", 4, 6, 4 * 1024, 0xFFFFFC00u, {4, 4, 5, 5, 4, 4, 5, 5}},
    };
    for (const auto& c : cases) {
        mix_song song;
        module_sample& sample = song.add_sample(true, ramp(16, 4), c.loop_start, c.loop_end, true, true);
        module_channel& channel = song.play(0, sample);
        channel.pan = 0;
        channel.position = c.position;
        channel.step = c.step;
        EXPECT_EQ(left_channel(song.mix(static_cast<i32>(c.frames.size()))), c.frames) << c.what;
        EXPECT_EQ(channel.active, 1) << c.what;
    }
}

// The case above as heard: a two-frame loop of opposite values at C-7 must sound as a
// tone at the rate of its round trips (1553 / 4096 of the output rate), not as a
// constant level from a voice turning on one frame.
TEST(MixerStepping, ShortPingPongLoopSoundsAsAToneWithoutDc) {
    mix_song song;
    song.context->linear_frequencies = 1;
    std::vector<i32> values(16, 0);
    values[10] = 8000;
    values[11] = -8000;
    module_sample& sample = song.add_sample(true, values, 10, 12, true, true);
    module_channel& channel = song.play(0, sample);
    channel.pan = 0;
    note_to_period(song.context.get(), &channel, 0x70, 8363, 0);
    ASSERT_EQ(channel.step, 1553u);
    song.mix(64);  // past the frames before the loop
    const std::vector<i32> left = left_channel(song.mix(2048));
    const double n = static_cast<double>(left.size());
    double mean = 0;
    for (i32 value : left) mean += value / n;
    EXPECT_LT(std::abs(mean), 20) << "of a full level of 8000 * 64 / 256 = 2000";
    size_t peak_bin = 0;
    double peak = 0;
    for (size_t bin = 1; bin < left.size() / 2; ++bin) {
        std::complex<double> sum = 0;
        for (size_t i = 0; i < left.size(); ++i)
            sum += static_cast<double>(left[i]) * std::polar(1.0, -2 * std::numbers::pi * bin * i / n);
        if (std::abs(sum) > peak) peak = std::abs(sum), peak_bin = bin;
    }
    EXPECT_NEAR(peak_bin * rate / n, rate * 1553.0 / 4096, rate / n);
}

TEST(MixerStepping, PositionAtTheSampleLengthReadsTheLastFrame) {
    for (bool is_16bit : {false, true}) {
        mix_song song;
        module_sample& sample = song.add_sample(is_16bit, ramp(8, 8), 0, 0, false, false);
        module_channel& channel = song.play(0, sample);
        channel.pan = 0;
        channel.position = 8 * 1024;  // a sample offset as far as the length
        std::vector<i32> left = left_channel(song.mix(4));
        i32 scale = is_16bit ? 1 : 256;
        EXPECT_EQ(left, (std::vector<i32>{7 * 8 * scale / 4, 0, 0, 0}));
        EXPECT_EQ(channel.active, 0);
        EXPECT_EQ(channel.position, 7u * 1024);
    }
    // A looped sample wraps into its loop from there; a ping-pong one turns back.
    mix_song song;
    module_sample& looped = song.add_sample(true, ramp(8, 4), 2, 6, true, false);
    module_sample& ping_pong = song.add_sample(true, ramp(8, 4), 2, 6, true, true);
    song.context->channel_count = 2;
    module_channel& channel = song.play(0, looped);
    channel.pan = 0;
    channel.position = 8 * 1024;
    EXPECT_EQ(left_channel(song.mix(3)), (std::vector<i32>{7, 5, 2}));  // 9 -> 2 + (9 - 6) % 4
    song.play(0, ping_pong).pan = 0;
    channel.position = 8 * 1024;
    EXPECT_EQ(left_channel(song.mix(4)), (std::vector<i32>{7, 7, 7, 6}));
}

TEST(MixerStepping, LoopEndPastTheDataEndsAtTheData) {
    mix_song song;
    module_sample& sample = song.add_sample(true, ramp(6, 4), 2, 40, true, false);
    song.play(0, sample).pan = 0;
    EXPECT_EQ(left_channel(song.mix(9)), (std::vector<i32>{0, 1, 2, 3, 4, 5, 2, 3, 4}));
    // A loop that does not start before its end plays as no loop.
    module_sample& empty_loop = song.add_sample(true, ramp(6, 4), 3, 3, true, false);
    module_channel& channel = song.play(0, empty_loop);
    channel.pan = 0;
    EXPECT_EQ(left_channel(song.mix(5)), (std::vector<i32>{0, 1, 2, 0, 0}));
    EXPECT_EQ(channel.active, 0);
}

TEST(MixerStepping, LongRunsSplitAtTheMixBufferLength) {
    mix_song song;
    module_sample& sample = song.add_sample(true, ramp(4, 4), 0, 4, true, false);
    song.play(0, sample).pan = 0;
    i32 frames = mix_buffer_frames(rate) * 2 + 5;
    std::vector<i32> left = left_channel(song.mix(frames));
    for (i32 frame = 0; frame < frames; ++frame) ASSERT_EQ(left[frame], frame % 4) << frame;
}

// --- The span mixer against the per-frame reference ------------------------------------

struct random_voices {
    std::mt19937 generator;
    explicit random_voices(u32 seed) : generator(seed) {}

    u32 below(u32 bound) { return std::uniform_int_distribution<u32>(0, bound - 1)(generator); }
    bool chance(u32 percent) { return below(100) < percent; }
    template <typename T>
    T pick(std::initializer_list<T> choices) {
        return choices.begin()[below(static_cast<u32>(choices.size()))];
    }

    module_sample& sample(mix_song& song) {
        bool is_16bit = chance(50);
        u32 length = chance(30) ? 1 + below(4) : pick<u32>({7, 8, 9, 15, 16, 17, 100, 1000, 5000});
        std::vector<i32> values(length);
        for (i32& value : values)
            value = is_16bit ? static_cast<i32>(below(65536)) - 32768 : static_cast<i32>(below(256)) - 128;
        u32 kind = below(3);
        u32 loop_start = below(length);
        u32 loop_end = loop_start + 1 + below(length - loop_start);
        if (chance(10)) loop_end = loop_start + 1;     // a one-frame loop
        if (chance(5)) loop_end = length + below(50);  // damaged: past the data
        if (chance(3)) loop_end = loop_start;          // damaged: empty loop
        return song.add_sample(is_16bit, values, loop_start, loop_end, kind != 0, kind == 2);
    }

    void voice(mix_song& song, i32 index, module_sample& sample) {
        module_channel& channel = song.play(index, sample);
        channel.enabled = !chance(5);
        channel.active = !chance(5);
        channel.pan = static_cast<u8>(below(256));
        channel.pan_envelope_value = chance(60) ? 32 : static_cast<u8>(below(65));
        channel.volume = static_cast<u8>(below(65));
        channel.volume_envelope_value = chance(50) ? 64 : static_cast<u8>(below(65));
        channel.fade_volume = chance(70) ? 32768 : static_cast<u16>(below(32769));
        channel.forward = chance(70);
        u32 high_pitch = 1024 * (sample.loop_end > sample.loop_start ? sample.loop_end - sample.loop_start : 1);
        // Each kernel's range of steps and its edges: one, two and four frames.
        channel.step = pick<u32>({0, below(64), below(400), below(2048), below(8192),
                                  high_pitch + below(4 * high_pitch), 1024, 2048, 4096, 1023 + below(3),
                                  2047 + below(3), 4095 + below(3), 2049 + below(2047), below(100000)});
        u32 limit = sample.length * 1024;
        channel.position = chance(10) ? limit : chance(10) ? sample.loop_end * 1024 : below(limit + 1);
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
        song.context->channel_count = static_cast<i32>(random.chance(20) ? 2 + random.below(32) : 2 + random.below(6));
        song.context->master_volume = random.chance(70) ? 64 : static_cast<u8>(random.below(65));
        song.context->global_volume = random.chance(70) ? 64 : static_cast<u8>(random.below(65));
        song.context->current_global_volume = random.chance(70) ? 64 : static_cast<u8>(random.below(65));
        for (i32 index = 0; index < song.context->channel_count; ++index) {
            module_sample& sample = random.sample(song);
            random.voice(song, index, sample);
        }
        u32 flags = random.chance(75) ? stereo_16bit_signed
                                      : output_flag_base | random.below(2) * output_flag_stereo |
                                            random.below(2) * output_flag_16bit | random.below(2) * output_flag_signed;
        // Whole blocks of eight, remainders, single frames, full ticks and longer runs.
        i32 frames = static_cast<i32>(
            random.pick<u32>({1, 7, 8, 9, 63, 64, 65, 882, 3445, 1 + random.below(3445), 3445 + random.below(2000)}));
        // Several consecutive runs, so that the voices' state carries across them.
        for (u32 run = 0; run < 3; ++run) expect_same_as_reference(song, flags, frames, trial);
        if (HasFatalFailure()) return;
    }
}

TEST(MixerReference, EveryPanAndPanEnvelopeValue) {
    mix_song song;
    song.context->channel_count = 3;
    module_sample& bytes = song.add_sample(false, ramp(40, 3), 0, 0, false, false);
    module_sample& words = song.add_sample(true, ramp(40, -800), 5, 40, true, true);
    for (u32 pan = 0; pan < 256; ++pan) {
        for (u32 pan_envelope = 0; pan_envelope <= 64; ++pan_envelope) {
            for (i32 index = 0; index < 2; ++index) {
                module_channel& channel = song.play(index, index == 0 ? bytes : words);
                channel.pan = static_cast<u8>(pan);
                channel.pan_envelope_value = static_cast<u8>(pan_envelope);
                channel.volume = static_cast<u8>(pan_envelope);
                channel.step = 700 + 37 * static_cast<u32>(index);
            }
            expect_same_as_reference(song, stereo_16bit_signed, 21, pan * 100 + pan_envelope);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(MixerReference, DamagedVolumesWrapInsteadOfOverflowing) {
    // Volumes past 64 from a damaged file: the accumulators wrap in 32 bits, as the
    // reference's do; the sanitizers check that nothing overflows a signed value.
    random_voices random(7);
    for (u32 trial = 0; trial < 20; ++trial) {
        mix_song song;
        song.context->master_volume = 255;
        song.context->global_volume = 255;
        song.context->current_global_volume = 255;
        for (i32 index = 0; index < 32; ++index) {
            module_sample& sample = song.add_sample(
                random.chance(50), std::vector<i32>(64, random.chance(50) ? 127 : -128), 0, 64, true, false);
            module_channel& channel = song.play(index, sample);
            channel.volume = 255;
            channel.volume_envelope_value = 255;
            channel.pan_envelope_value = 255;
            channel.fade_volume = 65535;
        }
        expect_same_as_reference(song, stereo_16bit_signed, 64, trial);
    }
}

}  // namespace
