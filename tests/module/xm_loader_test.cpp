#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "loader_test_support.h"
#include "module.h"
#include "xm_writer.h"

namespace {

// XM blocks start cleared: no instrument, no note or volume, both slots fx_none.
void expect_empty_cell(const module_cell& cell) {
    const module_cell empty = {0, 255, 255, {fx_none, fx_none}, {0, 0}};
    EXPECT_EQ(std::memcmp(&cell, &empty, sizeof cell), 0);
}

// A song with one pattern whose cells are given row by row.
xm_song song_with_cells(uint16_t channels, uint16_t rows, std::vector<xm_cell> cells) {
    xm_song song;
    song.channels = channels;
    song.patterns[0].rows = rows;
    song.patterns[0].cells = std::move(cells);
    return song;
}

// Loop points as the header stores them: bytes, twice the frame for 16-bit data.
xm_sample sample_8bit(const std::vector<int8_t>& pcm, uint8_t type = xm_loop_none, uint32_t loop_start = 0,
                      uint32_t loop_length = 0) {
    xm_sample sample;
    sample.data = xm_delta_8(pcm);
    sample.type = type;
    sample.loop_start = loop_start;
    sample.loop_length = loop_length;
    return sample;
}

xm_sample sample_16bit(const std::vector<int16_t>& pcm, uint8_t loop_type, uint32_t loop_start, uint32_t loop_length) {
    xm_sample sample = sample_8bit({}, static_cast<uint8_t>(xm_sample_16bit | loop_type), loop_start, loop_length);
    sample.data = xm_delta_16(pcm);
    return sample;
}

xm_instrument instrument_with(std::vector<xm_sample> samples) {
    xm_instrument instrument;
    instrument.samples = std::move(samples);
    return instrument;
}

TEST(XmLoader, SongHeader) {
    xm_song song;
    song.title = "twenty-byte title ok";
    song.orders = {3, 1, 2, 0, 9};
    song.song_length = 3;
    song.restart_position = 2;
    song.flags = 0;
    song.tempo = 0x0106;  // only the low byte counts
    song.bpm = 0x0190;
    song.channels = 6;
    song.patterns.resize(4);
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    EXPECT_EQ(context.format_id, module_format_xm);
    EXPECT_EQ(std::string(context.title), "twenty-byte title ok");
    EXPECT_EQ(context.order_count, 3u);
    EXPECT_EQ(context.orders[4], 9);  // all 256 entries are taken, used or not
    EXPECT_EQ(context.restart_position, 2u);
    EXPECT_EQ(context.linear_frequencies, 0);
    EXPECT_EQ(context.initial_speed, 6);
    EXPECT_EQ(context.initial_tempo, 0x90);
    EXPECT_EQ(context.channel_count, 7);
    EXPECT_EQ(context.channels[7].enabled, 0);
    EXPECT_EQ(context.channels[6].default_pan, 128);
    song.flags = 1;
    song.song_length = 300;  // only 256 orders exist
    loaded_song linear(write_xm(song));
    EXPECT_EQ(linear.context.linear_frequencies, 1);
    EXPECT_EQ(linear.context.order_count, 256u);
}

// Notes 1..96 become packed octave/semitone notes, 97 key off, anything past it nothing; the
// volume column's 0x10..0x50 is a volume, the rest effects in slot 0.
TEST(XmPatterns, NotesAndVolumeColumn) {
    const struct {
        uint8_t note, column;
        u8 packed_note, volume;
        u16 code;
        uint8_t param;
    } cases[] = {
        {1, 0x00, 0x00, 255, fx_none, 0},
        {96, 0x05, 0x7b, 255, fx_none, 0},
        {97, 0x10, module_note_off, 0, fx_none, 0},
        {98, 0x35, 255, 0x25, fx_none, 0},
        {0, 0x50, 255, 64, fx_none, 0},
        {xm_note(4, 7), 0x51, 0x47, 255, fx_none, 0},
        {0, 0x63, 255, 255, fx_xm_volume_slide, 3},
        {0, 0x7a, 255, 255, fx_xm_volume_slide, 0xa0},
        {0, 0x84, 255, 255, fx_fine_volume_down, 4},
        {0, 0x9f, 255, 255, fx_fine_volume_up, 15},
        {0, 0xa5, 255, 255, fx_none, 0},
        {0, 0xc8, 255, 255, fx_set_pan, 0x80},
        {0, 0xd2, 255, 255, fx_pan_slide, 2},
        {0, 0xe3, 255, 255, fx_pan_slide, 0x30},
        {0, 0xf7, 255, 255, fx_none, 0},
    };
    std::vector<xm_cell> cells;
    for (const auto& c : cases) cells.push_back({c.note, static_cast<uint8_t>(cells.size() + 1), c.column, 0, 0});
    loaded_song loaded(write_xm(song_with_cells(1, static_cast<uint16_t>(cells.size()), cells)));
    ASSERT_EQ(loaded.result, 0);
    for (size_t i = 0; i < cells.size(); ++i) {
        const module_cell& cell = loaded.cell(0, static_cast<int>(i), 0);
        SCOPED_TRACE(testing::Message() << "note " << int(cases[i].note) << " volume column 0x" << std::hex
                                        << int(cases[i].column));
        EXPECT_EQ(cell.note, cases[i].packed_note);
        EXPECT_EQ(cell.instrument, i + 1);
        EXPECT_EQ(cell.volume, cases[i].volume);
        EXPECT_EQ(cell.effects[0], cases[i].code);
        EXPECT_EQ(cell.params[0], cases[i].param);
    }
}

// Both packings decode alike and are consumed byte-exactly (a second pattern after each proves
// it); the packed size, not the cells, decides where the next pattern starts; rows past 1024
// are dropped and a stored 0 is the editors' 64.
TEST(XmPatterns, PackingsSizesAndRowCounts) {
    std::vector<xm_cell> cells = {{},
                                  {xm_note(3, 2), 0, 0, 0, 0},
                                  {xm_note(1, 1), 2, 0x20, 0x4, 0x31},
                                  {0, 0, 0, 0xc, 0},
                                  {0, 0, 0, 0, 0x11},
                                  {},
                                  {5, 6, 0x70, 0x1, 0x02},
                                  {}};
    xm_song packed = song_with_cells(2, 4, cells);
    xm_pattern marker = song_with_cells(2, 1, {{xm_note(0, 9), 9, 0, 0, 0}}).patterns[0];
    packed.patterns.push_back(marker);
    xm_song unpacked = packed;
    unpacked.patterns[0].packing = xm_packing::unpacked;
    loaded_song a(write_xm(packed)), b(write_xm(unpacked));
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(b.result, 0);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(std::memcmp(&a.cell(0, row, column), &b.cell(0, row, column), sizeof(module_cell)), 0);
    expect_empty_cell(a.cell(0, 0, 0));  // the flag byte 0x80 alone
    EXPECT_EQ(a.cell(0, 1, 0).volume, 0x10);
    EXPECT_EQ(a.cell(0, 1, 0).params[1], 0x31);
    EXPECT_EQ(a.cell(0, 2, 0).effects[1], fx_arpeggio);  // a parameter alone, with effect 0
    EXPECT_EQ(a.cell(0, 3, 0).instrument, 6u);
    for (const loaded_song* song : {&a, &b}) EXPECT_EQ(song->cell(1, 0, 0).note, 0x09);

    xm_song song = song_with_cells(2, 2, {{xm_note(1, 0), 1, 0, 0, 0}, {xm_note(1, 1), 0, 0, 0, 0}});
    song.patterns.push_back(marker);
    song.minimum_size = 1100;  // room to remove bytes
    xm_layout layout;
    const std::vector<uint8_t> file = write_xm(song, &layout);
    const size_t size_field = layout.pattern_offsets[0] + 7, data = layout.pattern_offsets[0] + 9;
    // Packed data 83 0d 01 | 81 0e | 80 | 80 cut to 5 bytes, the next pattern moved up: row 1
    // has no data and stays empty, the next pattern's bytes are not read into it. Extra bytes
    // behind the cells are skipped with the size.
    ASSERT_EQ(file[size_field], 7);
    std::vector<uint8_t> cut = file, padded = file;
    cut[size_field] = 5;
    cut.erase(cut.begin() + data + 5, cut.begin() + data + 7);
    padded[size_field] = 9;
    padded.insert(padded.begin() + data + 7, {0x81, 0x01});
    song.patterns[0].header_length = 20;  // a longer pattern header moves the data with it
    for (const std::vector<uint8_t>& bytes : {cut, padded, write_xm(song)}) {
        loaded_song loaded(bytes);
        ASSERT_EQ(loaded.result, 0);
        EXPECT_EQ(loaded.cell(0, 0, 1).note, 0x11);
        expect_empty_cell(loaded.cell(0, 1, 0));
        EXPECT_EQ(loaded.cell(1, 0, 0).note, 0x09);
    }

    xm_pattern zero_rows, huge;
    zero_rows.rows = 0;
    huge.rows = 2000;
    huge.omit_empty_data = false;  // 2000 rows x 4 flag bytes follow
    song.patterns = {zero_rows, huge, marker};
    song.channels = 4;
    loaded_song rows(write_xm(song));
    ASSERT_EQ(rows.result, 0);
    EXPECT_EQ(rows.context.pattern_rows[0], 64u);
    expect_empty_cell(rows.cell(0, 63, 4));
    EXPECT_EQ(rows.context.pattern_rows[1], 1024u);
    EXPECT_EQ(rows.cell(2, 0, 0).note, 0x09);
}

TEST(XmPatterns, SurplusChannelsAreSkippedButTheirRowCommandsKept) {
    const uint16_t channels = 40;
    std::vector<xm_cell> cells(2 * channels);
    for (int c = 0; c < channels; ++c) cells[c] = {static_cast<uint8_t>(c + 1), static_cast<uint8_t>(c + 1), 0, 0, 0};
    cells[channels + 35] = {0, 0, 0, 0xd, 0x12};  // a break in a dropped channel still ends the pattern
    xm_song song = song_with_cells(channels, 2, cells);
    song.patterns.push_back(song_with_cells(channels, 1, {{xm_note(6, 6), 0, 0, 0, 0}}).patterns[0]);
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.context.channel_count, 33);
    EXPECT_EQ(loaded.cell(0, 0, 31).instrument, 32u);
    expect_empty_cell(loaded.global(0, 0));
    EXPECT_EQ(loaded.global(0, 1).effects[0], fx_pattern_break);
    EXPECT_EQ(loaded.global(0, 1).params[0], 12);
    EXPECT_EQ(loaded.cell(1, 0, 0).note, 0x66);
    expect_refused(write_xm(song_with_cells(0, 1, {})));
}

// Delta-coded data (the first stored value is the first frame itself); finetune as a rate;
// loop types 1 and 2 loop, 0 and 3 do not; 16-bit loop points are halved to frames; loops are
// kept inside the sample or dropped. A 16-bit sample with an odd byte length keeps its whole
// frames, and the stray byte still counts when the next sample's data is found.
TEST(XmSamples, DataFinetuneAndLoops) {
    const std::vector<int16_t> words(500, 7);
    const std::vector<int8_t> bytes(100, 1);
    xm_sample eight;
    eight.data = {0x10, 0x01, 0xff};
    eight.finetune = -128;
    eight.relative_note = -12;
    eight.panning = 255;
    eight.volume = 48;
    xm_sample odd = sample_16bit({100, 200, 300}, xm_loop_forward, 3, 5);  // frames 1..3
    odd.data.push_back(0x55);
    odd.finetune = 16;
    const struct {
        xm_sample sample;
        u32 length;
        i32 looped, ping_pong;
        u32 loop_start, loop_end;
    } cases[] = {
        {eight, 3, 0, 0, 2, 2},
        {odd, 3, 1, 0, 1, 3},
        {sample_16bit(words, xm_loop_none, 200, 600), 500, 0, 0, 499, 499},
        {sample_16bit(words, xm_loop_ping_pong, 200, 600), 500, 1, 1, 100, 400},
        {sample_16bit(words, 3, 200, 600), 500, 0, 0, 499, 499},
        {sample_16bit(words, xm_loop_forward, 100, 0), 500, 0, 0, 499, 499},        // zero length
        {sample_8bit(bytes, xm_loop_forward, 60, 0xffffffff), 100, 1, 0, 60, 100},  // end past 32 bits
        {sample_8bit(bytes, xm_loop_ping_pong, 100, 10), 100, 0, 0, 99, 99},        // starts at the end
        {sample_8bit({}, xm_loop_forward, 0, 4), 0, 0, 0, 0xffffffff, 0xffffffff},
    };
    xm_instrument instrument;
    instrument.name = "instrument of 22 bytes";
    for (const auto& c : cases) instrument.samples.push_back(c.sample);
    xm_song song;
    song.instruments = {instrument, instrument_with({sample_8bit({42})})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        expect_sample(loaded.sample(static_cast<int>(i)), cases[i].length, cases[i].looped, cases[i].loop_start,
                      cases[i].loop_end);
        EXPECT_EQ(loaded.sample(static_cast<int>(i)).ping_pong, cases[i].ping_pong);
    }
    EXPECT_STREQ(loaded.context.instruments[0].name, "instrument of 22 bytes");
    EXPECT_EQ(loaded.frames<int8_t>(0), (std::vector<int8_t>{0x10, 0x11, 0x10}));
    EXPECT_EQ(loaded.frames<int16_t>(1), (std::vector<int16_t>{100, 200, 300}));
    EXPECT_EQ(loaded.frames<int16_t>(2), words);  // found past the stray byte
    EXPECT_EQ(loaded.frames<int8_t>(std::size(cases)), (std::vector<int8_t>{42}));
    // 8363 x 2^(finetune / 1536), rounded down; panning 255 is 63 on the 0..64 scale.
    const module_sample& tuned = loaded.sample(0);
    EXPECT_EQ(tuned.default_c_rate, 7893u);
    EXPECT_EQ(tuned.c_rate, 7893u);
    EXPECT_EQ(loaded.sample(1).default_c_rate, 8423u);
    EXPECT_EQ(tuned.finetune, -128);
    EXPECT_EQ(tuned.xm_volume, 48);
    EXPECT_EQ(tuned.panning, 63);
    EXPECT_EQ(tuned.relative_note, -12);
}

TEST(XmSamples, TruncatedLastSampleKeepsTheFramesPresent) {
    std::vector<int16_t> pcm(300);
    for (int i = 0; i < 300; ++i) pcm[i] = static_cast<int16_t>(i * 100);
    xm_song song;
    song.instruments = {instrument_with({sample_8bit({1, 2, 3}), sample_16bit(pcm, xm_loop_forward, 200, 300)})};
    song.minimum_size = 0;
    song.header_size = 976;  // keeps every cut point above the 1024 bytes the probe wants
    xm_layout layout;
    const std::vector<uint8_t> file = write_xm(song, &layout);
    const size_t data = layout.sample_data[1];
    const struct {
        size_t bytes_kept;  // of the 600 stored bytes
        u32 length;
        i32 looped;
        u32 loop_end;
    } cases[] = {{600, 300, 1, 250}, {203, 101, 1, 101}, {200, 100, 0, 99}, {1, 0, 0, 0xffffffff}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes_kept);
        loaded_song loaded(std::vector<uint8_t>(file.begin(), file.begin() + data + c.bytes_kept));
        ASSERT_EQ(loaded.result, 0);
        expect_sample(loaded.sample(1), c.length, c.looped, c.looped ? 100 : c.loop_end, c.loop_end);
        EXPECT_EQ(loaded.frames<int16_t>(1), std::vector<int16_t>(pcm.begin(), pcm.begin() + c.length));
    }
}

// Keymap entries point into the instrument's own samples, and entries naming a sample it lacks
// play nothing. An instrument without samples keeps its name and nothing else; header sizes
// move what follows them.
TEST(XmInstruments, KeymapsEmptyInstrumentsAndHeaderSizes) {
    xm_instrument first = instrument_with({sample_8bit({1}), sample_8bit({2})});
    first.keymap[95] = 1;
    first.keymap[10] = 200;
    xm_instrument empty;
    empty.name = "silence";
    empty.fadeout = 999;  // not stored for an instrument without samples
    xm_instrument padded_empty;
    padded_empty.header_size = 263;  // some editors write the full header even without samples
    xm_sample raw;
    raw.data = {9, 9};  // stored deltas: 9, 18
    xm_instrument padded = instrument_with({raw});
    padded.header_size = 300;
    padded.sample_header_size = 64;
    padded.fadeout = 1234;
    xm_song song;
    song.instruments = {first, empty, padded_empty, padded, instrument_with({sample_8bit({7})})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    ASSERT_EQ(context.instrument_count, 5);
    ASSERT_EQ(context.sample_count, 4);
    const module_instrument& a = context.instruments[0];
    EXPECT_EQ(a.note_samples[0x00], &context.samples[0]);
    EXPECT_EQ(a.note_samples[0x0a], nullptr);
    EXPECT_EQ(a.note_samples[0x7b], &context.samples[1]);  // note index 95: octave 7, B
    EXPECT_EQ(a.note_samples[0x10], &context.samples[0]);  // note index 12: octave 1, C
    // Packed notes of semitones 12..15 and of octaves past 7 are outside the keymap.
    EXPECT_EQ(a.note_map[0x7f], 0x7f);
    EXPECT_EQ(a.note_samples[0x0c], nullptr);
    EXPECT_EQ(a.note_samples[0x80], nullptr);
    for (int i : {1, 2}) {
        for (int n = 0; n < 256; ++n) ASSERT_EQ(context.instruments[i].note_samples[n], nullptr);
        EXPECT_EQ(context.instruments[i].fadeout, 0);
    }
    EXPECT_STREQ(context.instruments[1].name, "silence");
    EXPECT_EQ(context.instruments[3].fadeout, 1234);
    EXPECT_EQ(context.instruments[3].note_samples[0], &context.samples[2]);
    EXPECT_EQ(loaded.frames<int8_t>(2), (std::vector<int8_t>{9, 18}));
    EXPECT_EQ(loaded.frames<int8_t>(3), (std::vector<int8_t>{7}));
}

void expect_envelope(const module_envelope& envelope, const std::vector<uint16_t>& ticks, u8 sustain, u8 loop_start,
                     u8 loop_end) {
    EXPECT_EQ(envelope.enabled, 1);
    ASSERT_EQ(envelope.point_count, ticks.size());
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(envelope.points[i].tick, ticks[i]) << i;
    EXPECT_EQ(envelope.sustain_point, sustain);
    EXPECT_EQ(envelope.loop_start, loop_start);
    EXPECT_EQ(envelope.loop_end, loop_end);
}

// Sustain and loop count only with their flag bits, and nothing at all without the "on" bit or
// without points. Damage is repaired: ticks must increase, at most the 12 stored points are
// read, indices naming no point go.
TEST(XmInstruments, EnvelopesAreReadAndRepaired) {
    xm_instrument plain = instrument_with({sample_8bit({1})});
    plain.volume_envelope = {{{0, 64}, {8, 40}, {16, 20}, {32, 0}}, {}, 1, 1, 2, xm_envelope_on | xm_envelope_loop};
    plain.panning_envelope = {{{0, 32}, {4, 0}}, {}, 1, 0, 1, xm_envelope_on | xm_envelope_sustain};
    xm_instrument off = plain;
    off.volume_envelope.type = xm_envelope_sustain | xm_envelope_loop;  // flags without "on"
    off.panning_envelope.stored_count = 0;                              // on, but no points
    xm_instrument damaged = instrument_with({sample_8bit({1})});
    std::vector<xm_envelope_point> twelve;
    for (uint16_t i = 0; i < 12; ++i) twelve.push_back({static_cast<uint16_t>(i * 10), 64});
    // 200 points claimed, 12 stored; loop and sustain name points that do not exist.
    damaged.volume_envelope = {twelve, 200, 40, 11, 30, 7};
    // Ticks 0, 5, 5, 3, 20: the third and fourth move just past their predecessors; a loop
    // running backwards (start 3, end 1) is no loop.
    damaged.panning_envelope = {{{0, 1}, {5, 2}, {5, 3}, {3, 4}, {20, 5}}, {}, 4, 3, 1, 7};
    // Nothing can follow tick 65535: the envelope ends there, and a sustain point past it goes.
    xm_instrument stuck = instrument_with({sample_8bit({1})});
    stuck.volume_envelope = {{{0, 1}, {65535, 2}, {100, 3}}, {}, 2, 0, 2, 7};
    xm_song song;
    song.instruments = {plain, off, damaged, stuck};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_instrument* instruments = loaded.context.instruments;
    expect_envelope(instruments[0].volume_envelope, {0, 8, 16, 32}, 255, 1, 2);
    EXPECT_EQ(instruments[0].volume_envelope.points[2].value, 20);
    expect_envelope(instruments[0].panning_envelope, {0, 4}, 1, 255, 255);
    for (const module_envelope* disabled : {&instruments[1].volume_envelope, &instruments[1].panning_envelope}) {
        EXPECT_EQ(disabled->enabled, 0);
        EXPECT_EQ(disabled->points, nullptr);
    }
    expect_envelope(instruments[2].volume_envelope, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110}, 255, 255, 255);
    expect_envelope(instruments[2].panning_envelope, {0, 5, 6, 7, 20}, 4, 255, 255);
    EXPECT_EQ(instruments[2].panning_envelope.points[3].value, 4);
    expect_envelope(instruments[3].volume_envelope, {0, 65535}, 255, 255, 255);
}

// The fuzz seed declares 65535 channels and 256 patterns of 1024 rows, each holding one packed
// byte: 2,896 bytes that once took half a minute to decode. The bound only guards against a
// hang; it is no speed goal.
TEST(XmMalformed, HangGuardHugeDeclaredPatternsWithOneByteOfData) {
    const std::vector<uint8_t> file = source_file("fuzz/seeds/xm-65535-channels.xm");
    ASSERT_EQ(file.size(), 2896u);
    const auto start = std::chrono::steady_clock::now();
    loaded_song loaded(file);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(loaded.result, 0);
    EXPECT_LT(took.count(), 10.0);
    EXPECT_EQ(loaded.context.channel_count, module_max_channels);
    ASSERT_EQ(loaded.context.pattern_count, 256);
    expect_empty_cell(loaded.cell(255, 1023, 32));
}

}  // namespace
