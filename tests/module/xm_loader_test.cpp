#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "module.h"
#include "xm_writer.h"

namespace {

struct loaded_song {
    module_context context;
    i32 result;
    explicit loaded_song(const std::vector<uint8_t> &file) {
        std::memset(&context, 0, sizeof context);
        result = module_load(file.data(), static_cast<i32>(file.size()), &context);
    }
    ~loaded_song() { module_free(&context); }
    loaded_song(const loaded_song &) = delete;
    loaded_song &operator=(const loaded_song &) = delete;

    const module_cell &cell(int pattern, int row, int column) const {
        return context.patterns[pattern][row * context.channel_count + column];
    }
    const module_cell &global(int pattern, int row) const { return cell(pattern, row, context.channel_count - 1); }
};

void expect_empty_record(const module_context &context) {
    EXPECT_EQ(context.loaded, 0);
    EXPECT_EQ(context.patterns, nullptr);
    EXPECT_EQ(context.pattern_rows, nullptr);
    EXPECT_EQ(context.instruments, nullptr);
    EXPECT_EQ(context.samples, nullptr);
}

void expect_empty_cell(const module_cell &cell) {
    EXPECT_EQ(cell.instrument, 0u);
    EXPECT_EQ(cell.volume, 255);
    EXPECT_EQ(cell.note, 255);
    EXPECT_EQ(cell.effects[0], 0);
    EXPECT_EQ(cell.effects[1], 0);
    EXPECT_EQ(cell.params[0], 0);
    EXPECT_EQ(cell.params[1], 0);
}

// A song with one pattern whose cells are given row by row.
xm_song song_with_cells(uint16_t channels, uint16_t rows, std::vector<xm_cell> cells) {
    xm_song song;
    song.channels = channels;
    song.patterns[0].rows = rows;
    song.patterns[0].cells = std::move(cells);
    return song;
}

xm_sample sample_8bit(const std::vector<int8_t> &pcm, uint8_t type = xm_loop_none) {
    xm_sample sample;
    sample.data = xm_delta_8(pcm);
    sample.type = type;
    return sample;
}

xm_sample sample_16bit(const std::vector<int16_t> &pcm, uint8_t loop_type = xm_loop_none) {
    xm_sample sample;
    sample.data = xm_delta_16(pcm);
    sample.type = static_cast<uint8_t>(xm_sample_16bit | loop_type);
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
    xm_song song = song_with_cells(2, 4,
                                   {{xm_note(4, 0), 1, 0x40, 0x0, 0x37},
                                    {xm_key_off, 0, 0x65, 0xd, 0x12},
                                    {},
                                    {xm_note(2, 5), 2, 0, 0xe, 0x63}});
    xm_pattern unpacked;
    unpacked.rows = 2;
    unpacked.packing = xm_packing::unpacked;
    unpacked.cells = {{1, 1, 0x10, 0xf, 0x06}};
    song.patterns.push_back(unpacked);
    song.orders = {0, 1};

    std::vector<int8_t> wave;
    for (int i = 0; i < 200; ++i) wave.push_back(static_cast<int8_t>((i * 37) % 256 - 128));
    xm_instrument lead = instrument_with({sample_8bit(wave, xm_loop_forward)});
    lead.samples[0].loop_start = 20;
    lead.samples[0].loop_length = 100;
    lead.volume_envelope = {{{0, 64}, {10, 32}, {20, 0}}, {}, 1, 0, 1, xm_envelope_on | xm_envelope_sustain};
    lead.fadeout = 256;
    std::vector<int16_t> bass;
    for (int i = 0; i < 100; ++i) bass.push_back(static_cast<int16_t>(i * 650 - 32000));
    xm_instrument two = instrument_with({sample_16bit(bass, xm_loop_ping_pong), sample_8bit(wave)});
    two.samples[0].loop_start = 40;
    two.samples[0].loop_length = 60;
    two.keymap.fill(1);
    song.instruments = {lead, xm_instrument{}, two};
    return song;
}

TEST(XmProbe, NeedsSizeMagicAndMarkerByte) {
    std::vector<uint8_t> file = write_xm(xm_song{});
    ASSERT_EQ(file.size(), 1024u);
    EXPECT_EQ(xm_probe(file.data(), 1024), 1u);
    EXPECT_EQ(xm_probe(file.data(), 1023), 0u);
    EXPECT_EQ(xm_probe(nullptr, 1024), 0u);
    std::vector<uint8_t> bad_magic = file;
    bad_magic[16] = '_';  // "Extended Module_"
    EXPECT_EQ(xm_probe(bad_magic.data(), 1024), 0u);
    std::vector<uint8_t> bad_marker = file;
    bad_marker[37] = 0x1b;
    EXPECT_EQ(xm_probe(bad_marker.data(), 1024), 0u);

    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(xm_load(bad_marker.data(), 1024, &context), -1);
    EXPECT_EQ(xm_load(file.data(), 1023, &context), -1);
    EXPECT_EQ(xm_load(nullptr, 1024, &context), -1);
    expect_empty_record(context);
    EXPECT_EQ(context.format_id, 0u);
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
    const module_context &context = loaded.context;
    EXPECT_EQ(context.loaded, 1);
    EXPECT_EQ(context.format_id, module_format_xm);
    EXPECT_EQ(std::string(context.title, 20), "twenty-byte title ok");
    EXPECT_EQ(context.title[20], 0);
    EXPECT_EQ(context.order_count, 3u);
    // All 256 entries are taken, used or not.
    EXPECT_EQ(context.orders[0], 3);
    EXPECT_EQ(context.orders[4], 9);
    EXPECT_EQ(context.restart_position, 2u);
    EXPECT_EQ(context.linear_frequencies, 0);
    EXPECT_EQ(context.initial_speed, 6);
    EXPECT_EQ(context.initial_tempo, 0x90);
    EXPECT_EQ(context.global_volume, 64);
    EXPECT_EQ(context.unsigned_samples, 0);
    EXPECT_EQ(context.channel_count, 7);
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(context.channels[c].enabled, 1) << c;
        EXPECT_EQ(context.channels[c].default_pan, 128) << c;
    }
    EXPECT_EQ(context.channels[7].enabled, 0);
    EXPECT_EQ(context.pattern_count, 4);
    EXPECT_EQ(context.instrument_count, 0);
    EXPECT_EQ(context.sample_count, 0);

    song.flags = 1;
    song.song_length = 300;  // only 256 orders exist
    loaded_song linear(write_xm(song));
    ASSERT_EQ(linear.result, 0);
    EXPECT_EQ(linear.context.linear_frequencies, 1);
    EXPECT_EQ(linear.context.order_count, 256u);
}

TEST(XmPatterns, NotesInstrumentsAndVolumes) {
    xm_song song = song_with_cells(4, 2,
                                   {{1, 3, 0x10, 0, 0},
                                    {96, 255, 0x50, 0, 0},
                                    {97, 0, 0x51, 0, 0},
                                    {0, 7, 0, 0, 0},
                                    {98, 0, 0x30, 0, 0}});
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.cell(0, 0, 0).note, 0x00);
    EXPECT_EQ(loaded.cell(0, 0, 0).instrument, 3u);
    EXPECT_EQ(loaded.cell(0, 0, 0).volume, 0);
    EXPECT_EQ(loaded.cell(0, 0, 1).note, 0x7b);  // note 96: octave 7, B
    EXPECT_EQ(loaded.cell(0, 0, 1).instrument, 255u);
    EXPECT_EQ(loaded.cell(0, 0, 1).volume, 64);
    EXPECT_EQ(loaded.cell(0, 0, 2).note, 254);
    EXPECT_EQ(loaded.cell(0, 0, 2).volume, 255);
    EXPECT_EQ(loaded.cell(0, 0, 2).effects[0], 0);
    EXPECT_EQ(loaded.cell(0, 0, 3).note, 255);
    EXPECT_EQ(loaded.cell(0, 0, 3).instrument, 7u);
    // Notes past key off mean nothing.
    EXPECT_EQ(loaded.cell(0, 1, 0).note, 255);
    EXPECT_EQ(loaded.cell(0, 1, 0).volume, 0x20);
    EXPECT_EQ(loaded.global(0, 0).note, 255);
    expect_empty_cell(loaded.cell(0, 1, 1));
    expect_empty_cell(loaded.global(0, 1));
    EXPECT_EQ(xm_note(4, 7), 4 * 12 + 7 + 1);
    song.patterns[0].cells = {{xm_note(4, 7), 0, 0, 0, 0}};
    loaded_song g4(write_xm(song));
    EXPECT_EQ(g4.cell(0, 0, 0).note, 0x47);
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
    std::vector<uint8_t> packed_file = write_xm(packed);
    std::vector<uint8_t> unpacked_file = write_xm(unpacked);
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
    EXPECT_EQ(a.cell(0, 1, 0).instrument, 2u);
    EXPECT_EQ(a.cell(0, 1, 0).volume, 0x10);
    EXPECT_EQ(a.cell(0, 1, 0).effects[1], fx_vibrato);
    EXPECT_EQ(a.cell(0, 1, 0).params[1], 0x31);
    EXPECT_EQ(a.cell(0, 1, 1).effects[1], fx_set_volume);
    EXPECT_EQ(a.cell(0, 2, 0).effects[1], fx_arpeggio);  // a parameter alone, with effect 0
    EXPECT_EQ(a.cell(0, 2, 0).params[1], 0x11);
    EXPECT_EQ(a.cell(0, 3, 0).instrument, 6u);
    EXPECT_EQ(a.cell(0, 3, 0).effects[0], fx_xm_volume_slide);
    EXPECT_EQ(a.cell(1, 0, 0).note, 0x09);
    EXPECT_EQ(b.cell(1, 0, 0).note, 0x09);
    EXPECT_EQ(b.cell(1, 0, 0).instrument, 9u);
}

TEST(XmPatterns, EmptyShortAndLongPatterns) {
    xm_song song;
    song.patterns.clear();
    xm_pattern empty;
    empty.rows = 32;
    xm_pattern zero_rows;
    zero_rows.rows = 0;
    xm_pattern huge;
    huge.rows = 2000;
    huge.omit_empty_data = false;  // 2000 rows x 4 flag bytes of data follow
    xm_pattern last = song_with_cells(4, 1, {{0, 0, 0, 0xf, 3}}).patterns[0];
    song.patterns = {empty, zero_rows, huge, last};
    std::vector<uint8_t> file = write_xm(song);
    loaded_song loaded(file);
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.context.pattern_rows[0], 32u);
    for (int row = 0; row < 32; ++row)
        for (int column = 0; column < 5; ++column) expect_empty_cell(loaded.cell(0, row, column));
    EXPECT_EQ(loaded.context.pattern_rows[1], 64u);  // a stored 0 is the editors' 64
    expect_empty_cell(loaded.cell(1, 63, 4));
    EXPECT_EQ(loaded.context.pattern_rows[2], 1024u);  // rows past 1024 are dropped
    EXPECT_EQ(loaded.context.pattern_rows[3], 1u);
    EXPECT_EQ(loaded.cell(3, 0, 0).effects[1], fx_speed_tempo);
    EXPECT_EQ(loaded.cell(3, 0, 0).params[1], 3);
}

TEST(XmPatterns, PackedDataShorterOrLongerThanTheCells) {
    xm_layout layout;
    xm_song song = song_with_cells(2, 2, {{xm_note(1, 0), 1, 0, 0, 0}, {xm_note(1, 1), 0, 0, 0, 0}});
    song.patterns.push_back(song_with_cells(2, 1, {{xm_note(2, 2), 0, 0, 0, 0}}).patterns[0]);
    song.minimum_size = 1100;  // room to remove bytes
    std::vector<uint8_t> file = write_xm(song, &layout);
    size_t size_field = layout.pattern_offsets[0] + 7;
    // Packed data: 83 0d 01 | 81 0e | 80 | 80 (7 bytes). Cut it to 5 bytes and
    // move the second pattern 2 bytes forward: row 1 has no data and stays empty.
    ASSERT_EQ(file[size_field], 7);
    std::vector<uint8_t> cut = file;
    cut[size_field] = 5;
    cut.erase(cut.begin() + layout.pattern_offsets[0] + 9 + 5, cut.begin() + layout.pattern_offsets[0] + 9 + 7);
    loaded_song short_data(cut);
    ASSERT_EQ(short_data.result, 0);
    EXPECT_EQ(short_data.cell(0, 0, 0).note, 0x10);
    EXPECT_EQ(short_data.cell(0, 0, 1).note, 0x11);
    expect_empty_cell(short_data.cell(0, 1, 0));
    EXPECT_EQ(short_data.cell(1, 0, 0).note, 0x22);

    // Extra bytes behind the cells are skipped with the packed size.
    std::vector<uint8_t> padded = file;
    padded[size_field] = 9;
    padded.insert(padded.begin() + layout.pattern_offsets[0] + 9 + 7, {0x81, 0x01});
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

struct volume_case {
    uint8_t column;
    uint8_t volume;
    u16 code;
    uint8_t param;
};

TEST(XmPatterns, VolumeColumnTranslation) {
    const volume_case cases[] = {
        {0x00, 255, fx_none, 0},           {0x05, 255, fx_none, 0},           {0x10, 0, fx_none, 0},
        {0x35, 0x25, fx_none, 0},          {0x50, 64, fx_none, 0},            {0x51, 255, fx_none, 0},
        {0x5f, 255, fx_none, 0},           {0x63, 255, fx_xm_volume_slide, 3}, {0x7a, 255, fx_xm_volume_slide, 0xa0},
        {0x84, 255, fx_fine_volume_down, 4}, {0x9f, 255, fx_fine_volume_up, 15}, {0xa5, 255, fx_none, 0},
        {0xb5, 255, fx_none, 0},           {0xc8, 255, fx_set_pan, 0x80},     {0xd2, 255, fx_pan_slide, 2},
        {0xe3, 255, fx_pan_slide, 0x30},   {0xf7, 255, fx_none, 0},
    };
    std::vector<xm_cell> cells;
    for (const volume_case &c : cases) cells.push_back({0, 0, c.column, 0, 0});
    loaded_song loaded(write_xm(song_with_cells(1, static_cast<uint16_t>(cells.size()), cells)));
    ASSERT_EQ(loaded.result, 0);
    for (size_t i = 0; i < cells.size(); ++i) {
        const module_cell &cell = loaded.cell(0, static_cast<int>(i), 0);
        SCOPED_TRACE(testing::Message() << "volume column 0x" << std::hex << int(cases[i].column));
        EXPECT_EQ(cell.volume, cases[i].volume);
        EXPECT_EQ(cell.effects[0], cases[i].code);
        EXPECT_EQ(cell.params[0], cases[i].param);
        EXPECT_EQ(cell.effects[1], fx_none);
    }
}

struct effect_case {
    uint8_t type, param;
    u16 code;           // slot 1
    uint8_t slot_param;  // slot 1
    u16 global_code;    // global column slot 0
    uint8_t global_param;
};

TEST(XmPatterns, EffectTranslation) {
    const effect_case cases[] = {
        {0x0, 0x00, fx_none, 0x00, 0, 0},
        {0x0, 0x37, fx_arpeggio, 0x37, 0, 0},
        {0x1, 0x12, fx_xm_porta_up, 0x12, 0, 0},
        {0x2, 0x13, fx_xm_porta_down, 0x13, 0, 0},
        {0x3, 0x14, fx_tone_porta, 0x14, 0, 0},
        {0x4, 0x15, fx_vibrato, 0x15, 0, 0},
        {0x5, 0x16, fx_tone_porta_volume_slide, 0x16, 0, 0},
        {0x6, 0x17, fx_vibrato_volume_slide, 0x17, 0, 0},
        {0x7, 0x18, fx_tremolo, 0x18, 0, 0},
        {0x8, 0x19, fx_set_pan, 0x19, 0, 0},
        {0x9, 0x1a, fx_sample_offset, 0x1a, 0, 0},
        {0xa, 0x1b, fx_xm_volume_slide, 0x1b, 0, 0},
        {0xb, 0x05, fx_none, 0x05, fx_position_jump, 5},
        {0xc, 0x50, fx_set_volume, 64, 0, 0},
        {0xc, 0x20, fx_set_volume, 0x20, 0, 0},
        {0xd, 0x25, fx_none, 0x25, fx_pattern_break, 25},
        {0xd, 0xff, fx_none, 0xff, fx_pattern_break, 165},  // 15 x 10 + 15, not capped
        {0xe, 0x05, fx_none, 0x05, 0, 0},
        {0xe, 0x13, fx_fine_porta_up, 3, 0, 0},
        {0xe, 0x2a, fx_fine_porta_down, 0xa, 0, 0},
        {0xe, 0x31, fx_none, 0x31, 0, 0},
        {0xe, 0x41, fx_vibrato_waveform, 1, 0, 0},
        {0xe, 0x5f, fx_set_finetune, 15, 0, 0},
        {0xe, 0x63, fx_none, 0, fx_pattern_loop, 3},
        {0xe, 0x72, fx_tremolo_waveform, 2, 0, 0},
        {0xe, 0x84, fx_coarse_pan, 4, 0, 0},
        {0xe, 0x93, fx_retrigger, 3, 0, 0},
        {0xe, 0xa1, fx_fine_volume_up, 1, 0, 0},
        {0xe, 0xb2, fx_fine_volume_down, 2, 0, 0},
        {0xe, 0xc3, fx_note_cut, 3, 0, 0},
        {0xe, 0xd4, fx_note_delay, 4, 0, 0},
        {0xe, 0xe5, fx_none, 0, fx_pattern_delay, 5},
        {0xe, 0xf2, fx_none, 0xf2, 0, 0},
        {0xf, 0x06, fx_speed_tempo, 0x06, 0, 0},
        {0x10, 0x40, fx_set_global_volume, 0x40, 0, 0},
        {0x11, 0x21, fx_global_volume_slide, 0x21, 0, 0},
        {0x12, 0x44, fx_none, 0x44, 0, 0},
        {0x18, 0x01, fx_none, 0x01, 0, 0},
        {0x19, 0x0f, fx_pan_slide, 0x0f, 0, 0},
        {0x1a, 0x02, fx_none, 0x02, 0, 0},
        {0x21, 0x03, fx_none, 0x03, 0, 0},
    };
    std::vector<xm_cell> cells;
    for (const effect_case &c : cases) cells.push_back({0, 0, 0, c.type, c.param});
    loaded_song loaded(write_xm(song_with_cells(1, static_cast<uint16_t>(cells.size()), cells)));
    ASSERT_EQ(loaded.result, 0);
    for (size_t i = 0; i < cells.size(); ++i) {
        int row = static_cast<int>(i);
        SCOPED_TRACE(testing::Message() << "effect " << std::hex << int(cases[i].type) << "/" << int(cases[i].param));
        const module_cell &cell = loaded.cell(0, row, 0);
        EXPECT_EQ(cell.effects[1], cases[i].code);
        EXPECT_EQ(cell.params[1], cases[i].slot_param);
        EXPECT_EQ(cell.effects[0], fx_none);
        EXPECT_EQ(loaded.global(0, row).effects[0], cases[i].global_code);
        EXPECT_EQ(loaded.global(0, row).params[0], cases[i].global_param);
        EXPECT_EQ(loaded.global(0, row).effects[1], fx_none);
    }
}

TEST(XmPatterns, LaterChannelOverwritesGlobalColumn) {
    xm_song song = song_with_cells(3, 3,
                                   {{0, 0, 0, 0xb, 4}, {0, 0, 0, 0xd, 0x10}, {},
                                    {0, 0, 0, 0xe, 0x62}, {}, {0, 0, 0, 0xe, 0xe3},
                                    {0, 0, 0, 0xd, 0x01}, {0, 0, 0, 0xb, 7}, {0, 0, 0, 0xa, 0x10}});
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.global(0, 0).effects[0], fx_pattern_break);
    EXPECT_EQ(loaded.global(0, 0).params[0], 10);
    EXPECT_EQ(loaded.cell(0, 0, 0).params[1], 4);  // the jump keeps its parameter in its own slot
    EXPECT_EQ(loaded.global(0, 1).effects[0], fx_pattern_delay);
    EXPECT_EQ(loaded.global(0, 1).params[0], 3);
    EXPECT_EQ(loaded.cell(0, 1, 0).params[1], 0);  // the loop leaves its slot empty
    EXPECT_EQ(loaded.global(0, 2).effects[0], fx_position_jump);
    EXPECT_EQ(loaded.global(0, 2).params[0], 7);
    EXPECT_EQ(loaded.cell(0, 2, 2).effects[1], fx_xm_volume_slide);
}

TEST(XmChannels, SurplusChannelsAreSkippedButTheirRowCommandsKept) {
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
    for (int c = 0; c < 32; ++c) {
        EXPECT_EQ(loaded.cell(0, 0, c).instrument, static_cast<u32>(c + 1));
        EXPECT_EQ(loaded.context.channels[c].enabled, 1);
    }
    EXPECT_EQ(loaded.context.channels[32].enabled, 1);
    expect_empty_cell(loaded.global(0, 0));
    EXPECT_EQ(loaded.cell(0, 1, 31).effects[1], fx_speed_tempo);
    EXPECT_EQ(loaded.global(0, 1).effects[0], fx_pattern_break);
    EXPECT_EQ(loaded.global(0, 1).params[0], 12);
    EXPECT_EQ(loaded.cell(1, 0, 0).note, 0x66);

    xm_song one_channel_less = song_with_cells(32, 1, {});
    loaded_song most(write_xm(one_channel_less));
    ASSERT_EQ(most.result, 0);
    EXPECT_EQ(most.context.channel_count, 33);

    xm_song no_channels = song_with_cells(0, 1, {});
    loaded_song none(write_xm(no_channels));
    EXPECT_EQ(none.result, -1);
    expect_empty_record(none.context);
}

TEST(XmSamples, HeaderFieldsAndFinetuneRates) {
    xm_song song;
    xm_instrument instrument;
    const int8_t finetunes[] = {-128, 0, 127, 16};
    for (int8_t finetune : finetunes) {
        xm_sample sample = sample_8bit({1, 2, 3});
        sample.finetune = finetune;
        sample.volume = 48;
        sample.panning = 255;
        sample.relative_note = -12;
        sample.name = "a twenty-two char name";
        instrument.samples.push_back(sample);
    }
    instrument.name = "instrument of 22 bytes";
    song.instruments = {instrument};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(loaded.context.sample_count, 4);
    EXPECT_STREQ(loaded.context.instruments[0].name, "instrument of 22 bytes");
    const module_sample *samples = loaded.context.samples;
    EXPECT_EQ(samples[0].default_c_rate, 7893u);
    EXPECT_EQ(samples[1].default_c_rate, 8363u);
    EXPECT_EQ(samples[2].default_c_rate, 8856u);
    EXPECT_EQ(samples[3].default_c_rate, 8423u);  // 8363 x 2^(1/96) = 8423.6
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(samples[s].c_rate, samples[s].default_c_rate);
        EXPECT_EQ(samples[s].finetune, finetunes[s]);
        EXPECT_EQ(samples[s].volume, 48);
        EXPECT_EQ(samples[s].xm_volume, 48);
        EXPECT_EQ(samples[s].panning, 63);
        EXPECT_EQ(samples[s].relative_note, -12);
        EXPECT_EQ(samples[s].is_stereo, 0);
        EXPECT_STREQ(samples[s].name, "a twenty-two char name");
    }
}

TEST(XmSamples, DeltaDecodingOfBothWidths) {
    xm_song song;
    xm_sample eight;
    eight.data = {0x10, 0x01, 0xff};
    const std::vector<int16_t> pcm = {1000, -32768, 32767, 0, -1, 12345};
    song.instruments = {instrument_with({eight, sample_16bit(pcm)})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_sample &a = loaded.context.samples[0];
    ASSERT_EQ(a.length, 3u);
    EXPECT_EQ(a.is_16bit, 0);
    const int8_t *bytes = static_cast<const int8_t *>(a.data);
    EXPECT_EQ(bytes[0], 0x10);
    EXPECT_EQ(bytes[1], 0x11);
    EXPECT_EQ(bytes[2], 0x10);
    const module_sample &b = loaded.context.samples[1];
    ASSERT_EQ(b.length, 6u);
    EXPECT_EQ(b.is_16bit, 1);
    const int16_t *frames = static_cast<const int16_t *>(b.data);
    for (size_t f = 0; f < pcm.size(); ++f) EXPECT_EQ(frames[f], pcm[f]) << f;
    // The first stored value is the first frame itself.
    std::vector<uint8_t> stored = xm_delta_16(pcm);
    EXPECT_EQ(stored[0] | stored[1] << 8, 1000);
}

TEST(XmSamples, LoopTypesAndSixteenBitHalving) {
    std::vector<int16_t> pcm(500, 7);
    xm_sample none = sample_16bit(pcm, xm_loop_none), forward = sample_16bit(pcm, xm_loop_forward),
              ping_pong = sample_16bit(pcm, xm_loop_ping_pong), three = sample_16bit(pcm, 3),
              zero_length_loop = sample_16bit(pcm, xm_loop_forward);
    for (xm_sample *sample : {&none, &forward, &ping_pong, &three}) {
        sample->loop_start = 200;  // bytes: frame 100
        sample->loop_length = 600;  // bytes: 300 frames
    }
    zero_length_loop.loop_start = 100;
    xm_sample eight_bit = sample_8bit(std::vector<int8_t>(80, 1), xm_loop_ping_pong);
    eight_bit.loop_start = 10;
    eight_bit.loop_length = 70;
    xm_song song;
    song.instruments = {instrument_with({none, forward, ping_pong, three, zero_length_loop, eight_bit})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_sample *s = loaded.context.samples;
    EXPECT_EQ(s[0].length, 500u);  // 1000 bytes
    for (int i : {0, 3, 4}) {
        EXPECT_EQ(s[i].looped, 0) << i;
        EXPECT_EQ(s[i].ping_pong, 0) << i;
        EXPECT_EQ(s[i].loop_start, 499u) << i;
        EXPECT_EQ(s[i].loop_end, 499u) << i;
    }
    EXPECT_EQ(s[1].looped, 1);
    EXPECT_EQ(s[1].ping_pong, 0);
    EXPECT_EQ(s[1].loop_start, 100u);
    EXPECT_EQ(s[1].loop_end, 400u);
    EXPECT_EQ(s[2].looped, 1);
    EXPECT_EQ(s[2].ping_pong, 1);
    EXPECT_EQ(s[2].loop_end, 400u);
    EXPECT_EQ(s[5].looped, 1);
    EXPECT_EQ(s[5].ping_pong, 1);
    EXPECT_EQ(s[5].loop_start, 10u);
    EXPECT_EQ(s[5].loop_end, 80u);
}

TEST(XmSamples, LoopsAreKeptInsideTheSample) {
    xm_sample past_end = sample_8bit(std::vector<int8_t>(100, 1), xm_loop_forward);
    past_end.loop_start = 60;
    past_end.loop_length = 0xffffffff;  // would overflow a 32-bit end
    xm_sample starts_outside = sample_8bit(std::vector<int8_t>(100, 1), xm_loop_forward);
    starts_outside.loop_start = 100;
    starts_outside.loop_length = 10;
    xm_sample empty = sample_8bit({}, xm_loop_forward);
    empty.loop_length = 4;
    xm_song song;
    song.instruments = {instrument_with({past_end, starts_outside, empty})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_sample *s = loaded.context.samples;
    EXPECT_EQ(s[0].looped, 1);
    EXPECT_EQ(s[0].loop_start, 60u);
    EXPECT_EQ(s[0].loop_end, 100u);
    EXPECT_EQ(s[1].looped, 0);
    EXPECT_EQ(s[1].loop_start, 99u);
    EXPECT_EQ(s[1].loop_end, 99u);
    EXPECT_EQ(s[2].length, 0u);
    EXPECT_EQ(s[2].data, nullptr);
    EXPECT_EQ(s[2].looped, 0);
    EXPECT_EQ(s[2].loop_start, 0xffffffffu);
    EXPECT_EQ(s[2].loop_end, 0xffffffffu);
}

TEST(XmSamples, OddSixteenBitLengthSkipsTheStrayByte) {
    xm_sample odd = sample_16bit({100, 200, 300});
    odd.data.push_back(0x55);  // 7 stored bytes: 3 whole frames
    odd.loop_start = 3;        // bytes: frame 1
    odd.loop_length = 5;       // bytes: 2 frames
    odd.type |= xm_loop_forward;
    xm_sample next = sample_8bit({-5, 6});
    xm_song song;
    song.instruments = {instrument_with({odd, next}), instrument_with({sample_8bit({42})})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_sample *s = loaded.context.samples;
    ASSERT_EQ(s[0].length, 3u);
    EXPECT_EQ(static_cast<const int16_t *>(s[0].data)[2], 300);
    EXPECT_EQ(s[0].loop_start, 1u);
    EXPECT_EQ(s[0].loop_end, 3u);
    ASSERT_EQ(s[1].length, 2u);
    EXPECT_EQ(static_cast<const int8_t *>(s[1].data)[0], -5);
    EXPECT_EQ(static_cast<const int8_t *>(s[1].data)[1], 6);
    ASSERT_EQ(s[2].length, 1u);
    EXPECT_EQ(static_cast<const int8_t *>(s[2].data)[0], 42);
}

TEST(XmSamples, TruncatedLastSampleKeepsTheFramesPresent) {
    std::vector<int16_t> pcm(300);
    for (int i = 0; i < 300; ++i) pcm[i] = static_cast<int16_t>(i * 100);
    xm_sample last = sample_16bit(pcm, xm_loop_forward);
    last.loop_start = 2 * 100;
    last.loop_length = 2 * 150;
    xm_song song;
    song.instruments = {instrument_with({sample_8bit({1, 2, 3}), last})};
    song.minimum_size = 0;
    song.header_size = 976;  // keeps every cut point above the 1024 bytes the probe wants
    xm_layout layout;
    std::vector<uint8_t> file = write_xm(song, &layout);
    ASSERT_GE(layout.sample_data[1], 1024u);
    size_t data = layout.sample_data[1];

    struct cut_case {
        size_t bytes_kept;  // of the 600 stored bytes
        u32 length;
        i32 looped;
        u32 loop_end;
    };
    const cut_case cases[] = {
        {600, 300, 1, 250}, {401, 200, 1, 200}, {300, 150, 1, 150}, {203, 101, 1, 101},
        {200, 100, 0, 99},  {1, 0, 0, 0xffffffff}, {0, 0, 0, 0xffffffff},
    };
    for (const cut_case &c : cases) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + data + c.bytes_kept);
        SCOPED_TRACE(c.bytes_kept);
        loaded_song loaded(cut);
        ASSERT_EQ(loaded.result, 0);
        const module_sample &s = loaded.context.samples[1];
        EXPECT_EQ(s.length, c.length);
        EXPECT_EQ(s.looped, c.looped);
        EXPECT_EQ(s.loop_end, c.loop_end);
        if (c.length) {
            EXPECT_EQ(static_cast<const int16_t *>(s.data)[c.length - 1], pcm[c.length - 1]);
        } else {
            EXPECT_EQ(s.data, nullptr);
        }
        EXPECT_EQ(loaded.context.samples[0].length, 3u);
    }
}

TEST(XmInstruments, KeymapPointsIntoTheInstrumentsOwnSamples) {
    xm_instrument first = instrument_with({sample_8bit({1}), sample_8bit({2})});
    xm_instrument second = instrument_with({sample_8bit({3}), sample_8bit({4}), sample_8bit({5})});
    for (int k = 0; k < 96; ++k) second.keymap[k] = static_cast<uint8_t>(k % 4);  // 3 names no sample
    first.keymap[95] = 1;
    first.keymap[10] = 200;
    xm_song song;
    song.instruments = {first, second};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context &context = loaded.context;
    ASSERT_EQ(context.sample_count, 5);
    const module_instrument &a = context.instruments[0], &b = context.instruments[1];
    EXPECT_EQ(a.note_samples[0x00], &context.samples[0]);
    EXPECT_EQ(a.note_samples[0x0a], nullptr);
    EXPECT_EQ(a.note_samples[0x7b], &context.samples[1]);  // note index 95: octave 7, B
    EXPECT_EQ(b.note_samples[0x00], &context.samples[2]);
    EXPECT_EQ(b.note_samples[0x01], &context.samples[3]);
    EXPECT_EQ(b.note_samples[0x02], &context.samples[4]);
    EXPECT_EQ(b.note_samples[0x03], nullptr);
    EXPECT_EQ(b.note_samples[0x10], &context.samples[2]);  // note index 12: octave 1, C
    for (int n = 0; n < 256; ++n) {
        EXPECT_EQ(a.note_map[n], n);
        // Packed notes of semitones 12..15 and of octaves past 7 are outside the keymap.
        if ((n & 15) >= 12 || n >= 0x80) {
            EXPECT_EQ(a.note_samples[n], nullptr) << n;
        }
    }
}

TEST(XmInstruments, EmptyInstrumentsAndHeaderSizes) {
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
    song.instruments = {empty, padded_empty, padded, instrument_with({sample_8bit({7})})};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context &context = loaded.context;
    ASSERT_EQ(context.instrument_count, 4);
    ASSERT_EQ(context.sample_count, 2);
    for (int i : {0, 1}) {
        const module_instrument &instrument = context.instruments[i];
        for (int n = 0; n < 256; ++n) ASSERT_EQ(instrument.note_samples[n], nullptr);
        EXPECT_EQ(instrument.fadeout, 0);
        EXPECT_EQ(instrument.volume_envelope.enabled, 0);
        EXPECT_EQ(instrument.volume_envelope.points, nullptr);
        EXPECT_EQ(instrument.panning_envelope.enabled, 0);
        EXPECT_EQ(instrument.note_map[77], 77);
    }
    EXPECT_STREQ(context.instruments[0].name, "silence");
    EXPECT_EQ(context.instruments[2].fadeout, 1234);
    EXPECT_EQ(context.instruments[2].note_samples[0], &context.samples[0]);
    EXPECT_EQ(static_cast<const int8_t *>(context.samples[0].data)[1], 18);
    EXPECT_EQ(static_cast<const int8_t *>(context.samples[1].data)[0], 7);
}

TEST(XmInstruments, EnvelopeFlagsAndPoints) {
    xm_instrument instrument = instrument_with({sample_8bit({1})});
    instrument.volume_envelope = {{{0, 64}, {8, 40}, {16, 20}, {32, 0}}, {}, 1, 1, 2, xm_envelope_on | xm_envelope_loop};
    instrument.panning_envelope = {{{0, 32}, {4, 0}}, {}, 1, 0, 1, xm_envelope_on | xm_envelope_sustain};
    xm_instrument off = instrument;
    off.volume_envelope.type = xm_envelope_sustain | xm_envelope_loop;  // flags without "on"
    off.panning_envelope.stored_count = 0;                              // on, but no points
    xm_song song;
    song.instruments = {instrument, off};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_envelope &volume = loaded.context.instruments[0].volume_envelope;
    EXPECT_EQ(volume.enabled, 1);
    ASSERT_EQ(volume.point_count, 4);
    EXPECT_EQ(volume.loop_start, 1);
    EXPECT_EQ(volume.loop_end, 2);
    EXPECT_EQ(volume.sustain_point, 255);
    EXPECT_EQ(volume.points[2].tick, 16);
    EXPECT_EQ(volume.points[2].value, 20);
    EXPECT_EQ(volume.points[3].tick, 32);
    const module_envelope &panning = loaded.context.instruments[0].panning_envelope;
    EXPECT_EQ(panning.enabled, 1);
    ASSERT_EQ(panning.point_count, 2);
    EXPECT_EQ(panning.sustain_point, 1);
    EXPECT_EQ(panning.loop_start, 255);
    EXPECT_EQ(panning.loop_end, 255);
    EXPECT_EQ(panning.points[0].value, 32);
    for (const module_envelope *disabled : {&loaded.context.instruments[1].volume_envelope,
                                            &loaded.context.instruments[1].panning_envelope}) {
        EXPECT_EQ(disabled->enabled, 0);
        EXPECT_EQ(disabled->points, nullptr);
    }
}

TEST(XmInstruments, DamagedEnvelopesAreRepaired) {
    xm_instrument too_many = instrument_with({sample_8bit({1})});
    std::vector<xm_envelope_point> twelve;
    for (uint16_t i = 0; i < 12; ++i) twelve.push_back({static_cast<uint16_t>(i * 10), 64});
    // 200 points claimed, 12 stored; loop and sustain name points that do not exist.
    too_many.volume_envelope = {twelve, 200, 40, 11, 30, 7};
    // Ticks 0, 5, 5, 3, 20: the third and fourth are moved just past their predecessors.
    too_many.panning_envelope = {{{0, 1}, {5, 2}, {5, 3}, {3, 4}, {20, 5}}, {}, 4, 3, 1, 7};
    xm_instrument stuck = instrument_with({sample_8bit({1})});
    stuck.volume_envelope = {{{0, 1}, {65535, 2}, {100, 3}}, {}, 2, 0, 2, 7};
    xm_song song;
    song.instruments = {too_many, stuck};
    loaded_song loaded(write_xm(song));
    ASSERT_EQ(loaded.result, 0);
    const module_envelope &volume = loaded.context.instruments[0].volume_envelope;
    ASSERT_EQ(volume.point_count, 12);
    EXPECT_EQ(volume.points[11].tick, 110);
    EXPECT_EQ(volume.sustain_point, 255);
    EXPECT_EQ(volume.loop_start, 255);
    EXPECT_EQ(volume.loop_end, 255);
    const module_envelope &panning = loaded.context.instruments[0].panning_envelope;
    ASSERT_EQ(panning.point_count, 5);
    const uint16_t ticks[] = {0, 5, 6, 7, 20};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(panning.points[i].tick, ticks[i]) << i;
    EXPECT_EQ(panning.points[3].value, 4);
    EXPECT_EQ(panning.sustain_point, 4);
    // A loop running backwards (start 3, end 1) is no loop.
    EXPECT_EQ(panning.loop_start, 255);
    EXPECT_EQ(panning.loop_end, 255);
    // Nothing can follow tick 65535: the envelope ends there, and the
    // sustain point past the new end goes with it.
    const module_envelope &cut = loaded.context.instruments[1].volume_envelope;
    ASSERT_EQ(cut.point_count, 2);
    EXPECT_EQ(cut.points[1].tick, 65535);
    EXPECT_EQ(cut.sustain_point, 255);
    EXPECT_EQ(cut.loop_start, 255);
    EXPECT_EQ(cut.loop_end, 255);
}

TEST(XmMalformed, HugeCountsAndOffsetsPastTheEnd) {
    enum part { song_header, first_pattern, first_instrument, first_sample_header };
    struct damage {
        const char *what;
        part where;
        size_t field;  // offset within the part
        int width;     // bytes
        uint32_t value;
    };
    const damage cases[] = {
        {"257 patterns", song_header, 70, 2, 257},
        {"65535 patterns", song_header, 70, 2, 65535},
        {"257 instruments", song_header, 72, 2, 257},
        {"instruments past the end", song_header, 72, 2, 200},
        {"header size past the end", song_header, 60, 4, 0xfffffff0},
        {"pattern header length past the end", first_pattern, 0, 4, 0x7fffffff},
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
    for (const damage &d : cases) {
        std::vector<uint8_t> damaged = file;
        for (int i = 0; i < d.width; ++i)
            damaged.at(part_offsets[d.where] + d.field + i) = static_cast<uint8_t>(d.value >> (8 * i));
        loaded_song loaded(damaged);
        EXPECT_EQ(loaded.result, -1) << d.what;
        expect_empty_record(loaded.context);
    }
}

TEST(XmMalformed, PatternDataPastTheEndIsRefused) {
    xm_song song = song_with_cells(4, 64, {{1, 1, 0, 0, 0}});
    song.minimum_size = 0;
    xm_layout layout;
    std::vector<uint8_t> file = write_xm(song, &layout);
    file.resize(1200, 0);
    // The packed size claims 60000 bytes behind a 1200-byte file.
    file[layout.pattern_offsets[0] + 7] = 0x60;
    file[layout.pattern_offsets[0] + 8] = 0xea;
    loaded_song loaded(file);
    EXPECT_EQ(loaded.result, -1);
    expect_empty_record(loaded.context);
}

TEST(XmMalformed, EveryTruncationLoadsOrFailsCleanly) {
    xm_song song = rich_song();
    song.minimum_size = 0;
    song.header_size = 976;  // keeps every cut point inside the song above 1024 bytes
    xm_layout layout;
    std::vector<uint8_t> file = write_xm(song, &layout);
    // Once the last instrument's sample headers are complete, whatever data is
    // missing belongs to its samples and the song still loads; before that
    // point a header or pattern is cut and the file is refused.
    size_t loads_from = layout.sample_data[1];
    int loads = 0;
    for (size_t size = 0; size <= file.size(); ++size) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + size);
        module_context context;
        std::memset(&context, 0, sizeof context);
        i32 result = module_load(size ? cut.data() : file.data(), static_cast<i32>(size), &context);
        ASSERT_TRUE(result == 0 || result == -1) << size;
        if (result == 0) {
            ++loads;
            EXPECT_GE(size, loads_from) << size;
            EXPECT_EQ(context.instruments[2].note_samples[0], &context.samples[2]);
            module_free(&context);
        } else {
            expect_empty_record(context);
        }
    }
    EXPECT_EQ(loads, static_cast<int>(file.size() - loads_from + 1));
}

}  // namespace
