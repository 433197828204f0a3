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
    EXPECT_EQ(cell.instrument, 0u);
    EXPECT_EQ(cell.volume, 255);
    EXPECT_EQ(cell.note, 255);
    for (int slot : {0, 1}) {
        EXPECT_EQ(cell.effects[slot], fx_none);
        EXPECT_EQ(cell.params[slot], 0);
    }
}

// A song with one pattern whose cells are given row by row.
xm_song song_with_cells(uint16_t channels, uint16_t rows, std::vector<xm_cell> cells) {
    xm_song song;
    song.channels = channels;
    song.patterns[0].rows = rows;
    song.patterns[0].cells = std::move(cells);
    return song;
}

xm_sample sample_8bit(const std::vector<int8_t>& pcm, uint8_t type = xm_loop_none) {
    xm_sample sample;
    sample.data = xm_delta_8(pcm);
    sample.type = type;
    return sample;
}

xm_sample sample_16bit(const std::vector<int16_t>& pcm, uint8_t loop_type = xm_loop_none) {
    xm_sample sample;
    sample.data = xm_delta_16(pcm);
    sample.type = static_cast<uint8_t>(xm_sample_16bit | loop_type);
    return sample;
}

// Loop points as the header stores them: bytes, twice the frame for 16-bit data.
xm_sample with_loop(xm_sample sample, uint32_t start_bytes, uint32_t length_bytes) {
    sample.loop_start = start_bytes;
    sample.loop_length = length_bytes;
    return sample;
}

xm_instrument instrument_with(std::vector<xm_sample> samples) {
    xm_instrument instrument;
    instrument.samples = std::move(samples);
    return instrument;
}

// A song exercising patterns of both packings, several instruments, an empty
// one, envelopes, 8- and 16-bit looped samples: the base of the damage tests.
xm_song rich_song() {
    xm_song song = song_with_cells(
        2, 4,
        {{xm_note(4, 0), 1, 0x40, 0x0, 0x37}, {xm_key_off, 0, 0x65, 0xd, 0x12}, {}, {xm_note(2, 5), 2, 0, 0xe, 0x63}});
    xm_pattern unpacked;
    unpacked.rows = 2;
    unpacked.packing = xm_packing::unpacked;
    unpacked.cells = {{1, 1, 0x10, 0xf, 0x06}};
    song.patterns.push_back(unpacked);
    song.orders = {0, 1};

    std::vector<int8_t> wave;
    for (int i = 0; i < 200; ++i) wave.push_back(static_cast<int8_t>((i * 37) % 256 - 128));
    xm_instrument lead = instrument_with({with_loop(sample_8bit(wave, xm_loop_forward), 20, 100)});
    lead.volume_envelope = {{{0, 64}, {10, 32}, {20, 0}}, {}, 1, 0, 1, xm_envelope_on | xm_envelope_sustain};
    lead.fadeout = 256;
    std::vector<int16_t> bass;
    for (int i = 0; i < 100; ++i) bass.push_back(static_cast<int16_t>(i * 650 - 32000));
    xm_instrument two = instrument_with({with_loop(sample_16bit(bass, xm_loop_ping_pong), 40, 60), sample_8bit(wave)});
    two.keymap.fill(1);
    song.instruments = {lead, xm_instrument{}, two};
    return song;
}

TEST(XmLoader, ProbeWantsSizeMagicAndMarkerByte) {
    const std::vector<uint8_t> file = write_xm(xm_song{});
    ASSERT_EQ(file.size(), 1024u);
    EXPECT_EQ(xm_probe(file.data(), 1024), 1u);
    EXPECT_EQ(xm_probe(file.data(), 1023), 0u);
    EXPECT_EQ(xm_probe(nullptr, 1024), 0u);
    std::vector<uint8_t> bad_magic = file;
    bad_magic[16] = '_';  // "Extended Module_"
    EXPECT_EQ(xm_probe(bad_magic.data(), 1024), 0u);
    std::vector<uint8_t> bad_marker = file;
    bad_marker[37] = 0x1b;
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(xm_load(bad_marker.data(), 1024, &context), -1);
    EXPECT_EQ(xm_load(file.data(), 1023, &context), -1);
    expect_empty_record(context);
}

TEST(XmLoader, ReadsSongHeader) {
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
    EXPECT_EQ(std::string(context.title, 20), "twenty-byte title ok");
    EXPECT_EQ(context.title[20], 0);
    EXPECT_EQ(context.order_count, 3u);
    EXPECT_EQ(context.orders[4], 9);  // all 256 entries are taken, used or not
    EXPECT_EQ(context.restart_position, 2u);
    EXPECT_EQ(context.linear_frequencies, 0);
    EXPECT_EQ(context.initial_speed, 6);
    EXPECT_EQ(context.initial_tempo, 0x90);
    EXPECT_EQ(context.global_volume, 64);
    EXPECT_EQ(context.channel_count, 7);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(context.channels[c].enabled, c < 7 ? 1 : 0) << c;
        if (c < 7) {
            EXPECT_EQ(context.channels[c].default_pan, 128) << c;
        }
    }
    EXPECT_EQ(context.pattern_count, 4);

    song.flags = 1;
    song.song_length = 300;  // only 256 orders exist
    loaded_song linear(write_xm(song));
    ASSERT_EQ(linear.result, 0);
    EXPECT_EQ(linear.context.linear_frequencies, 1);
    EXPECT_EQ(linear.context.order_count, 256u);
}

// Notes 1..96 become packed octave/semitone notes, 97 key off, anything past
// it nothing; the volume column's 0x10..0x50 is a volume, the rest effects.
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
        {0, 0x5f, 255, 255, fx_none, 0},
        {0, 0x63, 255, 255, fx_xm_volume_slide, 3},
        {0, 0x7a, 255, 255, fx_xm_volume_slide, 0xa0},
        {0, 0x84, 255, 255, fx_fine_volume_down, 4},
        {0, 0x9f, 255, 255, fx_fine_volume_up, 15},
        {0, 0xa5, 255, 255, fx_none, 0},
        {0, 0xb5, 255, 255, fx_none, 0},
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
        EXPECT_EQ(cell.effects[1], fx_none);
        EXPECT_EQ(loaded.global(0, static_cast<int>(i)).note, 255);
    }
}

TEST(XmPatterns, PackedAndUnpackedCellsDecodeAlike) {
    std::vector<xm_cell> cells = {{},
                                  {xm_note(3, 2), 0, 0, 0, 0},
                                  {xm_note(1, 1), 2, 0x20, 0x4, 0x31},
                                  {0, 0, 0, 0xc, 0},
                                  {0, 0, 0, 0, 0x11},
                                  {},
                                  {5, 6, 0x70, 0x1, 0x02},
                                  {}};
    xm_song packed = song_with_cells(2, 4, cells);
    xm_song unpacked = packed;
    unpacked.patterns[0].packing = xm_packing::unpacked;
    // A second pattern after each proves the first one was consumed byte-exactly.
    xm_pattern marker = song_with_cells(2, 1, {{xm_note(0, 9), 9, 0, 0, 0}}).patterns[0];
    packed.patterns.push_back(marker);
    unpacked.patterns.push_back(marker);
    const std::vector<uint8_t> packed_file = write_xm(packed), unpacked_file = write_xm(unpacked);
    ASSERT_NE(packed_file, unpacked_file);
    loaded_song a(packed_file), b(unpacked_file);
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(b.result, 0);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const module_cell &x = a.cell(0, row, column), &y = b.cell(0, row, column);
            EXPECT_EQ(std::memcmp(&x, &y, sizeof x), 0) << row << "," << column;
        }
    }
    // The flag byte 0x80 alone is an empty cell of one byte.
    expect_empty_cell(a.cell(0, 0, 0));
    EXPECT_EQ(a.cell(0, 0, 1).note, 0x32);
    EXPECT_EQ(a.cell(0, 1, 0).volume, 0x10);
    EXPECT_EQ(a.cell(0, 1, 0).effects[1], fx_vibrato);
    EXPECT_EQ(a.cell(0, 1, 0).params[1], 0x31);
    EXPECT_EQ(a.cell(0, 1, 1).effects[1], fx_set_volume);
    EXPECT_EQ(a.cell(0, 2, 0).effects[1], fx_arpeggio);  // a parameter alone, with effect 0
    EXPECT_EQ(a.cell(0, 3, 0).instrument, 6u);
    EXPECT_EQ(a.cell(0, 3, 0).effects[0], fx_xm_volume_slide);
    for (const loaded_song* song : {&a, &b}) {
        EXPECT_EQ(song->cell(1, 0, 0).note, 0x09);
        EXPECT_EQ(song->cell(1, 0, 0).instrument, 9u);
    }
}

TEST(XmPatterns, RowCountsAndPackedSizes) {
    xm_song song;
    xm_pattern empty;
    empty.rows = 32;
    xm_pattern zero_rows;
    zero_rows.rows = 0;
    xm_pattern huge;
    huge.rows = 2000;
    huge.omit_empty_data = false;  // 2000 rows x 4 flag bytes of data follow
    xm_pattern last = song_with_cells(4, 1, {{0, 0, 0, 0xf, 3}}).patterns[0];
    song.patterns = {empty, zero_rows, huge, last};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.context.pattern_rows[0], 32u);
    for (int row = 0; row < 32; ++row)
        for (int column = 0; column < 5; ++column) expect_empty_cell(loaded.cell(0, row, column));
    EXPECT_EQ(loaded.context.pattern_rows[1], 64u);  // a stored 0 is the editors' 64
    expect_empty_cell(loaded.cell(1, 63, 4));
    EXPECT_EQ(loaded.context.pattern_rows[2], 1024u);  // rows past 1024 are dropped
    EXPECT_EQ(loaded.context.pattern_rows[3], 1u);
    EXPECT_EQ(loaded.cell(3, 0, 0).params[1], 3);

    xm_layout layout;
    song = song_with_cells(2, 2, {{xm_note(1, 0), 1, 0, 0, 0}, {xm_note(1, 1), 0, 0, 0, 0}});
    song.patterns.push_back(song_with_cells(2, 1, {{xm_note(2, 2), 0, 0, 0, 0}}).patterns[0]);
    song.minimum_size = 1100;  // room to remove bytes
    const std::vector<uint8_t> file = write_xm(song, &layout);
    const size_t size_field = layout.pattern_offsets[0] + 7, data = layout.pattern_offsets[0] + 9;
    // Packed data: 83 0d 01 | 81 0e | 80 | 80 (7 bytes). Cut it to 5 bytes and
    // move the second pattern 2 bytes forward: row 1 has no data and stays empty.
    ASSERT_EQ(file[size_field], 7);
    std::vector<uint8_t> cut = file;
    cut[size_field] = 5;
    cut.erase(cut.begin() + data + 5, cut.begin() + data + 7);
    loaded_song short_data(cut);
    ASSERT_EQ(short_data.result, 0);
    EXPECT_EQ(short_data.cell(0, 0, 1).note, 0x11);
    expect_empty_cell(short_data.cell(0, 1, 0));
    EXPECT_EQ(short_data.cell(1, 0, 0).note, 0x22);
    // Extra bytes behind the cells are skipped with the packed size.
    std::vector<uint8_t> padded = file;
    padded[size_field] = 9;
    padded.insert(padded.begin() + data + 7, {0x81, 0x01});
    loaded_song long_data(padded);
    ASSERT_EQ(long_data.result, 0);
    EXPECT_EQ(long_data.cell(1, 0, 0).note, 0x22);
    // A larger pattern header length moves the packed data with it.
    song.patterns[0].header_length = 20;
    loaded_song long_header(write_xm(song));
    ASSERT_EQ(long_header.result, 0);
    EXPECT_EQ(long_header.cell(0, 0, 1).note, 0x11);
    EXPECT_EQ(long_header.cell(1, 0, 0).note, 0x22);
}

TEST(XmPatterns, EffectTranslation) {
    // Dxx is decimal and not capped; the jump keeps its parameter in its own
    // slot, loop and delay leave theirs empty.
    const std::vector<effect_translation> table = {
        {0x0, 0x00, fx_none, 0x00},
        {0x0, 0x37, fx_arpeggio, 0x37},
        {0x1, 0x12, fx_xm_porta_up, 0x12},
        {0x2, 0x13, fx_xm_porta_down, 0x13},
        {0x3, 0x14, fx_tone_porta, 0x14},
        {0x4, 0x15, fx_vibrato, 0x15},
        {0x5, 0x16, fx_tone_porta_volume_slide, 0x16},
        {0x6, 0x17, fx_vibrato_volume_slide, 0x17},
        {0x7, 0x18, fx_tremolo, 0x18},
        {0x8, 0x19, fx_set_pan, 0x19},
        {0x9, 0x1a, fx_sample_offset, 0x1a},
        {0xa, 0x1b, fx_xm_volume_slide, 0x1b},
        {0xb, 0x05, fx_none, 0x05, fx_position_jump, 5},
        {0xc, 0x50, fx_set_volume, 64},
        {0xc, 0x20, fx_set_volume, 0x20},
        {0xd, 0x25, fx_none, 0x25, fx_pattern_break, 25},
        {0xd, 0xff, fx_none, 0xff, fx_pattern_break, 165},
        {0xe, 0x05, fx_none, 0x05},
        {0xe, 0x13, fx_fine_porta_up, 3},
        {0xe, 0x2a, fx_fine_porta_down, 0xa},
        {0xe, 0x31, fx_none, 0x31},
        {0xe, 0x41, fx_vibrato_waveform, 1},
        {0xe, 0x5f, fx_set_finetune, 15},
        {0xe, 0x63, fx_none, 0, fx_pattern_loop, 3},
        {0xe, 0x72, fx_tremolo_waveform, 2},
        {0xe, 0x84, fx_coarse_pan, 4},
        {0xe, 0x93, fx_retrigger, 3},
        {0xe, 0xa1, fx_fine_volume_up, 1},
        {0xe, 0xb2, fx_fine_volume_down, 2},
        {0xe, 0xc3, fx_note_cut, 3},
        {0xe, 0xd4, fx_note_delay, 4},
        {0xe, 0xe5, fx_none, 0, fx_pattern_delay, 5},
        {0xe, 0xf2, fx_none, 0xf2},
        {0xf, 0x06, fx_speed_tempo, 0x06},
        {0x10, 0x40, fx_set_global_volume, 0x40},
        {0x11, 0x21, fx_global_volume_slide, 0x21},
        {0x12, 0x44, fx_none, 0x44},
        {0x18, 0x01, fx_none, 0x01},
        {0x19, 0x0f, fx_pan_slide, 0x0f},
        {0x1a, 0x02, fx_none, 0x02},
        {0x21, 0x03, fx_none, 0x03},
    };
    std::vector<xm_cell> cells;
    for (const effect_translation& c : table) cells.push_back({0, 0, 0, static_cast<uint8_t>(c.command), c.param});
    loaded_song loaded(write_xm(song_with_cells(1, static_cast<uint16_t>(cells.size()), cells)));
    ASSERT_EQ(loaded.result, 0);
    expect_translations(loaded, table, 0, 1, fx_none);

    // Several row commands in one row: the channel further right wins.
    xm_song song = song_with_cells(3, 3,
                                   {{0, 0, 0, 0xb, 4},
                                    {0, 0, 0, 0xd, 0x10},
                                    {},
                                    {0, 0, 0, 0xe, 0x62},
                                    {},
                                    {0, 0, 0, 0xe, 0xe3},
                                    {0, 0, 0, 0xd, 0x01},
                                    {0, 0, 0, 0xb, 7},
                                    {0, 0, 0, 0xa, 0x10}});
    loaded_song rows(write_xm(song));
    ASSERT_EQ(rows.result, 0);
    const struct {
        u16 code;
        u8 param;
    } winners[] = {{fx_pattern_break, 10}, {fx_pattern_delay, 3}, {fx_position_jump, 7}};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(rows.global(0, row).effects[0], winners[row].code) << row;
        EXPECT_EQ(rows.global(0, row).params[0], winners[row].param) << row;
    }
}

TEST(XmLoader, SurplusChannelsAreSkippedButTheirRowCommandsKept) {
    const uint16_t channels = 40;
    std::vector<xm_cell> cells(2 * channels);
    for (int c = 0; c < channels; ++c) cells[c] = {static_cast<uint8_t>(c + 1), static_cast<uint8_t>(c + 1), 0, 0, 0};
    cells[channels + 31] = {0, 0, 0, 0xf, 5};
    cells[channels + 35] = {0, 0, 0, 0xd, 0x12};  // a break in a dropped channel still ends the pattern
    xm_song song = song_with_cells(channels, 2, cells);
    song.patterns.push_back(song_with_cells(channels, 1, {{xm_note(6, 6), 0, 0, 0, 0}}).patterns[0]);
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.context.channel_count, 33);
    for (int c = 0; c < 32; ++c) EXPECT_EQ(loaded.cell(0, 0, c).instrument, static_cast<u32>(c + 1));
    EXPECT_EQ(loaded.context.channels[32].enabled, 1);
    expect_empty_cell(loaded.global(0, 0));
    EXPECT_EQ(loaded.cell(0, 1, 31).effects[1], fx_speed_tempo);
    EXPECT_EQ(loaded.global(0, 1).effects[0], fx_pattern_break);
    EXPECT_EQ(loaded.global(0, 1).params[0], 12);
    EXPECT_EQ(loaded.cell(1, 0, 0).note, 0x66);

    loaded_song most(write_xm(song_with_cells(32, 1, {})));
    ASSERT_EQ(most.result, 0);
    EXPECT_EQ(most.context.channel_count, 33);
    expect_refused(write_xm(song_with_cells(0, 1, {})));
}

TEST(XmSamples, HeaderFieldsAndFinetuneRates) {
    xm_instrument instrument;
    instrument.name = "instrument of 22 bytes";
    const int8_t finetunes[] = {-128, 0, 127, 16};
    const u32 rates[] = {7893, 8363, 8856, 8423};  // 8363 x 2^(finetune / 1536), rounded down
    for (int8_t finetune : finetunes) {
        xm_sample sample = sample_8bit({1, 2, 3});
        sample.finetune = finetune;
        sample.volume = 48;
        sample.panning = 255;
        sample.relative_note = -12;
        sample.name = "a twenty-two char name";
        instrument.samples.push_back(sample);
    }
    xm_song song;
    song.instruments = {instrument};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(loaded.context.sample_count, 4);
    EXPECT_STREQ(loaded.context.instruments[0].name, "instrument of 22 bytes");
    for (int s = 0; s < 4; ++s) {
        const module_sample& sample = loaded.sample(s);
        EXPECT_EQ(sample.default_c_rate, rates[s]) << s;
        EXPECT_EQ(sample.c_rate, rates[s]);
        EXPECT_EQ(sample.finetune, finetunes[s]);
        EXPECT_EQ(sample.volume, 48);
        EXPECT_EQ(sample.xm_volume, 48);
        EXPECT_EQ(sample.panning, 63);
        EXPECT_EQ(sample.relative_note, -12);
        EXPECT_STREQ(sample.name, "a twenty-two char name");
    }
}

// Stored data is delta coded; the first stored value is the first frame itself.
// A 16-bit sample with an odd byte length keeps its whole frames, and the stray
// byte still counts when the next sample's data is found.
TEST(XmSamples, DeltaDecodingAndOddSixteenBitLengths) {
    xm_sample eight;
    eight.data = {0x10, 0x01, 0xff};
    const std::vector<int16_t> pcm = {1000, -32768, 32767, 0, -1, 12345};
    xm_sample odd = with_loop(sample_16bit({100, 200, 300}, xm_loop_forward), 3, 5);  // frames 1..3
    odd.data.push_back(0x55);
    xm_song song;
    song.instruments = {instrument_with({eight, sample_16bit(pcm), odd, sample_8bit({-5, 6})}),
                        instrument_with({sample_8bit({42})})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.frames<int8_t>(0), (std::vector<int8_t>{0x10, 0x11, 0x10}));
    EXPECT_EQ(loaded.sample(0).is_16bit, 0);
    EXPECT_EQ(loaded.frames<int16_t>(1), pcm);
    EXPECT_EQ(loaded.sample(1).is_16bit, 1);
    EXPECT_EQ(loaded.frames<int16_t>(2), (std::vector<int16_t>{100, 200, 300}));
    expect_sample(loaded.sample(2), 3, 1, 1, 3);
    EXPECT_EQ(loaded.frames<int8_t>(3), (std::vector<int8_t>{-5, 6}));
    EXPECT_EQ(loaded.frames<int8_t>(4), (std::vector<int8_t>{42}));
}

// Loop types 1 and 2 loop, 0 and 3 do not; 16-bit loop points are halved to
// frames; loops are kept inside the sample or dropped.
TEST(XmSamples, LoopTypesAndLoopsInsideTheSample) {
    const std::vector<int16_t> words(500, 7);
    const std::vector<int8_t> bytes(100, 1);
    const struct {
        xm_sample sample;
        u32 length;
        i32 looped, ping_pong;
        u32 loop_start, loop_end;
    } cases[] = {
        {with_loop(sample_16bit(words, xm_loop_none), 200, 600), 500, 0, 0, 499, 499},
        {with_loop(sample_16bit(words, xm_loop_forward), 200, 600), 500, 1, 0, 100, 400},
        {with_loop(sample_16bit(words, xm_loop_ping_pong), 200, 600), 500, 1, 1, 100, 400},
        {with_loop(sample_16bit(words, 3), 200, 600), 500, 0, 0, 499, 499},
        {with_loop(sample_16bit(words, xm_loop_forward), 100, 0), 500, 0, 0, 499, 499},  // zero length
        {with_loop(sample_8bit(bytes, xm_loop_ping_pong), 10, 70), 100, 1, 1, 10, 80},
        {with_loop(sample_8bit(bytes, xm_loop_forward), 60, 0xffffffff), 100, 1, 0, 60, 100},  // end past 32 bits
        {with_loop(sample_8bit(bytes, xm_loop_ping_pong), 100, 10), 100, 0, 0, 99, 99},        // starts at the end
        {with_loop(sample_8bit({}, xm_loop_forward), 0, 4), 0, 0, 0, 0xffffffff, 0xffffffff},
    };
    xm_instrument instrument;
    for (const auto& c : cases) instrument.samples.push_back(c.sample);
    xm_song song;
    song.instruments = {instrument};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        expect_sample(loaded.sample(static_cast<int>(i)), cases[i].length, cases[i].looped, cases[i].loop_start,
                      cases[i].loop_end);
        EXPECT_EQ(loaded.sample(static_cast<int>(i)).ping_pong, cases[i].ping_pong);
    }
}

TEST(XmSamples, TruncatedLastSampleKeepsTheFramesPresent) {
    std::vector<int16_t> pcm(300);
    for (int i = 0; i < 300; ++i) pcm[i] = static_cast<int16_t>(i * 100);
    xm_song song;
    song.instruments = {
        instrument_with({sample_8bit({1, 2, 3}), with_loop(sample_16bit(pcm, xm_loop_forward), 200, 300)})};
    song.minimum_size = 0;
    song.header_size = 976;  // keeps every cut point above the 1024 bytes the probe wants
    xm_layout layout;
    const std::vector<uint8_t> file = write_xm(song, &layout);
    const size_t data = layout.sample_data[1];
    ASSERT_GE(data, 1024u);
    const struct {
        size_t bytes_kept;  // of the 600 stored bytes
        u32 length;
        i32 looped;
        u32 loop_end;
    } cases[] = {
        {600, 300, 1, 250}, {401, 200, 1, 200},    {300, 150, 1, 150},    {203, 101, 1, 101},
        {200, 100, 0, 99},  {1, 0, 0, 0xffffffff}, {0, 0, 0, 0xffffffff},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes_kept);
        loaded_song loaded(std::vector<uint8_t>(file.begin(), file.begin() + data + c.bytes_kept));
        ASSERT_EQ(loaded.result, 0);
        expect_sample(loaded.sample(1), c.length, c.looped, c.looped ? 100 : c.loop_end, c.loop_end);
        EXPECT_EQ(loaded.frames<int16_t>(1), std::vector<int16_t>(pcm.begin(), pcm.begin() + c.length));
        EXPECT_EQ(loaded.sample(0).length, 3u);
    }
}

// Keymap entries point into the instrument's own samples, and entries naming a
// sample it lacks play nothing. An instrument without samples keeps its name
// and nothing else; header sizes move what follows them.
TEST(XmInstruments, KeymapsEmptyInstrumentsAndHeaderSizes) {
    xm_instrument first = instrument_with({sample_8bit({1}), sample_8bit({2})});
    first.keymap[95] = 1;
    first.keymap[10] = 200;
    xm_instrument second = instrument_with({sample_8bit({3}), sample_8bit({4}), sample_8bit({5})});
    for (int k = 0; k < 96; ++k) second.keymap[k] = static_cast<uint8_t>(k % 4);  // 3 names no sample
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
    song.instruments = {first, empty, second, padded_empty, padded, instrument_with({sample_8bit({7})})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    ASSERT_EQ(context.instrument_count, 6);
    ASSERT_EQ(context.sample_count, 7);
    const module_instrument &a = context.instruments[0], &b = context.instruments[2];
    EXPECT_EQ(a.note_samples[0x00], &context.samples[0]);
    EXPECT_EQ(a.note_samples[0x0a], nullptr);
    EXPECT_EQ(a.note_samples[0x7b], &context.samples[1]);  // note index 95: octave 7, B
    for (int n = 0; n < 4; ++n) EXPECT_EQ(b.note_samples[n], n < 3 ? &context.samples[2 + n] : nullptr) << n;
    EXPECT_EQ(b.note_samples[0x10], &context.samples[2]);  // note index 12: octave 1, C
    for (int n = 0; n < 256; ++n) {
        EXPECT_EQ(a.note_map[n], n);
        // Packed notes of semitones 12..15 and of octaves past 7 are outside the keymap.
        if ((n & 15) >= 12 || n >= 0x80) {
            EXPECT_EQ(a.note_samples[n], nullptr) << n;
        }
    }
    for (int i : {1, 3}) {
        const module_instrument& instrument = context.instruments[i];
        for (int n = 0; n < 256; ++n) ASSERT_EQ(instrument.note_samples[n], nullptr);
        EXPECT_EQ(instrument.fadeout, 0);
        EXPECT_EQ(instrument.volume_envelope.enabled, 0);
        EXPECT_EQ(instrument.note_map[77], 77);
    }
    EXPECT_STREQ(context.instruments[1].name, "silence");
    EXPECT_EQ(context.instruments[4].fadeout, 1234);
    EXPECT_EQ(context.instruments[4].note_samples[0], &context.samples[5]);
    EXPECT_EQ(loaded.frames<int8_t>(5), (std::vector<int8_t>{9, 18}));
    EXPECT_EQ(loaded.frames<int8_t>(6), (std::vector<int8_t>{7}));
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

// Sustain and loop count only with their flag bits, and nothing at all
// without the "on" bit or without points. Damage is repaired: ticks must
// increase, at most the 12 stored points are read, indices naming no point go.
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
    // Ticks 0, 5, 5, 3, 20: the third and fourth are moved just past their
    // predecessors; a loop running backwards (start 3, end 1) is no loop.
    damaged.panning_envelope = {{{0, 1}, {5, 2}, {5, 3}, {3, 4}, {20, 5}}, {}, 4, 3, 1, 7};
    // Nothing can follow tick 65535: the envelope ends there, and the sustain
    // point past the new end goes with it.
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

TEST(XmMalformed, HugeCountsAndOffsetsPastTheEnd) {
    enum part { song_header, first_pattern, first_instrument, first_sample_header };
    const struct {
        const char* what;
        part where;
        size_t field;  // offset within the part
        int width;     // bytes
        uint32_t value;
    } cases[] = {
        {"257 patterns", song_header, 70, 2, 257},
        {"65535 patterns", song_header, 70, 2, 65535},
        {"257 instruments", song_header, 72, 2, 257},
        {"instruments past the end", song_header, 72, 2, 200},
        {"header size past the end", song_header, 60, 4, 0xfffffff0},
        {"pattern header length past the end", first_pattern, 0, 4, 0x7fffffff},
        {"packed data past the end", first_pattern, 7, 2, 60000},
        {"instrument header size past the end", first_instrument, 0, 4, 0xfffff000},
        {"300 samples in an instrument", first_instrument, 27, 2, 300},
        {"sample header size past the end", first_instrument, 29, 4, 0xffffffff},
        {"a middle sample's data past the end", first_sample_header, 0, 4, 1u << 30},
    };
    xm_layout layout;
    const std::vector<uint8_t> file = write_xm(rich_song(), &layout);
    ASSERT_GT(file.size(), 1024u);  // no padding that a damaged count could read as more instruments
    const size_t part_offsets[] = {0, layout.pattern_offsets[0], layout.instrument_offsets[0],
                                   layout.sample_headers[0]};
    for (const auto& d : cases) {
        std::vector<uint8_t> damaged = file;
        for (int i = 0; i < d.width; ++i)
            damaged.at(part_offsets[d.where] + d.field + i) = static_cast<uint8_t>(d.value >> (8 * i));
        SCOPED_TRACE(d.what);
        expect_refused(damaged);
    }
}

// The fuzz seed declares 65535 channels and 256 patterns of 1024 rows, each
// pattern holding one packed byte: 2,896 bytes that once took half a minute to
// decode. The loader now stops at the end of each pattern's data; the bound
// here only guards against a hang, it is no speed goal.
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
    EXPECT_EQ(loaded.context.pattern_rows[255], 1024u);
    expect_empty_cell(loaded.cell(255, 1023, 32));
}

// Once the last instrument's sample headers are complete, whatever data is
// missing belongs to its samples and the song still loads; before that point
// a header or pattern is cut and the file is refused.
TEST(XmMalformed, EveryTruncationLoadsOrFailsCleanly) {
    xm_song song = rich_song();
    song.minimum_size = 0;
    song.header_size = 976;  // keeps every cut point inside the song above 1024 bytes
    xm_layout layout;
    const std::vector<uint8_t> file = write_xm(song, &layout);
    const size_t loads_from = layout.sample_data[1];
    load_every_prefix(file, module_load, [&](size_t size, const loaded_song& loaded) {
        EXPECT_EQ(loaded.result, size >= loads_from ? 0 : -1) << size;
        if (loaded.result) return;
        expect_samples_well_formed(loaded.context);
        EXPECT_EQ(loaded.context.instruments[2].note_samples[0], &loaded.context.samples[2]);
    });
}

}  // namespace
