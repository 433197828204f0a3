#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "loader_test_support.h"
#include "mod_writer.h"
#include "module.h"

namespace {

std::vector<int8_t> ramp(int count, int first) {
    std::vector<int8_t> data;
    for (int i = 0; i < count; ++i) data.push_back(static_cast<int8_t>(first + i));
    return data;
}

mod_sample looped_sample(int bytes, uint16_t loop_start_words, uint16_t loop_length_words) {
    return mod_sample{"loop", 0, 64, loop_start_words, loop_length_words, ramp(bytes, 1)};
}

// A sample's stored length (in words) patched into a written file.
void patch_length_words(std::vector<uint8_t>& bytes, int sample, unsigned words) {
    bytes[mod_sample_header_offset(sample) + 22] = static_cast<uint8_t>(words >> 8);
    bytes[mod_sample_header_offset(sample) + 23] = static_cast<uint8_t>(words & 0xff);
}

// Besides well-formed samples, nothing more is taken from the file than it has.
void expect_consistent(const module_context& context, size_t file_size) {
    const size_t frames = expect_samples_well_formed(context);
    const size_t pattern_bytes = static_cast<size_t>(context.pattern_count) * 256 * (context.channel_count - 1);
    EXPECT_LE(frames + pattern_bytes, file_size);
    for (i32 p = 0; p < context.pattern_count; ++p) EXPECT_EQ(context.pattern_rows[p], 64u);
}

TEST(ModLoad, MinimalFileAndRefusals) {
    mod_file file;
    file.title = "twenty characters!!!";
    const std::vector<uint8_t> bytes = write_mod(file);
    ASSERT_EQ(bytes.size(), 1084u + 1024u);
    {
        loaded_song mod(bytes);  // through the format table
        ASSERT_EQ(mod.result, 0);
        const module_context& context = mod.context;
        EXPECT_EQ(context.format_id, module_format_mod);
        EXPECT_EQ(std::string(context.title, 20), "twenty characters!!!");
        EXPECT_EQ(context.title[20], 0);
        EXPECT_EQ(context.order_count, 1u);
        EXPECT_EQ(context.initial_speed, 6);
        EXPECT_EQ(context.initial_tempo, 125);
        EXPECT_EQ(context.global_volume, 64);
        // An empty file cell decodes to "nothing"; slot 1 and the global column stay as created.
        const module_cell& cell = mod.cell(0, 0, 0);
        EXPECT_EQ(cell.instrument, 0u);
        EXPECT_EQ(cell.note, module_note_none);
        EXPECT_EQ(cell.volume, 255);
        EXPECT_EQ(cell.effects[0], fx_none);
        EXPECT_EQ(cell.effects[1], 65535);
        EXPECT_EQ(mod.global(0, 0).instrument, 4294967295u);
    }
    const i32 size = static_cast<i32>(bytes.size());
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(mod_load(nullptr, 2000, &context), -1);
    EXPECT_EQ(mod_load(bytes.data(), size, nullptr), -1);
    EXPECT_EQ(mod_load(bytes.data(), -1, &context), -1);
    expect_empty_record(context);
    ASSERT_EQ(mod_load(bytes.data(), size, &context), 0);
    context.loaded = 1;
    module_pattern** patterns = context.patterns;
    // Loading over a loaded song would lose its blocks.
    EXPECT_EQ(mod_load(bytes.data(), size, &context), -1);
    EXPECT_EQ(context.patterns, patterns);
    module_free(&context);
    EXPECT_EQ(mod_probe(nullptr, 5000), 0u);
    EXPECT_EQ(mod_probe(bytes.data(), 1079), 0u);
}

TEST(ModLoad, SignaturesSetTheChannelsAndTheirAmigaPanning) {
    const struct {
        const char* signature;
        int channels;
    } cases[] = {{"M.K.", 4},  {"FLT4", 4},  {"2CHN", 2},  {"6CHN", 6},  {"8CHN", 8},  {"10CH", 10},
                 {"12CH", 12}, {"14CH", 14}, {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22},
                 {"24CH", 24}, {"26CH", 26}, {"28CH", 28}, {"30CH", 30}, {"32CH", 32}};
    // Left, right, right, left per group of four; the global column counts as one more.
    const u8 left = 86, right = 167, pans[4] = {right, left, left, right};
    for (const auto& c : cases) {
        mod_file file;
        file.signature = c.signature;
        file.channels = c.channels;
        file.patterns = {mod_pattern(c.channels)};
        // A note in the last file channel proves the row width.
        file.patterns[0].at(1, c.channels - 1) = {1, 428, 0, 0};
        loaded_song mod(write_mod(file), mod_load);
        SCOPED_TRACE(c.signature);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.channel_count, c.channels + 1);
        EXPECT_EQ(mod.context.pattern_count, 1);
        EXPECT_EQ(mod.cell(0, 1, c.channels - 1).note, 0x40);
        for (int column = 0; column < module_max_channels; ++column) {
            EXPECT_EQ(mod.context.channels[column].enabled, column <= c.channels ? 1 : 0) << column;
            if (column <= c.channels) {
                EXPECT_EQ(mod.context.channels[column].default_pan, pans[column % 4]) << column;
            }
        }
    }
}

TEST(ModLoad, FifteenSampleFileWithoutSignature) {
    mod_file file;
    file.header_count = 15;
    file.samples = {mod_sample{"first", 0, 40, 0, 1, ramp(6, 10)}};
    file.orders = {1, 0, 1};
    file.patterns = {mod_pattern(), mod_pattern()};
    file.patterns[1].at(0, 3) = {1, 856, 0xC, 0x20};
    const std::vector<uint8_t> bytes = write_mod(file);
    ASSERT_EQ(bytes.size(), 600u + 2048u + 6u);
    EXPECT_EQ(bytes[470], 3);  // song length right after the 15 headers
    loaded_song mod(bytes);    // through the table: the probe's trial load accepts it
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.instrument_count, 15);
    EXPECT_EQ(mod.context.sample_count, 15);
    EXPECT_EQ(mod.context.channel_count, 5);
    EXPECT_EQ(mod.context.order_count, 3u);
    EXPECT_EQ(mod.context.orders[2], 1);
    EXPECT_EQ(mod.context.pattern_count, 2);
    EXPECT_EQ(mod.cell(1, 0, 3).note, 0x30);
    EXPECT_EQ(mod.cell(1, 0, 3).volume, 0x20);
    EXPECT_EQ(std::string(mod.sample(0).name), "first");
    EXPECT_EQ(mod.frames<int8_t>(0), ramp(6, 10));

    // Read as 15 samples, an unlisted signature's file has its pattern data at
    // 600 and so takes in the signature bytes: "FL" is period 0x64C, which no note has.
    mod_file unlisted;
    unlisted.signature = "FLT8";
    testing::internal::CaptureStderr();
    loaded_song flt8(write_mod(unlisted), mod_load);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 64c\n");
    EXPECT_EQ(flt8.result, 1);
    EXPECT_EQ(flt8.context.instrument_count, 15);
    EXPECT_EQ(flt8.context.pattern_count, 1);
}

// Exact files take the pattern count from the size and the samples from after
// the patterns; any other size counts patterns from the order list and takes
// the samples from the end of the file.
TEST(ModLoad, PatternCountAndSamplePlacement) {
    mod_file file;
    file.samples = {mod_sample{"a", 0, 64, 0, 1, ramp(10, 0)}, mod_sample{"b", 0, 64, 0, 1, ramp(6, 100)}};
    file.orders = {0, 0};
    file.patterns = {mod_pattern(), mod_pattern(), mod_pattern()};
    const std::vector<uint8_t> exact = write_mod(file);
    {
        loaded_song mod(exact, mod_load);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 3);  // more than the order list uses
        EXPECT_EQ(mod.frames<int8_t>(0), ramp(10, 0));
        EXPECT_EQ(mod.frames<int8_t>(1), ramp(6, 100));
    }
    std::vector<uint8_t> appended = exact;
    appended.insert(appended.end(), {0x51, 0x52, 0x53});
    {
        loaded_song mod(appended, mod_load);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 1);  // 1 + highest order used
        const std::vector<int8_t> tail(appended.end() - 16, appended.end());
        EXPECT_EQ(mod.frames<int8_t>(0), std::vector<int8_t>(tail.begin(), tail.begin() + 10));
        EXPECT_EQ(mod.frames<int8_t>(1), std::vector<int8_t>(tail.begin() + 10, tail.end()));
    }
    // Only the first song-length entries count (none: one pattern); the
    // song length is capped at the 128 entries of the list.
    const struct {
        int song_length;
        std::vector<uint8_t> orders;
        u32 order_count;
        i32 pattern_count;
    } by_orders[] = {{2, {0, 1, 2}, 2, 2}, {0, {0, 1, 2}, 0, 1}, {200, std::vector<uint8_t>(128, 0), 128, 1}};
    for (const auto& c : by_orders) {
        file.song_length = c.song_length;
        file.orders = c.orders;
        std::vector<uint8_t> bytes = write_mod(file);
        bytes.push_back(0);
        loaded_song mod(bytes, mod_load);
        ASSERT_EQ(mod.result, 0) << c.song_length;
        EXPECT_EQ(mod.context.order_count, c.order_count) << c.song_length;
        EXPECT_EQ(mod.context.pattern_count, c.pattern_count) << c.song_length;
    }
    // Header and samples alone: the size says no patterns at all.
    file.song_length = -1;
    file.patterns.clear();
    {
        loaded_song mod(write_mod(file), mod_load);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 0);
        EXPECT_NE(mod.context.patterns, nullptr);
        EXPECT_EQ(mod.frames<int8_t>(1), ramp(6, 100));
    }
    // Orders naming patterns that are not there make the file malformed.
    mod_file missing;
    missing.orders = {0, 5};
    std::vector<uint8_t> bytes = write_mod(missing);
    bytes.push_back(0);
    expect_refused(bytes, mod_load);
}

// Sample lengths adding up to exactly one pattern more than the file holds
// would give a remainder of minus one pattern; that describes no patterns, so
// the order list decides and the samples start after the real pattern.
TEST(ModLoad, NegativeRestIsNotAPatternCount) {
    mod_file file;
    file.samples = {mod_sample{"big", 0, 64, 0, 1, ramp(50, 0)}};
    std::vector<uint8_t> bytes = write_mod(file);
    patch_length_words(bytes, 0, 25 + 1024);  // 50 + 2048 bytes claimed
    loaded_song mod(bytes, mod_load);
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.pattern_count, 1);
    EXPECT_EQ(mod.frames<int8_t>(0), ramp(50, 0));
}

TEST(ModLoad, SampleHeadersAndLoops) {
    mod_file file;
    file.samples = {mod_sample{"twenty-two characters!", 3, 70, 0, 1, ramp(8, -4)},
                    looped_sample(20, 2, 2),   // two words of loop loop
                    looped_sample(20, 2, 1),   // one word does not
                    looped_sample(20, 5, 20),  // overshooting loop: cut at the end
                    looped_sample(20, 10, 4),  // starting at the end: dropped
                    mod_sample{"empty", 0, 64, 0, 1, {}}};
    loaded_song mod(write_mod(file), mod_load);
    ASSERT_EQ(mod.result, 0);
    const module_sample& s0 = mod.sample(0);
    EXPECT_EQ(std::string(s0.name), "twenty-two characters!");
    EXPECT_EQ(s0.volume, 70);  // kept as stored
    EXPECT_EQ(s0.default_c_rate, 8529u);
    EXPECT_EQ(s0.panning, 255);
    EXPECT_EQ(s0.is_16bit, 0);
    EXPECT_EQ(mod.frames<int8_t>(0), ramp(8, -4));  // signed bytes unchanged
    expect_unlooped(s0, 8);
    expect_sample(mod.sample(1), 20, 1, 4, 8);
    expect_unlooped(mod.sample(2), 20);
    expect_sample(mod.sample(3), 20, 1, 10, 20);
    expect_unlooped(mod.sample(4), 20);
    expect_unlooped(mod.sample(5), 0);

    for (int i = 0; i < 31; ++i) {
        const module_instrument& instrument = mod.context.instruments[i];
        EXPECT_STREQ(instrument.name, mod.sample(i).name);
        EXPECT_EQ(instrument.fadeout, 32767);
        EXPECT_EQ(instrument.volume_envelope.enabled, 0);
        for (int note = 0; note < 256; ++note) {
            ASSERT_EQ(instrument.note_samples[note], &mod.context.samples[i]);
            ASSERT_EQ(instrument.note_map[note], note);
        }
    }

    // Header nibble 0..7 tunes up, 8..15 down; the bits above the nibble are ignored.
    const uint8_t finetunes[] = {0, 1, 7, 8, 15, 0x17, 0xF8, 0xFF};
    const u32 rates[] = {8363, 8413, 8757, 7895, 8280, 8757, 7895, 8280};
    mod_file tuned;
    for (uint8_t finetune : finetunes) tuned.samples.push_back(mod_sample{"", finetune, 64, 0, 1, {}});
    loaded_song tuned_mod(write_mod(tuned), mod_load);
    ASSERT_EQ(tuned_mod.result, 0);
    for (size_t i = 0; i < std::size(finetunes); ++i)
        EXPECT_EQ(tuned_mod.sample(static_cast<int>(i)).default_c_rate, rates[i]) << int(finetunes[i]);
}

// Headers claim more sample data than the file holds: the samples follow the
// patterns and keep what is there; loops are cut or dropped with them.
TEST(ModLoad, SampleDataEndingEarly) {
    mod_file file;
    file.samples = {
        looped_sample(40, 4, 8),     // loop 8..24, survives whole
        looped_sample(100, 10, 30),  // loop 20..80
        looped_sample(100, 20, 10),  // loop 40..60
    };
    const std::vector<uint8_t> full = write_mod(file);
    const size_t pattern_end = 1084 + 1024;
    const struct {
        size_t second_bytes;  // of the second sample's 100
        i32 looped;
    } cuts[] = {{30, 1}, {15, 0}};  // cut inside the loop, or before it begins
    for (const auto& cut : cuts) {
        std::vector<uint8_t> bytes(full.begin(), full.begin() + pattern_end + 40 + cut.second_bytes);
        loaded_song mod(bytes, mod_load);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 1);
        expect_sample(mod.sample(0), 40, 1, 8, 24);
        EXPECT_EQ(mod.frames<int8_t>(0), ramp(40, 1));
        const u32 length = static_cast<u32>(cut.second_bytes);
        expect_sample(mod.sample(1), length, cut.looped, cut.looped ? 20 : length - 1,
                      cut.looped ? length : length - 1);
        EXPECT_EQ(mod.frames<int8_t>(1), ramp(static_cast<int>(length), 1));
        expect_unlooped(mod.sample(2), 0);  // wholly missing: no frames, no block, no loop
        expect_consistent(mod.context, bytes.size());
    }

    // Huge lengths and loops with no data at all load empty samples.
    std::vector<uint8_t> bytes = write_mod(mod_file{});
    for (int i = 0; i < 31; ++i) {
        patch_length_words(bytes, i, 0xffff);
        bytes[mod_sample_header_offset(i) + 29] = 0x20;  // a loop far outside any data
    }
    loaded_song huge(bytes, mod_load);
    ASSERT_EQ(huge.result, 0);
    for (int i = 0; i < 31; ++i) expect_unlooped(huge.sample(i), 0);
}

TEST(ModLoad, PeriodsBecomePackedNotes) {
    struct expectation {
        uint16_t period;
        u8 note;
    };
    std::vector<expectation> cases;
    for (int octave = 1; octave <= 8; ++octave) {
        for (int semitone = 0; semitone < 12; ++semitone) {
            if (octave == 8 && semitone == 9) continue;  // period 15 again, checked below
            cases.push_back({mod_period(octave, semitone), static_cast<u8>(octave * 16 + semitone)});
        }
    }
    for (int semitone = 9; semitone < 12; ++semitone)
        cases.push_back({mod_period(0, semitone), static_cast<u8>(semitone)});
    // Period 15 is listed for two notes: the later one wins. Then the periods
    // some trackers wrote for notes of the table.
    cases.insert(
        cases.end(),
        {{15, 0x8A}, {75, 0x66}, {1140, 0x27}, {1280, 0x25}, {1524, 0x22}, {1356, 0x24}, {1016, 0x29}, {692, 0x34}});
    mod_file file;
    file.patterns.clear();
    for (size_t i = 0; i < cases.size(); ++i) {
        if (i % 256 == 0) file.patterns.push_back(mod_pattern());
        file.patterns.back().at(static_cast<int>(i % 256) / 4, static_cast<int>(i % 4)) = {0x1F, cases[i].period, 0, 0};
    }
    file.patterns.back().at(63, 3) = {0x12, 0, 0, 0};  // sample without a note
    loaded_song mod(write_mod(file), mod_load);
    ASSERT_EQ(mod.result, 0);
    for (size_t i = 0; i < cases.size(); ++i) {
        const module_cell& cell =
            mod.cell(static_cast<int>(i / 256), static_cast<int>(i % 256) / 4, static_cast<int>(i % 4));
        EXPECT_EQ(cell.note, cases[i].note) << "period " << cases[i].period;
        EXPECT_EQ(cell.instrument, 0x1Fu);
    }
    EXPECT_EQ(mod.cell(0, 63, 3).note, module_note_none);
    EXPECT_EQ(mod.cell(0, 63, 3).instrument, 0x12u);
}

TEST(ModLoad, UnknownPeriodIsReportedAndMakesTheDataNotMod) {
    mod_file file;
    file.patterns[0].at(0, 0) = {1, 427, 0, 0};
    file.patterns[0].at(5, 2) = {1, 0xABC, 0, 0};
    file.patterns[0].at(6, 2) = {1, 428, 0, 0};
    const std::vector<uint8_t> bytes = write_mod(file);
    testing::internal::CaptureStderr();
    {
        loaded_song mod(bytes, mod_load);
        EXPECT_EQ(mod.result, 1);
        EXPECT_EQ(mod.context.pattern_count, 1);  // loaded all the same
        EXPECT_EQ(mod.cell(0, 0, 0).note, module_note_none);
        EXPECT_EQ(mod.cell(0, 0, 0).instrument, 1u);
        EXPECT_EQ(mod.cell(0, 6, 2).note, 0x40);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 1ab\nNote not found: abc\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(mod_probe(bytes.data(), static_cast<i32>(bytes.size())), 0u);
    expect_refused(bytes);
    testing::internal::GetCapturedStderr();
}

TEST(ModLoad, EffectTranslation) {
    // Cxx is capped at 64; E0x, E3x and EFx have no translation and keep their byte.
    const std::vector<effect_translation> table = {
        {0x0, 0x00, fx_none, 0},
        {0x0, 0x37, fx_arpeggio, 0x37},
        {0x1, 0x12, fx_porta_up, 0x12},
        {0x2, 0x13, fx_porta_down, 0x13},
        {0x3, 0x14, fx_tone_porta, 0x14},
        {0x4, 0x15, fx_vibrato, 0x15},
        {0x5, 0x16, fx_tone_porta_volume_slide, 0x16},
        {0x6, 0x17, fx_vibrato_volume_slide, 0x17},
        {0x7, 0x18, fx_tremolo, 0x18},
        {0x8, 0x80, fx_none, 0x80},
        {0x9, 0x19, fx_sample_offset, 0x19},
        {0xA, 0x1A, fx_volume_slide, 0x1A},
        {0xC, 0x50, fx_none, 64},
        {0xC, 0x40, fx_none, 64},
        {0xC, 0x00, fx_none, 0},
        {0xC, 0x21, fx_none, 0x21},
        {0xF, 0x7D, fx_speed_tempo, 0x7D},
        {0xE, 0x01, fx_none, 0x01},
        {0xE, 0x13, fx_fine_porta_up, 3},
        {0xE, 0x23, fx_fine_porta_down, 3},
        {0xE, 0x31, fx_none, 0x31},
        {0xE, 0x41, fx_vibrato_waveform, 1},
        {0xE, 0x58, fx_set_finetune, 8},
        {0xE, 0x50, fx_set_finetune, 0},
        {0xE, 0x71, fx_tremolo_waveform, 1},
        {0xE, 0x8F, fx_coarse_pan, 15},
        {0xE, 0x93, fx_retrigger, 3},
        {0xE, 0xA2, fx_fine_volume_up, 2},
        {0xE, 0xB4, fx_fine_volume_down, 4},
        {0xE, 0xC5, fx_note_cut, 5},
        {0xE, 0xD6, fx_note_delay, 6},
        {0xE, 0xF5, fx_none, 0xF5},
    };
    mod_file file;
    for (size_t row = 0; row < table.size(); ++row)
        file.patterns[0].at(static_cast<int>(row), 1) = {0, 0, static_cast<uint8_t>(table[row].command),
                                                         table[row].param};
    loaded_song mod(write_mod(file), mod_load);
    ASSERT_EQ(mod.result, 0);
    expect_translations(mod, table, 1, 0, 65535);
    // Cxx is the cell's volume too; no other command sets one.
    for (size_t row = 0; row < table.size(); ++row)
        EXPECT_EQ(mod.cell(0, static_cast<int>(row), 1).volume, table[row].command == 0xC ? table[row].code_param : 255)
            << row;
}

TEST(ModLoad, GlobalColumnRowCommands) {
    mod_file file;
    mod_pattern& p = file.patterns[0];
    p.at(0, 0) = {0, 0, 0xB, 0x05};
    p.at(0, 1) = {0, 0, 0xD, 0x12};  // jump then break: one command
    p.at(1, 0) = {0, 0, 0xD, 0x12};
    p.at(1, 1) = {0, 0, 0xB, 0x05};  // break then jump: the break is lost
    p.at(2, 3) = {0, 0, 0xD, 0x63};  // decimal 63
    p.at(3, 3) = {0, 0, 0xD, 0x64};  // row 64 does not exist
    p.at(4, 3) = {0, 0, 0xD, 0xF9};  // 159
    p.at(5, 2) = {0, 0, 0xE, 0x63};
    p.at(6, 2) = {0, 0, 0xE, 0xE4};
    p.at(7, 0) = {0, 0, 0xE, 0x62};
    p.at(7, 3) = {0, 0, 0xE, 0xE3};  // further right wins
    p.at(8, 0) = {0, 0, 0xB, 0x07};
    p.at(8, 1) = {0, 0, 0xD, 0x10};
    p.at(8, 2) = {0, 0, 0xB, 0x09};  // a later jump replaces the joined command
    loaded_song mod(write_mod(file), mod_load);
    ASSERT_EQ(mod.result, 0);
    const struct {
        u16 code;
        u8 param0, param1;
    } expected[] = {{fx_jump_and_break, 5, 12}, {fx_position_jump, 5, 255}, {fx_pattern_break, 63, 255},
                    {fx_pattern_break, 0, 255}, {fx_pattern_break, 0, 255}, {fx_pattern_loop, 3, 255},
                    {fx_pattern_delay, 4, 255}, {fx_pattern_delay, 3, 255}, {fx_position_jump, 9, 10}};
    for (int row = 0; row < 9; ++row) {
        const module_cell& global = mod.global(0, row);
        EXPECT_EQ(global.effects[0], expected[row].code) << "row " << row;
        EXPECT_EQ(global.params[0], expected[row].param0) << "row " << row;
        EXPECT_EQ(global.params[1], expected[row].param1) << "row " << row;
    }
    // The source cells keep no trace of the row command.
    const int sources[][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 3}, {5, 2}, {6, 2}, {7, 0}};
    for (const auto& source : sources) {
        EXPECT_EQ(mod.cell(0, source[0], source[1]).effects[0], fx_none);
        EXPECT_EQ(mod.cell(0, source[0], source[1]).params[0], 0);
    }
}

// Every prefix of a valid file loads cleanly or is refused cleanly. Once the
// patterns are all there, the cut only shortens the samples.
TEST(ModLoad, EveryTruncationIsClean) {
    mod_file file;
    file.samples = {looped_sample(100, 10, 20), looped_sample(200, 0, 100)};
    file.orders = {0, 1};
    file.patterns = {mod_pattern(), mod_pattern()};
    file.patterns[0].at(0, 0) = {1, 428, 0xC, 0x30};
    file.patterns[1].at(63, 3) = {2, 214, 0xB, 0x00};
    const size_t pattern_end = 1084 + 2048;
    load_every_prefix(write_mod(file), mod_load, [&](size_t size, const loaded_song& mod) {
        if (mod.result) {
            EXPECT_LT(size, pattern_end);
            return;
        }
        expect_consistent(mod.context, size);
        if (size >= pattern_end) {
            EXPECT_EQ(mod.context.pattern_count, 2) << size;
            EXPECT_EQ(mod.sample(0).length + mod.sample(1).length, size - pattern_end) << size;
        }
    });
}

TEST(ModWriter, LaysOutHeadersPatternsAndPaddedSamples) {
    mod_file file;
    file.title = "t";
    file.samples = {mod_sample{"s", 0x0F, 33, 3, 4, ramp(5, 0)}};
    file.patterns[0].at(0, 0) = {0x2A, 0x1AC, 0xE, 0x93};
    const std::vector<uint8_t> bytes = write_mod(file);
    ASSERT_EQ(bytes.size(), 1084u + 1024u + 6u);
    const size_t header = mod_sample_header_offset(0);
    const std::vector<uint8_t> expected_header = {0x00, 0x03, 0x0F, 33, 0x00, 0x03, 0x00, 0x04};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + header + 22, bytes.begin() + header + 30), expected_header);
    EXPECT_EQ(bytes[mod_song_length_offset(31)], 1);
    EXPECT_EQ(bytes[mod_song_length_offset(31) + 1], 127);
    EXPECT_EQ(std::string(bytes.begin() + 1080, bytes.begin() + 1084), "M.K.");
    const size_t cell = mod_pattern_data_offset(31);
    const std::vector<uint8_t> expected_cell = {0x21, 0xAC, 0xAE, 0x93};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + cell, bytes.begin() + cell + 4), expected_cell);
    EXPECT_EQ(bytes.back(), 0);  // odd sample padded to whole words
}

}  // namespace
