#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "loader_test_support.h"
#include "module.h"
#include "s3m_writer.h"

namespace {

// S3M blocks start filled with 0xff: "nothing" in every field.
void expect_untouched(const module_cell& cell) {
    module_cell untouched;
    std::memset(&untouched, 0xff, sizeof untouched);
    EXPECT_EQ(std::memcmp(&cell, &untouched, sizeof cell), 0);
}

s3m_sample sample_of(std::vector<uint8_t> data, uint8_t flags = 0, uint32_t loop_start = 0, uint32_t loop_end = 0) {
    s3m_sample sample;
    sample.data = std::move(data);
    sample.flags = flags;
    sample.loop_start = loop_start;
    sample.loop_end = loop_end;
    return sample;
}

std::vector<uint8_t> bytes_counting(size_t count) {
    std::vector<uint8_t> values(count);
    std::iota(values.begin(), values.end(), uint8_t{0});
    return values;
}

TEST(S3mLoader, HeaderFieldsAndFlags) {
    s3m_song song;
    song.title = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01";  // all 28 bytes, no terminator
    song.tracker_version = 0x1320;                // stored 0x20, 0x13
    song.global_volume = 48;
    song.initial_speed = 3;
    song.initial_tempo = 150;
    song.orders = {0, 254, 0, 255};
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    EXPECT_EQ(context.format_id, module_format_s3m);
    EXPECT_EQ(std::memcmp(context.title, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01", 28), 0);
    EXPECT_EQ(context.tracker_version, 0x2013);
    EXPECT_EQ(context.global_volume, 48);
    EXPECT_EQ(context.initial_speed, 3);
    EXPECT_EQ(context.initial_tempo, 150);
    EXPECT_EQ(context.unsigned_samples, 1);
    ASSERT_EQ(context.order_count, 4u);
    EXPECT_EQ(context.orders[3], 255);  // markers are kept
    song.sample_format = 1;
    EXPECT_EQ(loaded_song(write_s3m(song)).context.unsigned_samples, 0);

    i32 module_context::*const fields[] = {
        &module_context::st2_tempo,    &module_context::amiga_slides, &module_context::zero_volume_optimise,
        &module_context::amiga_limits, &module_context::sfx_filter,   &module_context::fast_volume_slides};
    for (int bit = 1; bit <= 6; ++bit) {
        s3m_song flagged;
        flagged.flags = static_cast<uint8_t>((1 << bit) | 0x81);  // bits 0 and 7 mean nothing here
        loaded_song with_flag(write_s3m(flagged));
        for (int field = 1; field <= 6; ++field)
            EXPECT_EQ(with_flag.context.*fields[field - 1], field == bit ? 1 : 0) << bit << " " << field;
    }
}

TEST(S3mLoader, EnabledChannelsBecomeConsecutiveColumnsAndDisabledOnesAreSkippedByteExactly) {
    s3m_song song;
    song.channel_settings.fill(255);
    song.channel_settings[0] = 0;
    song.channel_settings[1] = 7;
    song.channel_settings[3] = 16;  // AdLib melody channel: not played
    song.channel_settings[8] = 8;
    song.channel_settings[9] = 15;
    // Entries of the disabled channel 3 must be stepped over exactly, whatever parts they carry:
    // one byte too few or too many moves the entry after them.
    const int disabled = 3;
    song.patterns[0].rows = {
        {{.channel = 8, .note = s3m_note(4, 0), .instrument = 1},
         {.channel = 9, .volume = 33},
         {.channel = 1, .note = s3m_note(5, 11), .instrument = 2}},
        {{.channel = disabled, .note = 0x40, .instrument = 1, .volume = 10, .command = 1, .param = 0},
         {.channel = 0, .note = 0x31, .instrument = 3}},
        {{.channel = disabled, .volume = 0}, {.channel = 1, .command = s3m_command('A'), .param = 9}},
        {{.channel = disabled, .command = s3m_command('B'), .param = 0}, {.channel = 8, .volume = 64}},
    };
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    ASSERT_EQ(context.channel_count, 5);
    const u8 pans[] = {86, 86, 167, 167};  // settings 0..7 left, 8..15 right
    for (int c = 0; c < 4; ++c) EXPECT_EQ(context.channels[c].default_pan, pans[c]) << c;
    for (int c = 0; c < module_max_channels; ++c) EXPECT_EQ(context.channels[c].enabled, c < 5 ? 1 : 0) << c;
    EXPECT_EQ(loaded.cell(0, 0, 2).note, 0x40);
    EXPECT_EQ(loaded.cell(0, 0, 3).volume, 33);
    EXPECT_EQ(loaded.cell(0, 0, 1).note, 0x5b);
    expect_untouched(loaded.cell(0, 0, 0));
    EXPECT_EQ(loaded.cell(0, 1, 0).instrument, 3u);
    EXPECT_EQ(loaded.cell(0, 2, 1).effects[0], fx_s3m_speed);
    EXPECT_EQ(loaded.cell(0, 3, 2).volume, 64);
    expect_untouched(loaded.global(0, 3));  // the disabled channel's jump is dropped with it

    song.channel_settings.fill(255);
    song.patterns[0].rows.clear();
    loaded_song no_channels(write_s3m(song));
    ASSERT_EQ(no_channels.result, 0);
    EXPECT_EQ(no_channels.context.channel_count, 1);
}

TEST(S3mLoader, SampleHeadersSlotsWithoutSampleAndLoops) {
    s3m_song song;
    song.sample_format = 1;
    s3m_sample looped = sample_of(bytes_counting(100), 1, 10, 90);
    looped.volume = 40;
    looped.c2spd = 22050;
    looped.name = "0123456789abcdefghijklmnopqr";  // 28 bytes
    s3m_sample adlib;
    adlib.type = 2;
    adlib.signature = "SCRI";
    s3m_sample empty;
    empty.type = 0;
    empty.signature = "";
    // Loop points count only with the flag; a loop past the end is cut, an empty one dropped,
    // one of exactly the data kept.
    song.samples = {looped,
                    sample_of(bytes_counting(20), 0, 3, 9),
                    sample_of(bytes_counting(50), 1, 20, 80),
                    sample_of(bytes_counting(50), 1, 30, 30),
                    sample_of(bytes_counting(50), 1, 0, 50),
                    adlib,
                    empty,
                    empty};
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    file[layout.sample_pointers + 14] = 0;  // a zero parapointer names no header at all
    file[layout.sample_pointers + 15] = 0;
    loaded_song loaded(file);
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    ASSERT_EQ(context.instrument_count, 8);
    const module_sample& first = context.samples[0];
    expect_sample(first, 100, 1, 10, 90);
    EXPECT_EQ(first.volume, 40);
    EXPECT_EQ(first.default_c_rate, 22050u);
    EXPECT_EQ(first.panning, 255);
    EXPECT_EQ(first.name[0], 0);                                // S3M names belong to the instrument
    EXPECT_EQ(loaded.frames<uint8_t>(0), bytes_counting(100));  // signed file: bytes as stored
    expect_unlooped(context.samples[1], 20);
    expect_sample(context.samples[2], 50, 1, 20, 50);
    expect_unlooped(context.samples[3], 50);
    expect_sample(context.samples[4], 50, 1, 0, 50);
    const module_instrument& instrument = context.instruments[0];
    EXPECT_EQ(std::memcmp(instrument.name, "0123456789abcdefghijklmnopqr", 28), 0);
    EXPECT_EQ(instrument.note_samples[255], &context.samples[0]);
    EXPECT_EQ(instrument.note_map[0x4b], 0x4b);
    for (int slot : {5, 6, 7}) {  // AdLib, empty, no header: shaped like any empty sample
        SCOPED_TRACE(slot);
        for (const module_sample* entry : context.instruments[slot].note_samples) EXPECT_EQ(entry, nullptr);
        EXPECT_EQ(context.instruments[slot].fadeout, 32767);
        expect_unlooped(loaded.sample(slot), 0);
    }
}

// Unsigned files store 8- and 16-bit data offset by half the range; the player gets signed
// frames either way. A stereo sample keeps its left channel in a block of room for both.
TEST(S3mLoader, SampleDataBecomesSignedLeftChannelFrames) {
    const std::vector<int8_t> pcm8 = {0, -128, 127, -1, 1};
    const std::vector<int16_t> pcm16 = {0, -32768, 32767, -1, 256};
    for (bool unsigned_storage : {false, true}) {
        s3m_song song;
        song.sample_format = unsigned_storage ? 2 : 1;
        std::vector<uint8_t> stereo8 = s3m_pcm8(pcm8, unsigned_storage);
        stereo8.insert(stereo8.end(), 5, 0x55);
        std::vector<uint8_t> stereo16 = s3m_pcm16(pcm16, unsigned_storage);
        stereo16.insert(stereo16.end(), 10, 0x99);
        song.samples = {sample_of(s3m_pcm8(pcm8, unsigned_storage)), sample_of(s3m_pcm16(pcm16, unsigned_storage), 4),
                        sample_of(stereo8, 2), sample_of(stereo16, 2 | 4)};
        loaded_song loaded(write_s3m(song));
        ASSERT_EQ(loaded.result, 0);
        SCOPED_TRACE(unsigned_storage ? "unsigned" : "signed");
        for (int stereo : {0, 2}) {
            EXPECT_EQ(loaded.frames<int8_t>(stereo), pcm8);
            EXPECT_EQ(loaded.frames<int16_t>(stereo + 1), pcm16);
            EXPECT_EQ(loaded.sample(stereo + 1).is_16bit, 1);
            EXPECT_EQ(loaded.sample(stereo).is_stereo, stereo ? 1 : 0);
        }
        const int8_t* block = static_cast<const int8_t*>(loaded.sample(2).data);
        for (size_t i = 5; i < 10; ++i) EXPECT_EQ(block[i], 0) << i;  // in bounds under ASan
    }
}

// Data that ends early or lies past the end: what is there is kept, `length` shrinks to it,
// and the loop is cut at the new end or dropped.
TEST(S3mLoader, SampleDataAndLoopsAreFittedToTheData) {
    const s3m_sample looped = sample_of(bytes_counting(100), 1, 10, 90);
    const s3m_sample words = sample_of(s3m_pcm16({1, 2, 3, 4}, false), 4);
    const s3m_sample stereo = sample_of(bytes_counting(200), 2);
    const struct {
        const s3m_sample& sample;  // the last in the file
        size_t bytes_present;
        u32 length;
        i32 looped;
        u32 loop_start, loop_end;
    } cuts[] = {
        {looped, 60, 60, 1, 10, 60},    // loop cut at the new end
        {looped, 11, 11, 1, 10, 11},    // one looped frame left
        {looped, 10, 10, 0, 9, 9},      // the loop would start at the end: dropped
        {words, 5, 2, 0, 1, 1},         // an odd byte count keeps the whole words
        {stereo, 150, 100, 0, 99, 99},  // cut inside the right channel: the left is whole
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(testing::Message() << int(cut.sample.flags) << ": " << cut.bytes_present);
        s3m_song song;
        song.sample_format = 1;
        song.samples = {cut.sample};
        s3m_layout layout;
        std::vector<uint8_t> file = write_s3m(song, &layout);
        file.resize(layout.sample_data[0] + cut.bytes_present);
        loaded_song loaded(file);
        ASSERT_EQ(loaded.result, 0);
        expect_sample(loaded.sample(0), cut.length, cut.looped, cut.loop_start, cut.loop_end);
    }
    // The segment's high byte moves the data far past the end: no data.
    s3m_song far;
    far.samples = {sample_of(bytes_counting(16), 1, 0, 16)};
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(far, &layout);
    file[layout.sample_headers[0] + 13] = 0xff;
    expect_unlooped(loaded_song(file).sample(0), 0);
    // Slots whose headers all point at one data area read no more than the file holds in all:
    // the second gets what is left, the third nothing.
    s3m_song song;
    song.samples.resize(3);
    song.samples[0] = sample_of(std::vector<uint8_t>(3000, 7));
    for (int slot : {1, 2}) song.samples[slot].length = 3000;  // no data of their own
    file = write_s3m(song, &layout);
    for (int slot : {1, 2})
        for (size_t segment = 13; segment < 16; ++segment)
            file[layout.sample_headers[slot] + segment] = file[layout.sample_headers[0] + segment];
    loaded_song loaded(file);
    ASSERT_EQ(loaded.result, 0);
    const size_t rest = file.size() - 3000;
    EXPECT_EQ(loaded.sample(0).length, 3000u);
    EXPECT_EQ(loaded.sample(1).length, rest);
    EXPECT_EQ(static_cast<const u8*>(loaded.sample(1).data)[rest - 1], 7 ^ 0x80);
    expect_unlooped(loaded.sample(2), 0);
}

// Orders and cells name patterns and instruments with bytes: larger counts are cut, and the
// tables behind them are still found. A zero pattern parapointer leaves the pattern empty.
TEST(S3mLoader, CountsAreCutToWhatBytesCanNameAndAZeroPointerIsAnEmptyPattern) {
    s3m_song song;
    song.orders.assign(300, 0);
    song.orders[255] = 7;
    song.patterns.resize(260);
    song.patterns[255].rows = {{{.channel = 0, .note = 0x22, .instrument = 1}}};
    song.patterns[0].rows = {{{.channel = 0, .volume = 12}}};
    song.samples.assign(258, sample_of({1}));
    song.samples[254] = sample_of({1, 2, 3, 4});
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    file[layout.pattern_pointers] = 0;
    file[layout.pattern_pointers + 1] = 0;
    loaded_song loaded(file);
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.context.order_count, 256u);
    EXPECT_EQ(loaded.context.orders[255], 7);
    ASSERT_EQ(loaded.context.pattern_count, 256);
    EXPECT_EQ(loaded.cell(255, 0, 0).note, 0x22);
    expect_untouched(loaded.cell(0, 0, 0));  // not the header read as pattern data
    ASSERT_EQ(loaded.context.instrument_count, 255);
    EXPECT_EQ(loaded.sample(254).length, 4u);

    s3m_song nothing;
    nothing.orders.clear();
    nothing.patterns.clear();
    loaded_song empty(write_s3m(nothing));
    ASSERT_EQ(empty.result, 0);
    EXPECT_EQ(empty.context.pattern_count, 0);
}

}  // namespace
