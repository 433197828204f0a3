#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "loader_test_support.h"
#include "module.h"
#include "s3m_writer.h"

namespace {

// S3M blocks start filled with 0xff: "nothing" in every field.
void expect_untouched(const module_cell& cell) {
    EXPECT_EQ(cell.instrument, 0xffffffffu);
    EXPECT_EQ(cell.note, 255);
    EXPECT_EQ(cell.volume, 255);
    EXPECT_EQ(cell.effects[0], 65535);
    EXPECT_EQ(cell.effects[1], 65535);
}

s3m_sample sample_of(std::vector<uint8_t> data, uint8_t flags = 0, uint32_t loop_start = 0, uint32_t loop_end = 0) {
    s3m_sample sample;
    sample.data = std::move(data);
    sample.flags = flags;
    sample.loop_start = loop_start;
    sample.loop_end = loop_end;
    return sample;
}

std::vector<uint8_t> bytes_counting(size_t count, uint8_t first = 0) {
    std::vector<uint8_t> values(count);
    for (size_t i = 0; i < count; ++i) values[i] = static_cast<uint8_t>(first + i);
    return values;
}

TEST(S3mLoader, ProbeAndRefusals) {
    std::vector<uint8_t> file = write_s3m(s3m_song{});
    EXPECT_EQ(s3m_probe(file.data(), 48), 1u);  // "SCRM" at 44 in at least 48 bytes
    EXPECT_EQ(s3m_probe(file.data(), 47), 0u);
    EXPECT_EQ(s3m_probe(nullptr, 100), 0u);
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(s3m_load(nullptr, 100, &context), -1);
    EXPECT_EQ(s3m_load(file.data(), static_cast<i32>(file.size()), nullptr), -1);
    EXPECT_EQ(s3m_load(file.data(), 47, &context), -1);
    file[47] = 'N';
    EXPECT_EQ(s3m_probe(file.data(), static_cast<i32>(file.size())), 0u);

    // The S3M entry accepts the signature and then refuses the type byte: the load
    // fails as a whole even with the file large enough for a MOD.
    s3m_song song;
    song.type = 17;
    file = write_s3m(song);
    file.resize(2000, 0);
    ASSERT_EQ(s3m_probe(file.data(), static_cast<i32>(file.size())), 1u);
    expect_refused(file);
}

TEST(S3mLoader, ReadsHeaderFieldsAndFlags) {
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
    EXPECT_EQ(context.orders[1], 254);  // markers are kept
    EXPECT_EQ(context.orders[3], 255);
    EXPECT_EQ(context.orders[4], 0);
    for (uint16_t signed_format : {0, 1, 3}) {
        song.sample_format = signed_format;
        loaded_song signed_song(write_s3m(song));
        EXPECT_EQ(signed_song.context.unsigned_samples, 0) << signed_format;
    }

    const struct {
        int bit;
        i32 module_context::*field;
    } fields[] = {
        {1, &module_context::st2_tempo},
        {2, &module_context::amiga_slides},
        {3, &module_context::zero_volume_optimise},
        {4, &module_context::amiga_limits},
        {5, &module_context::sfx_filter},
        {6, &module_context::fast_volume_slides},
    };
    for (const auto& tested : fields) {
        s3m_song flagged;
        flagged.flags = static_cast<uint8_t>((1 << tested.bit) | 0x81);  // bits 0 and 7 mean nothing here
        loaded_song with_flag(write_s3m(flagged));
        for (const auto& field : fields)
            EXPECT_EQ(with_flag.context.*field.field, field.bit == tested.bit ? 1 : 0)
                << tested.bit << " " << field.bit;
    }
}

TEST(S3mLoader, MapsEnabledChannelsToConsecutiveColumns) {
    s3m_song song;
    song.channel_settings.fill(255);
    song.channel_settings[0] = 0;
    song.channel_settings[1] = 7;
    song.channel_settings[3] = 16;  // AdLib melody channel: not played
    song.channel_settings[8] = 8;
    song.channel_settings[9] = 15;
    song.patterns[0].rows = {{{.channel = 8, .note = s3m_note(4, 0), .instrument = 1},
                              {.channel = 9, .volume = 33},
                              {.channel = 1, .note = s3m_note(5, 11), .instrument = 2}}};
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    ASSERT_EQ(context.channel_count, 5);
    const u8 pans[] = {86, 86, 167, 167};  // settings 0..7 left, 8..15 right
    for (int c = 0; c < 4; ++c) EXPECT_EQ(context.channels[c].default_pan, pans[c]) << c;
    for (int c = 0; c < module_max_channels; ++c) EXPECT_EQ(context.channels[c].enabled, c < 5 ? 1 : 0) << c;
    EXPECT_EQ(loaded.cell(0, 0, 2).note, 0x40);
    EXPECT_EQ(loaded.cell(0, 0, 2).instrument, 1u);
    EXPECT_EQ(loaded.cell(0, 0, 3).volume, 33);
    EXPECT_EQ(loaded.cell(0, 0, 1).note, 0x5b);
    expect_untouched(loaded.cell(0, 0, 0));

    s3m_song silent;
    silent.channel_settings.fill(255);
    loaded_song no_channels(write_s3m(silent));
    ASSERT_EQ(no_channels.result, 0);
    EXPECT_EQ(no_channels.context.channel_count, 1);
    EXPECT_EQ(no_channels.context.channels[0].enabled, 1);
}

TEST(S3mLoader, SkipsDisabledChannelsByteExactly) {
    // Channel 4 is disabled by the default settings; its entries must be stepped
    // over exactly, whatever mix of parts they carry. Each ends in a zero byte,
    // so reading one byte too few ends the row early and one too many eats the
    // next entry's header: both move the following entry.
    const int disabled = 4;
    s3m_song song;
    song.patterns[0].rows = {
        {{.channel = disabled, .note = 0x40, .instrument = 1, .volume = 10, .command = 1, .param = 0},
         {.channel = 0, .note = 0x31, .instrument = 3}},
        {{.channel = disabled, .note = 0x40, .instrument = 0}, {.channel = 1, .volume = 7}},
        {{.channel = disabled, .volume = 0}, {.channel = 2, .command = s3m_command('A'), .param = 9}},
        {{.channel = disabled, .command = s3m_command('B'), .param = 0}, {.channel = 3, .volume = 64}},
    };
    song.patterns[0].rows.resize(64);
    song.patterns[0].rows[63] = {{.channel = disabled, .note = 1, .instrument = 1, .volume = 0},
                                 {.channel = 0, .volume = 5}};
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.cell(0, 0, 0).note, 0x31);
    EXPECT_EQ(loaded.cell(0, 0, 0).instrument, 3u);
    EXPECT_EQ(loaded.cell(0, 1, 1).volume, 7);
    EXPECT_EQ(loaded.cell(0, 2, 2).effects[0], fx_s3m_speed);
    EXPECT_EQ(loaded.cell(0, 2, 2).params[0], 9);
    EXPECT_EQ(loaded.cell(0, 3, 3).volume, 64);
    expect_untouched(loaded.global(0, 3));  // the disabled channel's jump is dropped with it
    EXPECT_EQ(loaded.cell(0, 63, 0).volume, 5);
}

TEST(S3mLoader, TranslatesEveryCommand) {
    auto letter = s3m_command;
    // Row commands leave the channel's slot at code 0, parameter 0; Cxx is not
    // converted from decimal; letters without translation keep their parameter.
    const std::vector<effect_translation> table = {
        {0, 0x12, fx_none, 0x12},
        {letter('A'), 0x05, fx_s3m_speed, 0x05},
        {letter('B'), 0x03, fx_none, 0, fx_position_jump, 0x03},
        {letter('C'), 0x10, fx_none, 0, fx_pattern_break, 0x10},
        {letter('D'), 0x0f, fx_s3m_volume_slide, 0x0f},
        {letter('E'), 0xf2, fx_s3m_porta_down, 0xf2},
        {letter('F'), 0xe3, fx_s3m_porta_up, 0xe3},
        {letter('G'), 0x20, fx_tone_porta, 0x20},
        {letter('H'), 0x46, fx_vibrato, 0x46},
        {letter('I'), 0x11, fx_none, 0x11},
        {letter('J'), 0x37, fx_arpeggio, 0x37},
        {letter('K'), 0x01, fx_s3m_vibrato_volume_slide, 0x01},
        {letter('L'), 0x10, fx_s3m_tone_porta_volume_slide, 0x10},
        {letter('M'), 0x22, fx_none, 0x22},
        {letter('N'), 0x23, fx_none, 0x23},
        {letter('O'), 0x80, fx_sample_offset, 0x80},
        {letter('P'), 0x24, fx_none, 0x24},
        {letter('Q'), 0x83, fx_s3m_retrigger, 0x83},
        {letter('R'), 0x44, fx_s3m_tremolo, 0x44},
        {letter('S'), 0x07, fx_none, 0x07},
        {letter('S'), 0x1f, fx_none, 0x1f},
        {letter('S'), 0x2a, fx_set_finetune, 0x0a},
        {letter('S'), 0x31, fx_vibrato_waveform, 0x01},
        {letter('S'), 0x42, fx_tremolo_waveform, 0x02},
        {letter('S'), 0x5a, fx_none, 0x5a},
        {letter('S'), 0x61, fx_none, 0x61},
        {letter('S'), 0x73, fx_none, 0x73},
        {letter('S'), 0x8c, fx_coarse_pan, 0x0c},
        {letter('S'), 0x91, fx_none, 0x91},
        {letter('S'), 0xa4, fx_none, 0xa4},
        {letter('S'), 0xb3, fx_none, 0, fx_pattern_loop, 0x03},
        {letter('S'), 0xc5, fx_note_cut, 0x05},
        {letter('S'), 0xd2, fx_note_delay, 0x02},
        {letter('S'), 0xe4, fx_none, 0, fx_pattern_delay, 0x04},
        {letter('S'), 0xf1, fx_none, 0xf1},
        {letter('T'), 0x7d, fx_s3m_tempo, 0x7d},
        {letter('U'), 0x25, fx_none, 0x25},
        {letter('V'), 0x30, fx_set_global_volume, 0x30},
        {letter('W'), 0x26, fx_none, 0x26},
        {letter('Z'), 0x27, fx_none, 0x27},
        {200, 0x28, fx_none, 0x28},
        {255, 0x29, fx_none, 0x29},
    };
    s3m_song song;
    for (const effect_translation& entry : table)
        song.patterns[0].rows.push_back({{.channel = 1, .command = entry.command, .param = entry.param}});
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    expect_translations(loaded, table, 1, 0, 65535);

    // Two row commands in one row: stream order decides, not the channel number.
    song.patterns[0].rows = {
        {{.channel = 3, .command = letter('C'), .param = 0x20}, {.channel = 0, .command = letter('B'), .param = 0x02}}};
    loaded_song both(write_s3m(song));
    ASSERT_EQ(both.result, 0);
    EXPECT_EQ(both.global(0, 0).effects[0], fx_position_jump);
    EXPECT_EQ(both.global(0, 0).params[0], 0x02);
}

TEST(S3mLoader, SampleHeaderFillsSampleAndInstrument) {
    s3m_song song;
    song.sample_format = 1;
    s3m_sample looped = sample_of(bytes_counting(100), 1, 10, 90);
    looped.volume = 40;
    looped.c2spd = 22050;
    looped.name = "0123456789abcdefghijklmnopqr";  // 28 bytes
    // Loop points count only with the flag; a loop past the end is cut, an
    // empty one dropped, one of exactly the data kept.
    song.samples = {looped, sample_of(bytes_counting(20), 0, 3, 9), sample_of(bytes_counting(50), 1, 20, 80),
                    sample_of(bytes_counting(50), 1, 30, 30), sample_of(bytes_counting(50), 1, 0, 50)};
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    ASSERT_EQ(context.instrument_count, 5);
    ASSERT_EQ(context.sample_count, 5);
    const module_sample& first = context.samples[0];
    expect_sample(first, 100, 1, 10, 90);
    EXPECT_EQ(first.volume, 40);
    EXPECT_EQ(first.default_c_rate, 22050u);
    EXPECT_EQ(first.c_rate, 22050u);
    EXPECT_EQ(first.panning, 255);
    EXPECT_EQ(first.name[0], 0);                                // S3M names belong to the instrument
    EXPECT_EQ(loaded.frames<uint8_t>(0), bytes_counting(100));  // signed file: bytes as stored
    expect_unlooped(context.samples[1], 20);
    expect_sample(context.samples[2], 50, 1, 20, 50);
    expect_unlooped(context.samples[3], 50);
    expect_sample(context.samples[4], 50, 1, 0, 50);

    const module_instrument& instrument = context.instruments[0];
    EXPECT_EQ(std::memcmp(instrument.name, "0123456789abcdefghijklmnopqr", 28), 0);
    EXPECT_EQ(instrument.fadeout, 32767);
    EXPECT_EQ(instrument.volume_envelope.enabled, 0);
    for (int note = 0; note < 256; ++note) {
        EXPECT_EQ(instrument.note_samples[note], &context.samples[0]) << note;
        EXPECT_EQ(instrument.note_map[note], note);
    }
    EXPECT_EQ(context.instruments[1].note_samples[200], &context.samples[1]);
}

// Unsigned files store 8- and 16-bit data offset by half the range; the
// player gets signed frames either way. A stereo sample keeps its left channel
// in a block of room for both, the second half zero.
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

TEST(S3mLoader, SlotsWithoutSampleAndBrokenHeaders) {
    s3m_sample adlib;
    adlib.type = 2;
    adlib.signature = "SCRI";
    adlib.name = "organ";
    s3m_sample empty;
    empty.type = 0;
    empty.signature = "";
    s3m_song song;
    song.samples = {empty, adlib, sample_of({1, 2, 3}), empty};
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    // A zero parapointer names no header at all.
    file[layout.sample_pointers + 6] = 0;
    file[layout.sample_pointers + 7] = 0;
    loaded_song loaded(file);
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(loaded.context.instrument_count, 4);
    for (int slot : {0, 1, 3}) {
        SCOPED_TRACE(slot);
        const module_instrument& instrument = loaded.context.instruments[slot];
        for (const module_sample* entry : instrument.note_samples) EXPECT_EQ(entry, nullptr);
        EXPECT_EQ(instrument.fadeout, 32767);
        EXPECT_EQ(instrument.name[0], 0);
        EXPECT_EQ(instrument.note_map[0x4b], 0x4b);
        expect_unlooped(loaded.sample(slot), 0);  // shaped like any empty sample
        EXPECT_EQ(loaded.sample(slot).panning, 255);
    }
    EXPECT_EQ(loaded.sample(2).length, 3u);

    // A PCM header without its signature, one far past the end, one cut inside itself.
    song.samples = {sample_of({1, 2, 3}), sample_of({4, 5})};
    song.samples[1].signature = "SCRI";
    std::vector<std::vector<uint8_t>> broken = {write_s3m(song)};
    song.samples[1].signature = "SCRS";
    file = write_s3m(song, &layout);
    broken.push_back(file);
    broken.back()[layout.sample_pointers + 3] = 0xf0;
    broken.push_back(std::vector<uint8_t>(file.begin(), file.begin() + layout.sample_headers[1] + 60));
    for (const std::vector<uint8_t>& bad : broken) expect_refused(bad);
}

// A sample's data may end early or lie past the end; what is there is kept,
// `length` shrinks to it, and the loop is cut at the new end or dropped.
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
        {looped, 60, 60, 1, 10, 60},                  // loop cut at the new end
        {looped, 11, 11, 1, 10, 11},                  // one looped frame left
        {looped, 10, 10, 0, 9, 9},                    // the loop would start at the end: dropped
        {looped, 0, 0, 0, 0xffffffffu, 0xffffffffu},  // nothing left: no data block
        {words, 5, 2, 0, 1, 1},                       // an odd byte count keeps the whole words
        {stereo, 150, 100, 0, 99, 99},                // cut inside the right channel: the left is whole
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
        if (&cut.sample == &words) {
            EXPECT_EQ(loaded.frames<int16_t>(0), (std::vector<int16_t>{1, 2}));
        } else {
            EXPECT_EQ(loaded.frames<uint8_t>(0), bytes_counting(cut.length));
        }
    }

    // The segment's high byte moves the data far past the end: no data.
    s3m_song song;
    song.samples = {sample_of(bytes_counting(16), 1, 0, 16)};
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    file[layout.sample_headers[0] + 13] = 0xff;
    loaded_song far(file);
    ASSERT_EQ(far.result, 0);
    expect_unlooped(far.sample(0), 0);
}

// Slots whose headers all point at one data area read no more than the file
// holds in all: the second gets what is left, the third nothing.
TEST(S3mLoader, SlotsSharingOneDataAreaReadNoMoreThanTheFile) {
    s3m_song song;
    song.samples.resize(3);
    song.samples[0] = sample_of(std::vector<uint8_t>(3000, 7));
    for (int slot : {1, 2}) song.samples[slot].length = 3000;  // no data of their own
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    for (int slot : {1, 2})
        for (size_t segment = 13; segment < 16; ++segment)
            file[layout.sample_headers[slot] + segment] = file[layout.sample_headers[0] + segment];
    loaded_song loaded(file);
    ASSERT_EQ(loaded.result, 0);
    const size_t rest = file.size() - 3000;
    EXPECT_EQ(loaded.sample(0).length, 3000u);
    EXPECT_EQ(loaded.sample(1).length, rest);
    expect_unlooped(loaded.sample(2), 0);
    EXPECT_EQ(static_cast<const u8*>(loaded.sample(1).data)[rest - 1], 7 ^ 0x80);
}

// Orders and cells name patterns and instruments with bytes: larger counts are
// cut, and the tables behind them are still found. Empty tables load too.
TEST(S3mLoader, CountsAreCutToWhatBytesCanName) {
    s3m_song song;
    song.orders.assign(300, 0);
    song.orders[255] = 7;
    song.patterns.resize(260);
    song.patterns[255].rows = {{{.channel = 0, .note = 0x22, .instrument = 1}}};
    song.samples.assign(258, sample_of({1}));
    song.samples[254] = sample_of({1, 2, 3, 4});
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.context.order_count, 256u);
    EXPECT_EQ(loaded.context.orders[255], 7);
    ASSERT_EQ(loaded.context.pattern_count, 256);
    EXPECT_EQ(loaded.cell(255, 0, 0).note, 0x22);
    ASSERT_EQ(loaded.context.instrument_count, 255);
    EXPECT_EQ(loaded.context.sample_count, 255);
    EXPECT_EQ(loaded.sample(254).length, 4u);

    song.orders.clear();
    song.patterns.clear();
    song.samples.clear();
    loaded_song empty(write_s3m(song));
    ASSERT_EQ(empty.result, 0);
    EXPECT_EQ(empty.context.order_count, 0u);
    EXPECT_EQ(empty.context.pattern_count, 0);
    EXPECT_EQ(empty.context.instrument_count, 0);
}

TEST(S3mLoader, PatternParapointersAndStreams) {
    s3m_song song;
    // Read as a packed stream from its offset 2, the title would put a note in channel 0, row 0.
    song.title = std::string("ab\x20\x40\x01", 5);
    song.patterns.resize(2);
    song.patterns[0].rows = {{{.channel = 0, .volume = 12}}};
    song.patterns[1].rows = {{{.channel = 0, .volume = 13}}};
    s3m_layout layout;
    const std::vector<uint8_t> file = write_s3m(song, &layout);

    // Zero: the pattern was left empty, it is not the header read as pattern data.
    std::vector<uint8_t> zero = file;
    zero[layout.pattern_pointers] = 0;
    zero[layout.pattern_pointers + 1] = 0;
    loaded_song empty(zero);
    ASSERT_EQ(empty.result, 0);
    for (int column = 0; column < empty.context.channel_count; ++column) expect_untouched(empty.cell(0, 0, column));
    EXPECT_EQ(empty.cell(1, 0, 0).volume, 13);

    // A pointer past the end; a stream of 63 rows; an entry cut after its volume.
    // Without samples the pattern is the last thing in the file, so its stream runs into the end.
    std::vector<std::vector<uint8_t>> broken = {file};
    broken[0][layout.pattern_pointers + 3] = 0xff;
    std::vector<uint8_t> cut_entry(63, 0);
    cut_entry.insert(cut_entry.end(), {0xe0, 0x40, 0x01, 0x20});
    for (const std::vector<uint8_t>& stream : {std::vector<uint8_t>(63, 0), cut_entry}) {
        s3m_song short_song;
        short_song.patterns[0].raw = stream;
        broken.push_back(write_s3m(short_song));
    }
    for (const std::vector<uint8_t>& bad : broken) expect_refused(bad);
}

// A packed stream whose 64 rows are complete after `bytes` bytes, the rest
// spent on entries for the unmapped channel 4.
std::vector<uint8_t> stream_of(size_t bytes) {
    std::vector<uint8_t> stream(bytes - 64, 0x04);
    stream.resize(bytes, 0);
    return stream;
}

// A packed pattern sits behind a 16-bit length, so its rows must be complete
// within 65535 bytes; and all patterns together read no more than the file
// holds, so patterns that share one long stream cannot read it over and over.
TEST(S3mLoader, PatternStreamsReadNoMoreThanTheirLengthAndTheFileAllow) {
    const struct {
        size_t stream_bytes;
        int sharing;  // patterns whose parapointers lead to the stream
        i32 result;
    } cases[] = {{65535, 1, 0}, {65536, 1, -1}, {64, 2, 0}, {1000, 20, -1}};
    for (const auto& c : cases) {
        s3m_song song;
        song.patterns.resize(static_cast<size_t>(c.sharing));
        song.patterns[0].raw = stream_of(c.stream_bytes);
        s3m_layout layout;
        std::vector<uint8_t> file = write_s3m(song, &layout);
        for (int p = 1; p < c.sharing; ++p) {
            file[layout.pattern_pointers + 2 * p] = file[layout.pattern_pointers];
            file[layout.pattern_pointers + 2 * p + 1] = file[layout.pattern_pointers + 1];
        }
        loaded_song loaded(file);
        EXPECT_EQ(loaded.result, c.result) << c.stream_bytes << " bytes for " << c.sharing;
    }
}

s3m_song song_for_damage() {
    s3m_song song;
    song.orders = {0, 1};
    song.patterns.resize(2);
    song.patterns[0].rows = {{{.channel = 0, .note = 0x40, .instrument = 1, .volume = 30, .command = 1, .param = 4}}};
    song.patterns[1].rows = {{}, {{.channel = 1, .note = 0x50, .instrument = 2, .command = 19, .param = 0xb1}}};
    song.samples = {sample_of(bytes_counting(40), 1, 4, 40), sample_of(s3m_pcm16({5, 6, 7}, true), 4)};
    return song;
}

// Every prefix of a complete song: cut anywhere before the end of the last
// pattern it is malformed, cut inside the sample data it still loads.
TEST(S3mLoader, EveryTruncationIsClean) {
    s3m_layout layout;
    const std::vector<uint8_t> full = write_s3m(song_for_damage(), &layout);
    // The packed-length word counts itself and the stream.
    const size_t last_pattern = layout.pattern_data.back();
    const size_t patterns_end = last_pattern + (full[last_pattern] | full[last_pattern + 1] << 8);
    ASSERT_LT(patterns_end, layout.sample_data[0]);
    load_every_prefix(full, module_load, [&](size_t size, const loaded_song& loaded) {
        EXPECT_EQ(loaded.result, size >= patterns_end ? 0 : -1) << size;
        if (!loaded.result) expect_samples_well_formed(loaded.context);
    });
}

// Every byte of the header and tables set in turn to values that mean the
// most: whatever it means, the load ends cleanly (the sanitizer build checks
// the memory side).
TEST(S3mLoader, CorruptedHeaderBytesLoadCleanly) {
    s3m_layout layout;
    const std::vector<uint8_t> full = write_s3m(song_for_damage(), &layout);
    for (size_t offset = 0; offset < layout.sample_data[0]; ++offset) {
        for (uint8_t value : {0x00, 0xff, 0x81}) {
            std::vector<uint8_t> file = full;
            file[offset] = value;
            loaded_song loaded(file);
            EXPECT_TRUE(loaded.result == 0 || loaded.result == -1) << offset;
            if (loaded.result)
                expect_empty_record(loaded.context);
            else
                expect_samples_well_formed(loaded.context);
        }
    }
}

}  // namespace
