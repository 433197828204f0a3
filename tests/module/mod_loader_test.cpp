#include <gtest/gtest.h>

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

TEST(ModLoad, HeaderAndEmptyCells) {
    mod_file file;
    file.title = "twenty characters!!!";
    loaded_song mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.format_id, module_format_mod);
    EXPECT_EQ(std::string(mod.context.title), "twenty characters!!!");
    EXPECT_EQ(mod.context.initial_speed, 6);
    EXPECT_EQ(mod.context.initial_tempo, 125);
    EXPECT_EQ(mod.context.global_volume, 64);
    // An empty cell decodes to "nothing"; slot 1 and the global column stay as created.
    EXPECT_EQ(mod.cell(0, 0, 0).note, module_note_none);
    EXPECT_EQ(mod.cell(0, 0, 0).effects[1], 65535);
    EXPECT_EQ(mod.global(0, 0).instrument, 4294967295u);
}

TEST(ModLoad, SignaturesSetTheChannelsAndTheirAmigaPanning) {
    const struct {
        const char* signature;
        int channels;
    } cases[] = {{"M.K.", 4}, {"FLT4", 4}, {"2CHN", 2}, {"8CHN", 8}, {"12CH", 12}, {"24CH", 24}, {"32CH", 32}};
    // Left, right, right, left per group of four; the global column counts as one more.
    const u8 left = 86, right = 167, pans[4] = {right, left, left, right};
    for (const auto& c : cases) {
        mod_file file;
        file.signature = c.signature;
        file.channels = c.channels;
        file.patterns = {mod_pattern(c.channels)};
        file.patterns[0].at(1, c.channels - 1) = {1, 428, 0, 0};  // proves the row width
        loaded_song mod(write_mod(file), mod_load);
        SCOPED_TRACE(c.signature);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.channel_count, c.channels + 1);
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
    loaded_song mod(write_mod(file));  // through the table: the probe's trial load accepts it
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.sample_count, 15);
    EXPECT_EQ(mod.context.channel_count, 5);
    EXPECT_EQ(mod.context.order_count, 3u);
    EXPECT_EQ(mod.context.pattern_count, 2);
    EXPECT_EQ(mod.cell(1, 0, 3).note, 0x30);
    EXPECT_EQ(mod.frames<int8_t>(0), ramp(6, 10));

    // Read as 15 samples, an unlisted signature's file has its pattern data at 600 and so
    // takes in the signature bytes: "FL" is period 0x64C, which no note has.
    mod_file unlisted;
    unlisted.signature = "FLT8";
    testing::internal::CaptureStderr();
    loaded_song flt8(write_mod(unlisted), mod_load);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 64c\n");
    EXPECT_EQ(flt8.result, 1);
    EXPECT_EQ(flt8.context.instrument_count, 15);
}

// Exact files take the pattern count from the size and the samples from after the patterns;
// any other size counts patterns from the order list and takes the samples from the end.
TEST(ModLoad, PatternCountAndSamplePlacement) {
    mod_file file;
    file.samples = {mod_sample{"a", 0, 64, 0, 1, ramp(10, 0)}, mod_sample{"b", 0, 64, 0, 1, ramp(6, 100)}};
    file.orders = {0, 0};
    file.patterns = {mod_pattern(), mod_pattern(), mod_pattern()};
    const std::vector<uint8_t> exact = write_mod(file);
    std::vector<uint8_t> appended = exact;
    appended.insert(appended.end(), {0x51, 0x52, 0x53});
    const std::vector<int8_t> tail(appended.end() - 16, appended.end());
    // Sample lengths adding up to one pattern more than the file holds give a remainder of
    // minus one pattern, which describes no patterns: the order list decides.
    mod_file big;
    big.samples = {mod_sample{"big", 0, 64, 0, 1, ramp(50, 0)}};
    std::vector<uint8_t> negative_rest = write_mod(big);
    patch_length_words(negative_rest, 0, 25 + 1024);
    file.patterns.clear();
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        i32 patterns;
        std::vector<int8_t> first, second;
    } cases[] = {
        {"exact", exact, 3, ramp(10, 0), ramp(6, 100)},
        {"appended", appended, 1, {tail.begin(), tail.begin() + 10}, {tail.begin() + 10, tail.end()}},
        {"negative rest", negative_rest, 1, ramp(50, 0), {}},
        {"header and samples alone", write_mod(file), 0, ramp(10, 0), ramp(6, 100)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        loaded_song mod(c.bytes, mod_load);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, c.patterns);
        EXPECT_NE(mod.context.patterns, nullptr);
        EXPECT_EQ(mod.frames<int8_t>(0), c.first);
        EXPECT_EQ(mod.frames<int8_t>(1), c.second);
    }
    // Only the first song-length entries count; the song length is capped at the list's 128.
    const struct {
        int song_length;
        std::vector<uint8_t> orders;
        u32 order_count;
        i32 pattern_count;
    } by_orders[] = {{2, {0, 1, 2}, 2, 2}, {0, {0, 1, 2}, 0, 1}, {200, std::vector<uint8_t>(128, 0), 128, 1}};
    file.patterns.assign(3, mod_pattern());
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
}

TEST(ModLoad, SampleHeadersLoopsAndData) {
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
    EXPECT_EQ(s0.panning, 255);
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
        EXPECT_EQ(instrument.note_samples[i * 8], &mod.context.samples[i]);
        EXPECT_EQ(instrument.note_map[255 - i], 255 - i);
    }
    // Header nibble 0..7 tunes up, 8..15 down; the bits above the nibble are ignored.
    const uint8_t finetunes[] = {0, 7, 8, 15, 0xF8};
    const u32 rates[] = {8363, 8757, 7895, 8280, 7895};
    mod_file tuned;
    for (uint8_t finetune : finetunes) tuned.samples.push_back(mod_sample{"", finetune, 64, 0, 1, {}});
    loaded_song tuned_mod(write_mod(tuned), mod_load);
    for (size_t i = 0; i < std::size(finetunes); ++i)
        EXPECT_EQ(tuned_mod.sample(static_cast<int>(i)).default_c_rate, rates[i]) << int(finetunes[i]);
}

// Headers claim more sample data than the file holds: the samples follow the patterns and keep
// what is there; loops are cut or dropped with them.
TEST(ModLoad, SampleDataEndingEarly) {
    mod_file file;
    file.samples = {looped_sample(40, 4, 8), looped_sample(100, 10, 30), looped_sample(100, 20, 10)};
    const std::vector<uint8_t> full = write_mod(file);
    const size_t pattern_end = 1084 + 1024;
    for (const auto& [second_bytes, looped] : {std::pair<u32, i32>{30, 1}, {15, 0}}) {  // inside the loop, before it
        loaded_song mod(std::vector<uint8_t>(full.begin(), full.begin() + pattern_end + 40 + second_bytes), mod_load);
        ASSERT_EQ(mod.result, 0);
        expect_sample(mod.sample(0), 40, 1, 8, 24);
        expect_sample(mod.sample(1), second_bytes, looped, looped ? 20 : second_bytes - 1,
                      looped ? second_bytes : second_bytes - 1);
        EXPECT_EQ(mod.frames<int8_t>(1), ramp(static_cast<int>(second_bytes), 1));
        expect_unlooped(mod.sample(2), 0);  // wholly missing: no frames, no block, no loop
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
    std::vector<std::pair<uint16_t, u8>> cases;
    for (int octave = 1; octave <= 8; ++octave)
        for (int semitone = 0; semitone < 12; ++semitone)
            if (octave != 8 || semitone != 9) cases.push_back({mod_period(octave, semitone), octave * 16 + semitone});
    for (int semitone = 9; semitone < 12; ++semitone) cases.push_back({mod_period(0, semitone), semitone});
    // Period 15 is listed for two notes: the later one wins. Then the periods some trackers
    // wrote for notes of the table.
    cases.insert(
        cases.end(),
        {{15, 0x8A}, {75, 0x66}, {1140, 0x27}, {1280, 0x25}, {1524, 0x22}, {1356, 0x24}, {1016, 0x29}, {692, 0x34}});
    mod_file file;
    file.patterns.clear();
    for (size_t i = 0; i < cases.size(); ++i) {
        if (i % 256 == 0) file.patterns.push_back(mod_pattern());
        file.patterns.back().at(static_cast<int>(i % 256) / 4, static_cast<int>(i % 4)) = {0x1F, cases[i].first, 0, 0};
    }
    file.patterns.back().at(63, 3) = {0x12, 0, 0, 0};  // sample without a note
    loaded_song mod(write_mod(file), mod_load);
    ASSERT_EQ(mod.result, 0);
    for (size_t i = 0; i < cases.size(); ++i) {
        const module_cell& cell =
            mod.cell(static_cast<int>(i / 256), static_cast<int>(i % 256) / 4, static_cast<int>(i % 4));
        EXPECT_EQ(cell.note, cases[i].second) << "period " << cases[i].first;
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

}  // namespace
