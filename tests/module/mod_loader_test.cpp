#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mod_writer.h"
#include "module.h"

namespace {

// A context loaded by mod_load and released again when the test ends.
struct loaded_mod {
    module_context context;
    i32 result;

    explicit loaded_mod(const std::vector<uint8_t> &bytes) {
        std::memset(&context, 0, sizeof context);
        result = mod_load(bytes.data(), static_cast<i32>(bytes.size()), &context);
    }
    ~loaded_mod() {
        context.loaded = 1;
        module_free(&context);
    }
    loaded_mod(const loaded_mod &) = delete;
    loaded_mod &operator=(const loaded_mod &) = delete;

    const module_cell &cell(int pattern, int row, int column) const {
        return context.patterns[pattern][row * context.channel_count + column];
    }
    const module_cell &global(int pattern, int row) const { return cell(pattern, row, context.channel_count - 1); }
    std::vector<int8_t> sample_bytes(int index) const {
        const module_sample &sample = context.samples[index];
        const int8_t *from = static_cast<const int8_t *>(sample.data);
        return from ? std::vector<int8_t>(from, from + sample.length) : std::vector<int8_t>();
    }
};

std::vector<int8_t> ramp(int count, int first) {
    std::vector<int8_t> data;
    for (int i = 0; i < count; ++i) data.push_back(static_cast<int8_t>(first + i));
    return data;
}

mod_sample looped_sample(int bytes, uint16_t loop_start_words, uint16_t loop_length_words) {
    mod_sample sample;
    sample.name = "loop";
    sample.data = ramp(bytes, 1);
    sample.loop_start = loop_start_words;
    sample.loop_length = loop_length_words;
    return sample;
}

// What every successful load must hold, whatever the file said: samples own
// exactly their frames, loops stay inside them, and nothing more was taken
// from the file than it has.
void expect_consistent(const module_context &context, size_t file_size) {
    size_t frames = 0;
    for (i32 s = 0; s < context.sample_count; ++s) {
        const module_sample &sample = context.samples[s];
        EXPECT_EQ(sample.length == 0, sample.data == nullptr) << "sample " << s;
        if (sample.looped) {
            EXPECT_LT(sample.loop_start, sample.loop_end) << "sample " << s;
            EXPECT_LE(sample.loop_end, sample.length) << "sample " << s;
        } else {
            EXPECT_EQ(sample.loop_start, sample.length - 1) << "sample " << s;
            EXPECT_EQ(sample.loop_end, sample.length - 1) << "sample " << s;
        }
        frames += sample.length;
    }
    const size_t pattern_bytes = static_cast<size_t>(context.pattern_count) * 256 * (context.channel_count - 1);
    EXPECT_LE(frames + pattern_bytes, file_size);
    for (i32 p = 0; p < context.pattern_count; ++p) {
        EXPECT_NE(context.patterns[p], nullptr);
        EXPECT_EQ(context.pattern_rows[p], 64u);
    }
}

void expect_empty(const module_context &context) {
    EXPECT_EQ(context.loaded, 0);
    EXPECT_EQ(context.patterns, nullptr);
    EXPECT_EQ(context.instruments, nullptr);
    EXPECT_EQ(context.samples, nullptr);
    EXPECT_EQ(context.pattern_rows, nullptr);
}

TEST(ModLoad, MinimalFileThroughTheFormatTable) {
    mod_file file;
    file.title = "twenty characters!!!";
    std::vector<uint8_t> bytes = write_mod(file);
    ASSERT_EQ(bytes.size(), 1084u + 1024u);

    module_context context;
    std::memset(&context, 0, sizeof context);
    ASSERT_EQ(module_load(bytes.data(), static_cast<i32>(bytes.size()), &context), 0);
    EXPECT_EQ(context.loaded, 1);
    EXPECT_EQ(context.format_id, module_format_mod);
    EXPECT_EQ(std::string(context.title, 20), "twenty characters!!!");
    for (int i = 20; i < 28; ++i) EXPECT_EQ(context.title[i], 0);
    EXPECT_EQ(context.channel_count, 5);
    EXPECT_EQ(context.instrument_count, 31);
    EXPECT_EQ(context.sample_count, 31);
    EXPECT_EQ(context.pattern_count, 1);
    EXPECT_EQ(context.order_count, 1u);
    EXPECT_EQ(context.initial_speed, 6);
    EXPECT_EQ(context.initial_tempo, 125);
    EXPECT_EQ(context.global_volume, 64);
    EXPECT_EQ(context.restart_position, 0u);
    // An empty file cell decodes to "nothing"; slot 1 and the global column stay as created.
    const module_cell &cell = context.patterns[0][0];
    EXPECT_EQ(cell.instrument, 0u);
    EXPECT_EQ(cell.note, module_note_none);
    EXPECT_EQ(cell.volume, 255);
    EXPECT_EQ(cell.effects[0], fx_none);
    EXPECT_EQ(cell.effects[1], 65535);
    EXPECT_EQ(cell.params[1], 255);
    const module_cell &global = context.patterns[0][4];
    EXPECT_EQ(global.instrument, 4294967295u);
    EXPECT_EQ(global.effects[0], 65535);
    module_free(&context);
    expect_empty(context);
}

TEST(ModLoad, RefusesBadArgumentsAndLoadedRecords) {
    std::vector<uint8_t> bytes = write_mod(mod_file{});
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(mod_load(nullptr, 2000, &context), -1);
    EXPECT_EQ(mod_load(bytes.data(), static_cast<i32>(bytes.size()), nullptr), -1);
    EXPECT_EQ(mod_load(bytes.data(), -1, &context), -1);
    expect_empty(context);
    EXPECT_EQ(context.channel_count, 0);

    ASSERT_EQ(mod_load(bytes.data(), static_cast<i32>(bytes.size()), &context), 0);
    context.loaded = 1;
    module_pattern **patterns = context.patterns;
    // Loading over a loaded song would lose its blocks.
    EXPECT_EQ(mod_load(bytes.data(), static_cast<i32>(bytes.size()), &context), -1);
    EXPECT_EQ(context.patterns, patterns);
    module_free(&context);

    EXPECT_EQ(mod_probe(nullptr, 5000), 0u);
    EXPECT_EQ(mod_probe(bytes.data(), 1079), 0u);
}

TEST(ModLoad, SignaturesSetTheChannelCount) {
    const struct {
        const char *signature;
        int channels;
    } cases[] = {{"M.K.", 4}, {"FLT4", 4}, {"2CHN", 2}, {"6CHN", 6}, {"8CHN", 8}, {"10CH", 10}, {"12CH", 12},
                 {"14CH", 14}, {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22}, {"24CH", 24},
                 {"26CH", 26}, {"28CH", 28}, {"30CH", 30}, {"32CH", 32}};
    for (const auto &c : cases) {
        mod_file file;
        file.signature = c.signature;
        file.channels = c.channels;
        file.patterns = {mod_pattern(c.channels)};
        // A note in the last file channel proves the row width.
        file.patterns[0].at(1, c.channels - 1) = {1, 428, 0, 0};
        loaded_mod mod(write_mod(file));
        ASSERT_EQ(mod.result, 0) << c.signature;
        EXPECT_EQ(mod.context.channel_count, c.channels + 1) << c.signature;
        EXPECT_EQ(mod.context.pattern_count, 1) << c.signature;
        EXPECT_EQ(mod.cell(0, 1, c.channels - 1).note, 0x40) << c.signature;
        EXPECT_EQ(mod.cell(0, 1, c.channels - 1).instrument, 1u) << c.signature;
    }
}

TEST(ModLoad, ColumnsAreEnabledWithAmigaPanning) {
    mod_file file;
    file.signature = "8CHN";
    file.channels = 8;
    file.patterns = {mod_pattern(8)};
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    // Left, right, right, left per group of four; the global column (8) counts as one more.
    const u8 expected[9] = {167, 86, 86, 167, 167, 86, 86, 167, 167};
    for (int column = 0; column < 9; ++column) {
        EXPECT_EQ(mod.context.channels[column].enabled, 1) << column;
        EXPECT_EQ(mod.context.channels[column].default_pan, expected[column]) << column;
    }
    EXPECT_EQ(mod.context.channels[9].enabled, 0);

    loaded_mod four(write_mod(mod_file{}));
    EXPECT_EQ(four.context.channels[4].enabled, 1);
    EXPECT_EQ(four.context.channels[4].default_pan, 167);
}

TEST(ModLoad, FifteenSampleFileWithoutSignature) {
    mod_file file;
    file.header_count = 15;
    file.samples = {mod_sample{"first", 0, 40, 0, 1, ramp(6, 10)}};
    file.orders = {1, 0, 1};
    file.patterns = {mod_pattern(), mod_pattern()};
    file.patterns[1].at(0, 3) = {1, 856, 0xC, 0x20};
    std::vector<uint8_t> bytes = write_mod(file);
    ASSERT_EQ(bytes.size(), 600u + 2048u + 6u);
    EXPECT_EQ(bytes[470], 3);  // song length right after the 15 headers
    EXPECT_EQ(bytes[472], 1);  // order list

    loaded_mod mod(bytes);
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.instrument_count, 15);
    EXPECT_EQ(mod.context.sample_count, 15);
    EXPECT_EQ(mod.context.channel_count, 5);
    EXPECT_EQ(mod.context.order_count, 3u);
    EXPECT_EQ(mod.context.orders[0], 1);
    EXPECT_EQ(mod.context.orders[2], 1);
    EXPECT_EQ(mod.context.pattern_count, 2);
    EXPECT_EQ(mod.cell(1, 0, 3).note, 0x30);
    EXPECT_EQ(mod.cell(1, 0, 3).volume, 0x20);
    EXPECT_EQ(std::string(mod.context.samples[0].name), "first");
    EXPECT_EQ(mod.sample_bytes(0), ramp(6, 10));

    // Through the table too: the probe's trial load accepts it.
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(module_load(bytes.data(), static_cast<i32>(bytes.size()), &context), 0);
    EXPECT_EQ(context.instrument_count, 15);
    module_free(&context);
}

// Read as 15 samples, the pattern data starts at 600 and so takes in the
// signature bytes: "FL" is period 0x64C, which no note has.
TEST(ModLoad, UnlistedSignatureIsReadAsFifteenSamples) {
    mod_file file;
    file.signature = "FLT8";
    testing::internal::CaptureStderr();
    loaded_mod mod(write_mod(file));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 64c\n");
    EXPECT_EQ(mod.result, 1);
    EXPECT_EQ(mod.context.instrument_count, 15);
    EXPECT_EQ(mod.context.channel_count, 5);
    EXPECT_EQ(mod.context.pattern_count, 1);
}

// Exact files take the pattern count from the size and the samples from after
// the patterns; any other size counts patterns from the order list and takes
// the samples from the end of the file.
TEST(ModLoad, PatternCountAndSamplePlacement) {
    mod_file file;
    file.samples = {mod_sample{"a", 0, 64, 0, 1, ramp(10, 0)}, mod_sample{"b", 0, 64, 0, 1, ramp(6, 100)}};
    file.orders = {0, 0};
    file.patterns = {mod_pattern(), mod_pattern(), mod_pattern()};
    std::vector<uint8_t> exact = write_mod(file);
    {
        loaded_mod mod(exact);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 3);  // more than the order list uses
        EXPECT_EQ(mod.sample_bytes(0), ramp(10, 0));
        EXPECT_EQ(mod.sample_bytes(1), ramp(6, 100));
    }
    std::vector<uint8_t> appended = exact;
    appended.insert(appended.end(), {0x51, 0x52, 0x53});
    {
        loaded_mod mod(appended);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 1);  // 1 + highest order used
        // The last 16 bytes of the file are the sample data now.
        std::vector<int8_t> tail(appended.end() - 16, appended.end());
        EXPECT_EQ(mod.sample_bytes(0), std::vector<int8_t>(tail.begin(), tail.begin() + 10));
        EXPECT_EQ(mod.sample_bytes(1), std::vector<int8_t>(tail.begin() + 10, tail.end()));
    }
    // Only the first song-length entries count; without any, one pattern.
    file.orders = {0, 1, 2};
    file.song_length = 2;
    appended = write_mod(file);
    appended.push_back(0);
    {
        loaded_mod mod(appended);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 2);
    }
    // Header and samples alone: the size says no patterns at all.
    file.patterns.clear();
    {
        loaded_mod mod(write_mod(file));
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 0);
        EXPECT_NE(mod.context.patterns, nullptr);
        EXPECT_EQ(mod.sample_bytes(1), ramp(6, 100));
    }
    file.patterns = {mod_pattern(), mod_pattern(), mod_pattern()};
    file.song_length = 0;
    appended = write_mod(file);
    appended.push_back(0);
    {
        loaded_mod mod(appended);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.order_count, 0u);
        EXPECT_EQ(mod.context.pattern_count, 1);
    }
}

TEST(ModLoad, SongLengthIsCappedAtTheOrderList) {
    mod_file file;
    file.song_length = 200;
    file.orders.assign(128, 0);
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.order_count, 128u);
}

TEST(ModLoad, OrdersNamingPatternsThatAreNotThereAreMalformed) {
    mod_file file;
    file.orders = {0, 5};
    std::vector<uint8_t> bytes = write_mod(file);
    bytes.push_back(0);  // so that the order list decides
    loaded_mod mod(bytes);
    EXPECT_EQ(mod.result, -1);
    expect_empty(mod.context);
}

// Headers claim more sample data than the file holds: the samples follow the
// patterns and keep what is there.
TEST(ModLoad, SampleDataEndingEarly) {
    mod_file file;
    file.samples = {
        looped_sample(40, 4, 8),     // loop 8..24, survives whole
        looped_sample(100, 10, 30),  // loop 20..80, cut to 30 frames: loop_end clamped
        looped_sample(100, 20, 10),  // loop 40..60, wholly missing
    };
    std::vector<uint8_t> bytes = write_mod(file);
    const size_t pattern_end = 1084 + 1024;
    bytes.resize(pattern_end + 40 + 30);
    {
        loaded_mod mod(bytes);
        ASSERT_EQ(mod.result, 0);
        EXPECT_EQ(mod.context.pattern_count, 1);
        const module_sample *s = mod.context.samples;
        EXPECT_EQ(s[0].length, 40u);
        EXPECT_EQ(s[0].looped, 1);
        EXPECT_EQ(s[0].loop_start, 8u);
        EXPECT_EQ(s[0].loop_end, 24u);
        EXPECT_EQ(mod.sample_bytes(0), ramp(40, 1));
        EXPECT_EQ(s[1].length, 30u);
        EXPECT_EQ(s[1].looped, 1);
        EXPECT_EQ(s[1].loop_start, 20u);
        EXPECT_EQ(s[1].loop_end, 30u);
        EXPECT_EQ(mod.sample_bytes(1), ramp(30, 1));
        // Wholly missing: no frames, no block, no loop.
        EXPECT_EQ(s[2].length, 0u);
        EXPECT_EQ(s[2].data, nullptr);
        EXPECT_EQ(s[2].looped, 0);
        EXPECT_EQ(s[2].loop_start, 0xFFFFFFFFu);
        expect_consistent(mod.context, bytes.size());
    }
    // Cut inside the second sample before its loop begins: the loop goes.
    bytes.resize(pattern_end + 40 + 15);
    {
        loaded_mod mod(bytes);
        ASSERT_EQ(mod.result, 0);
        const module_sample &s = mod.context.samples[1];
        EXPECT_EQ(s.length, 15u);
        EXPECT_EQ(s.looped, 0);
        EXPECT_EQ(s.loop_start, 14u);
        EXPECT_EQ(s.loop_end, 14u);
    }
}

// Sample lengths adding up to exactly one pattern more than the file holds
// would give a remainder of minus one pattern; that describes no patterns, so
// the order list decides and the samples start after the real pattern.
TEST(ModLoad, NegativeRestIsNotAPatternCount) {
    mod_file file;
    file.samples = {mod_sample{"big", 0, 64, 0, 1, ramp(50, 0)}};
    std::vector<uint8_t> bytes = write_mod(file);
    const size_t header = mod_sample_header_offset(0);
    bytes[header + 22] = static_cast<uint8_t>((25 + 1024) >> 8);  // 50 + 2048 bytes claimed
    bytes[header + 23] = static_cast<uint8_t>((25 + 1024) & 0xff);
    loaded_mod mod(bytes);
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.pattern_count, 1);
    EXPECT_EQ(mod.sample_bytes(0), ramp(50, 0));
}

TEST(ModLoad, HugeSampleLengthsWithNoDataLoadEmptySamples) {
    std::vector<uint8_t> bytes = write_mod(mod_file{});
    for (int i = 0; i < 31; ++i) {
        bytes[mod_sample_header_offset(i) + 22] = 0xff;
        bytes[mod_sample_header_offset(i) + 23] = 0xff;
        bytes[mod_sample_header_offset(i) + 28] = 0x00;
        bytes[mod_sample_header_offset(i) + 29] = 0x20;  // a loop far outside any data
    }
    loaded_mod mod(bytes);
    ASSERT_EQ(mod.result, 0);
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(mod.context.samples[i].length, 0u);
        EXPECT_EQ(mod.context.samples[i].data, nullptr);
    }
    expect_consistent(mod.context, bytes.size());
}

TEST(ModLoad, SampleHeaders) {
    mod_file file;
    mod_sample named{"twenty-two characters!", 3, 70, 0, 1, ramp(8, -4)};
    file.samples = {named, looped_sample(20, 2, 2), looped_sample(20, 2, 1), mod_sample{}};
    file.samples[3].name = "empty";
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    const module_sample &s0 = mod.context.samples[0];
    EXPECT_EQ(std::string(s0.name), "twenty-two characters!");
    EXPECT_EQ(s0.volume, 70);  // kept as stored
    EXPECT_EQ(s0.default_c_rate, 8529u);
    EXPECT_EQ(s0.panning, 255);
    EXPECT_EQ(s0.is_16bit, 0);
    EXPECT_EQ(s0.is_stereo, 0);
    EXPECT_EQ(s0.ping_pong, 0);
    EXPECT_EQ(s0.finetune, 0);
    EXPECT_EQ(s0.relative_note, 0);
    EXPECT_EQ(s0.xm_volume, 0);
    EXPECT_EQ(s0.looped, 0);
    EXPECT_EQ(s0.loop_start, 7u);
    EXPECT_EQ(s0.loop_end, 7u);
    EXPECT_EQ(mod.sample_bytes(0), ramp(8, -4));  // signed bytes unchanged
    // Two words of loop loop; one word does not.
    EXPECT_EQ(mod.context.samples[1].looped, 1);
    EXPECT_EQ(mod.context.samples[1].loop_start, 4u);
    EXPECT_EQ(mod.context.samples[1].loop_end, 8u);
    EXPECT_EQ(mod.context.samples[2].looped, 0);
    EXPECT_EQ(mod.context.samples[2].loop_start, 19u);
    EXPECT_EQ(mod.context.samples[3].length, 0u);
    EXPECT_EQ(mod.context.samples[3].data, nullptr);
    EXPECT_EQ(mod.context.samples[3].loop_end, 0xFFFFFFFFu);

    for (int i = 0; i < 31; ++i) {
        const module_instrument &instrument = mod.context.instruments[i];
        EXPECT_STREQ(instrument.name, mod.context.samples[i].name);
        EXPECT_EQ(instrument.fadeout, 32767);
        EXPECT_EQ(instrument.volume_envelope.enabled, 0);
        EXPECT_EQ(instrument.panning_envelope.enabled, 0);
        EXPECT_EQ(instrument.volume_envelope.points, nullptr);
        for (int note = 0; note < 256; ++note) {
            ASSERT_EQ(instrument.note_samples[note], &mod.context.samples[i]);
            ASSERT_EQ(instrument.note_map[note], note);
        }
    }
}

TEST(ModLoad, LoopOvershootingTheSampleIsCut) {
    mod_file file;
    file.samples = {looped_sample(20, 5, 20), looped_sample(20, 10, 4)};
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.samples[0].looped, 1);
    EXPECT_EQ(mod.context.samples[0].loop_start, 10u);
    EXPECT_EQ(mod.context.samples[0].loop_end, 20u);
    EXPECT_EQ(mod.context.samples[1].looped, 0);  // starts at the end
    EXPECT_EQ(mod.context.samples[1].loop_start, 19u);
}

// Header nibble 0..7 tunes up, 8..15 down; the bits above the nibble are ignored.
TEST(ModLoad, FinetuneByteSelectsMiddleCRate) {
    const uint8_t bytes[] = {0, 1, 7, 8, 15, 0x17, 0xF8, 0xFF};
    const u32 rates[] = {8363, 8413, 8757, 7895, 8280, 8757, 7895, 8280};
    mod_file file;
    for (uint8_t finetune : bytes) file.samples.push_back(mod_sample{"", finetune, 64, 0, 1, {}});
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    for (size_t i = 0; i < sizeof bytes; ++i) EXPECT_EQ(mod.context.samples[i].default_c_rate, rates[i]) << int(bytes[i]);
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
    for (int semitone = 9; semitone < 12; ++semitone) cases.push_back({mod_period(0, semitone), static_cast<u8>(semitone)});
    cases.push_back({15, 0x8A});  // listed for two notes: the later one wins
    const expectation alternatives[] = {{75, 0x66}, {1140, 0x27}, {1280, 0x25}, {1524, 0x22},
                                        {1356, 0x24}, {1016, 0x29}, {692, 0x34}};
    cases.insert(cases.end(), std::begin(alternatives), std::end(alternatives));
    ASSERT_LE(cases.size(), 4u * 64u);

    mod_file file;
    file.patterns.clear();
    for (size_t i = 0; i < cases.size(); ++i) {
        if (i % 256 == 0) file.patterns.push_back(mod_pattern());
        file.patterns.back().at(static_cast<int>(i % 256) / 4, static_cast<int>(i % 4)) = {0x1F, cases[i].period, 0, 0};
    }
    file.patterns.back().at(63, 3) = {0x12, 0, 0, 0};  // sample without a note
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    for (size_t i = 0; i < cases.size(); ++i) {
        const module_cell &cell = mod.cell(static_cast<int>(i / 256), static_cast<int>(i % 256) / 4, static_cast<int>(i % 4));
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
    std::vector<uint8_t> bytes = write_mod(file);

    testing::internal::CaptureStderr();
    {
        loaded_mod mod(bytes);
        EXPECT_EQ(mod.result, 1);
        EXPECT_EQ(mod.context.pattern_count, 1);  // loaded all the same
        EXPECT_EQ(mod.cell(0, 0, 0).note, module_note_none);
        EXPECT_EQ(mod.cell(0, 0, 0).instrument, 1u);
        EXPECT_EQ(mod.cell(0, 6, 2).note, 0x40);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 1ab\nNote not found: abc\n");

    testing::internal::CaptureStderr();
    EXPECT_EQ(mod_probe(bytes.data(), static_cast<i32>(bytes.size())), 0u);
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(module_load(bytes.data(), static_cast<i32>(bytes.size()), &context), -1);
    testing::internal::GetCapturedStderr();
    expect_empty(context);
}

struct effect_case {
    uint8_t command;
    uint8_t param;
    u16 code;
    u8 code_param;
    u8 volume;
};

TEST(ModLoad, EffectTranslation) {
    const effect_case cases[] = {
        {0x0, 0x00, 0, 0, 255},     {0x0, 0x37, 1, 0x37, 255},  {0x1, 0x12, 2, 0x12, 255},
        {0x2, 0x13, 3, 0x13, 255},  {0x3, 0x14, 4, 0x14, 255},  {0x4, 0x15, 5, 0x15, 255},
        {0x5, 0x16, 6, 0x16, 255},  {0x6, 0x17, 7, 0x17, 255},  {0x7, 0x18, 8, 0x18, 255},
        {0x8, 0x80, 0, 0x80, 255},  {0x9, 0x19, 10, 0x19, 255}, {0xA, 0x1A, 11, 0x1A, 255},
        {0xC, 0x50, 0, 64, 64},     {0xC, 0x40, 0, 64, 64},     {0xC, 0x00, 0, 0, 0},
        {0xC, 0x21, 0, 0x21, 0x21}, {0xF, 0x7D, 29, 0x7D, 255}, {0xE, 0x01, 0, 0x01, 255},
        {0xE, 0x13, 15, 3, 255},    {0xE, 0x23, 16, 3, 255},    {0xE, 0x31, 0, 0x31, 255},
        {0xE, 0x41, 17, 1, 255},    {0xE, 0x58, 18, 8, 255},    {0xE, 0x50, 18, 0, 255},
        {0xE, 0x71, 20, 1, 255},    {0xE, 0x8F, 21, 15, 255},   {0xE, 0x93, 22, 3, 255},
        {0xE, 0xA2, 23, 2, 255},    {0xE, 0xB4, 24, 4, 255},    {0xE, 0xC5, 25, 5, 255},
        {0xE, 0xD6, 26, 6, 255},    {0xE, 0xF5, 0, 0xF5, 255},
    };
    mod_file file;
    int row = 0;
    for (const effect_case &c : cases) file.patterns[0].at(row++, 1) = {0, 0, c.command, c.param};
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);
    row = 0;
    for (const effect_case &c : cases) {
        const module_cell &cell = mod.cell(0, row, 1);
        SCOPED_TRACE(testing::Message() << "command " << int(c.command) << " param " << int(c.param));
        EXPECT_EQ(cell.effects[0], c.code);
        EXPECT_EQ(cell.params[0], c.code_param);
        EXPECT_EQ(cell.volume, c.volume);
        EXPECT_EQ(cell.effects[1], 65535);  // slot 1 is not written
        EXPECT_EQ(mod.global(0, row).effects[0], 65535);
        ++row;
    }
}

TEST(ModLoad, GlobalColumnRowCommands) {
    mod_file file;
    mod_pattern &p = file.patterns[0];
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
    loaded_mod mod(write_mod(file));
    ASSERT_EQ(mod.result, 0);

    auto expect_global = [&](int row, u16 code, u8 param0, u8 param1) {
        const module_cell &global = mod.global(0, row);
        EXPECT_EQ(global.effects[0], code) << "row " << row;
        EXPECT_EQ(global.params[0], param0) << "row " << row;
        EXPECT_EQ(global.params[1], param1) << "row " << row;
        EXPECT_EQ(global.effects[1], 65535) << "row " << row;
    };
    expect_global(0, fx_jump_and_break, 5, 12);
    expect_global(1, fx_position_jump, 5, 255);
    expect_global(2, fx_pattern_break, 63, 255);
    expect_global(3, fx_pattern_break, 0, 255);
    expect_global(4, fx_pattern_break, 0, 255);
    expect_global(5, fx_pattern_loop, 3, 255);
    expect_global(6, fx_pattern_delay, 4, 255);
    expect_global(7, fx_pattern_delay, 3, 255);
    expect_global(8, fx_position_jump, 9, 10);
    // The source cells keep no trace of the row command.
    const int sources[][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 3}, {5, 2}, {6, 2}, {7, 0}};
    for (const auto &source : sources) {
        const module_cell &cell = mod.cell(0, source[0], source[1]);
        EXPECT_EQ(cell.effects[0], fx_none);
        EXPECT_EQ(cell.params[0], 0);
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
    const std::vector<uint8_t> full = write_mod(file);
    const size_t pattern_end = 1084 + 2048;
    for (size_t size = 0; size <= full.size(); ++size) {
        std::vector<uint8_t> bytes(full.begin(), full.begin() + size);
        if (bytes.empty()) bytes.reserve(1);  // a valid pointer for the empty case
        {
            module_context context;
            std::memset(&context, 0, sizeof context);
            const i32 result = mod_load(bytes.data(), static_cast<i32>(size), &context);
            ASSERT_TRUE(result == 0 || result == -1) << size << " gave " << result;
            if (result == 0) {
                expect_consistent(context, size);
                if (size >= pattern_end) {
                    EXPECT_EQ(context.pattern_count, 2) << size;
                    EXPECT_EQ(context.samples[0].length + context.samples[1].length, size - pattern_end) << size;
                }
                context.loaded = 1;
                module_free(&context);
            } else {
                ASSERT_LT(size, pattern_end);
                expect_empty(context);
            }
        }
        module_context context;
        std::memset(&context, 0, sizeof context);
        if (module_load(bytes.data(), static_cast<i32>(size), &context) == 0) module_free(&context);
        expect_empty(context);
    }
}

TEST(ModWriter, LaysOutHeadersPatternsAndPaddedSamples) {
    mod_file file;
    file.title = "t";
    file.samples = {mod_sample{"s", 0x0F, 33, 3, 4, ramp(5, 0)}};
    file.patterns[0].at(0, 0) = {0x2A, 0x1AC, 0xE, 0x93};
    std::vector<uint8_t> bytes = write_mod(file);
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
