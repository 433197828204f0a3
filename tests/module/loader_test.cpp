// The bounded reader and the MOD, S3M and XM loaders: what each format's fields become, the
// translations that are not one code for one command, which row command a row keeps, the entry
// points' refusals, damaged files of every kind; then whole songs: the first pass, the row cap,
// seeking refused, freeing and loading again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "mod_writer.h"
#include "module.h"
#include "reader.h"
#include "s3m_writer.h"
#include "xm_writer.h"

namespace {

// A file of the source tree, by its path from the tree's root.
std::vector<uint8_t> source_file(const std::string& path) {
    std::ifstream in(std::string(AMBREL_SOURCE_DIR) + "/" + path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using load_function = i32 (*)(const u8*, i32, module_context*);

// A record loaded from `file` by `load` and released when the test ends. A format's own loader
// leaves `loaded` to the format table, so a song it loaded is marked here for module_free.
struct loaded_song {
    module_context context;
    i32 result;

    explicit loaded_song(const std::vector<uint8_t>& file, load_function load = module_load) {
        std::memset(&context, 0, sizeof context);
        result = load(file.data(), static_cast<i32>(file.size()), &context);
    }
    ~loaded_song() {
        if (result >= 0) context.loaded = 1;
        module_free(&context);
    }
    loaded_song(const loaded_song&) = delete;
    loaded_song& operator=(const loaded_song&) = delete;

    const module_cell& cell(int pattern, int row, int column) const {
        return context.patterns[pattern][static_cast<size_t>(row) * context.channel_count + column];
    }
    const module_cell& global(int pattern, int row) const { return cell(pattern, row, context.channel_count - 1); }
    const module_sample& sample(int index) const { return context.samples[index]; }
    // The frames of a sample as the player reads them: `length` values of T.
    template <class T>
    std::vector<T> frames(int index) const {
        const module_sample& s = context.samples[index];
        const T* values = static_cast<const T*>(s.data);
        return values ? std::vector<T>(values, values + s.length) : std::vector<T>();
    }
};

// A failed load leaves the record without any song block.
void expect_empty_record(const module_context& context) {
    EXPECT_EQ(context.loaded, 0);
    EXPECT_EQ(context.patterns, nullptr);
    EXPECT_EQ(context.pattern_rows, nullptr);
    EXPECT_EQ(context.instruments, nullptr);
    EXPECT_EQ(context.samples, nullptr);
    EXPECT_EQ(context.format_id, 0u);
}

void expect_refused(const std::vector<uint8_t>& file, load_function load = module_load) {
    loaded_song song(file, load);
    EXPECT_EQ(song.result, -1);
    expect_empty_record(song.context);
}

// Without a loop both points sit on the last frame (0xffffffff for an empty sample).
void expect_sample(const module_sample& sample, u32 length, i32 looped, u32 loop_start, u32 loop_end) {
    EXPECT_EQ(sample.length, length);
    EXPECT_EQ(sample.looped, looped);
    EXPECT_EQ(sample.loop_start, loop_start);
    EXPECT_EQ(sample.loop_end, loop_end);
    EXPECT_EQ(sample.data == nullptr, length == 0);
}

void expect_unlooped(const module_sample& sample, u32 length) {
    expect_sample(sample, length, 0, length - 1, length - 1);
}

// What every loaded sample must hold whatever its header said; returns the frames of all samples.
size_t expect_samples_well_formed(const module_context& context) {
    size_t frames = 0;
    for (i32 s = 0; s < context.sample_count; ++s) {
        const module_sample& sample = context.samples[s];
        EXPECT_EQ(sample.length == 0, sample.data == nullptr) << s;
        if (sample.looped) {
            EXPECT_LT(sample.loop_start, sample.loop_end) << s;
            EXPECT_LE(sample.loop_end, sample.length) << s;
        } else {
            EXPECT_EQ(sample.loop_start, sample.length - 1) << s;
            EXPECT_EQ(sample.loop_end, sample.length - 1) << s;
        }
        frames += sample.length;
    }
    return frames;
}

// Loads every prefix of `file`, each in a block of its own size so that the sanitizers see any
// read past it; `check(size, song)` then says what that prefix must give.
template <class Check>
void load_every_prefix(const std::vector<uint8_t>& file, load_function load, Check check) {
    for (size_t size = 0; size <= file.size(); ++size) {
        std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        prefix.reserve(1);  // a valid pointer for the empty prefix too
        loaded_song song(prefix, load);
        ASSERT_TRUE(song.result == 0 || song.result == -1) << size << " bytes gave " << song.result;
        if (song.result) expect_empty_record(song.context);
        check(size, song);
        if (testing::Test::HasFatalFailure()) return;
    }
}

// What the bounded reader reads from, through which every loader reads its file.
const u8 image[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0xF6};

TEST(ByteReader, ReadsBothByteOrdersAndZerosPastTheEnd) {
    byte_reader file(image, sizeof image);
    EXPECT_EQ(file.u16le(), 0x0201);
    EXPECT_EQ(file.u16be(), 0x0304);
    EXPECT_EQ(file.u8le(), 0x05);
    EXPECT_EQ(file.i8le(), -10);
    EXPECT_FALSE(file.failed());
    EXPECT_EQ(file.u8le(), 0);
    EXPECT_TRUE(file.failed());
    file.seek(3);
    EXPECT_EQ(file.u32le(), 0x00F60504u);  // the missing byte reads as zero

    byte_reader copy(image, sizeof image);
    u8 bytes[4] = {9, 9, 9, 9};
    copy.seek(4);
    EXPECT_EQ(copy.copy_available(bytes, 4), 2u);  // what is there, without failing
    EXPECT_FALSE(copy.failed());
    copy.seek(4);
    copy.bytes(bytes, 4);
    EXPECT_EQ(std::vector<u8>(bytes, bytes + 4), (std::vector<u8>{0x05, 0xF6, 0, 0}));
    EXPECT_TRUE(copy.failed());
    EXPECT_FALSE(copy.matches(5, "\xF6\x00", 2));
    EXPECT_EQ(copy.byte_at(6), 0);
}

// Offsets are 64-bit: one past 4 GiB must not wrap to the start of the image.
constexpr uint64_t beyond_32_bits = (uint64_t{1} << 32) + 1;

TEST(ByteReader, MovesAndSubReadersStayInsideTheImage) {
    const struct {
        bool skip;        // else seek
        uint64_t amount;  // offset or count, from position 2
        bool moved;
        size_t position;
    } moves[] = {
        {false, 6, true, 6}, {false, 7, false, 6}, {false, beyond_32_bits, false, 6},
        {true, 4, true, 6},  {true, 5, false, 6},  {true, beyond_32_bits, false, 6},
        {true, 0, true, 2},  {false, 0, true, 0},
    };
    for (const auto& move : moves) {
        byte_reader file(image, sizeof image);
        file.seek(2);
        EXPECT_EQ(move.skip ? file.skip(move.amount) : file.seek(move.amount), move.moved) << move.amount;
        EXPECT_EQ(file.position(), move.position) << move.amount;
        EXPECT_EQ(file.failed(), !move.moved) << move.amount;
    }

    const struct {
        uint64_t offset, count;
        bool held;
        std::vector<u8> read;  // the sub-reader's bytes
    } windows[] = {
        {2, 3, true, {0x03, 0x04, 0x05}},
        {4, 10, false, {0x05, 0xF6}},
        {6, 0, true, {}},
        {7, 0, false, {}},
        {beyond_32_bits, 1, false, {}},
        {2, UINT64_MAX, false, {0x03, 0x04, 0x05, 0xF6}},
    };
    const byte_reader file(image, sizeof image);
    for (const auto& window : windows) {
        EXPECT_EQ(file.holds(window.offset, window.count), window.held) << window.offset << "+" << window.count;
        byte_reader part = file.sub_reader(window.offset, window.count);
        std::vector<u8> read;
        while (part.remaining()) read.push_back(part.u8le());
        EXPECT_EQ(read, window.read) << window.offset << "+" << window.count;
        part.u8le();
        EXPECT_TRUE(part.failed());  // the end of the window is an end
    }
}

enum class format { mod, s3m, xm };

// A command as stored at a row and file channel of pattern 0.
struct placed_command {
    int row, channel, command;
    u8 param;
};

// One pattern holding the commands (S3M entries written in the order given).
std::vector<uint8_t> song_with_commands(format f, const std::vector<placed_command>& commands) {
    if (f == format::mod) {
        mod_file file;
        for (const placed_command& c : commands)
            file.patterns[0].at(c.row, c.channel) = {0, 0, static_cast<uint8_t>(c.command), c.param};
        return write_mod(file);
    }
    if (f == format::s3m) {
        s3m_song song;
        song.patterns[0].rows.resize(64);
        for (const placed_command& c : commands)
            song.patterns[0].rows[c.row].push_back(
                {.channel = static_cast<uint8_t>(c.channel), .command = c.command, .param = c.param});
        return write_s3m(song);
    }
    xm_song song;
    song.patterns[0].cells.resize(64 * 4);
    for (const placed_command& c : commands)
        song.patterns[0].cells[c.row * 4 + c.channel] = {0, 0, 0, static_cast<uint8_t>(c.command), c.param};
    return write_xm(song);
}

// An effect as stored in channel 1 and what the loader makes of it: the code in the cell's slot
// (slot 1 in XM, where slot 0 is the volume column), and the row command in the global column.
struct translation {
    format in;
    int command;
    u8 param;
    u16 code;
    u8 code_param;
    int global_code = -1;  // -1: the global column stays empty
    u8 global_param = 0;
    u8 volume = 255;  // the cell's volume
};

TEST(EffectTranslation, CommandsThatAreNotOneCodeForOneCommand) {
    constexpr auto mod = format::mod, s3m = format::s3m, xm = format::xm;
    const translation table[] = {
        // Command 0 is an arpeggio only with a parameter; MOD's 8xx does nothing; Cxx is the
        // cell's volume capped at 64; Dxx is decimal, past row 63 row 0 in MOD only.
        {mod, 0x0, 0x00, fx_none, 0},
        {mod, 0x0, 0x37, fx_arpeggio, 0x37},
        {mod, 0x8, 0x80, fx_none, 0x80},
        {mod, 0xC, 0x50, fx_none, 64, -1, 0, 64},
        {mod, 0xB, 0x05, fx_none, 0, fx_position_jump, 5},
        {mod, 0xD, 0x63, fx_none, 0, fx_pattern_break, 63},
        {mod, 0xD, 0x64, fx_none, 0, fx_pattern_break, 0},
        // Exx: x picks the command and y is its parameter; E0x keeps the whole byte; E6x and EEx
        // are row commands.
        {mod, 0xE, 0x01, fx_none, 0x01},
        {mod, 0xE, 0x13, fx_fine_porta_up, 3},
        {mod, 0xE, 0x63, fx_none, 0, fx_pattern_loop, 3},
        {mod, 0xE, 0xE4, fx_none, 0, fx_pattern_delay, 4},
        // S3M letters: B and C are row commands, C not converted from decimal; letters without
        // a translation keep their parameter; J is the arpeggio; Sxy as Exy, with SBx and SEx the
        // row commands.
        {s3m, 0, 0x12, fx_none, 0x12},
        {s3m, 'B' - 64, 0x03, fx_none, 0, fx_position_jump, 0x03},
        {s3m, 'C' - 64, 0x10, fx_none, 0, fx_pattern_break, 0x10},
        {s3m, 'J' - 64, 0x37, fx_arpeggio, 0x37},
        {s3m, 'S' - 64, 0x07, fx_none, 0x07},
        {s3m, 'S' - 64, 0x2a, fx_set_finetune, 0x0a},
        {s3m, 'S' - 64, 0xb3, fx_none, 0, fx_pattern_loop, 0x03},
        {s3m, 'S' - 64, 0xe4, fx_none, 0, fx_pattern_delay, 0x04},
        {s3m, 200, 0x28, fx_none, 0x28},
        // XM: Cxx a set volume in the slot, 8xx panning, Dxx decimal and not capped, the jump's
        // slot keeping its parameter, P the last letter.
        {xm, 0x0, 0x00, fx_none, 0x00},
        {xm, 0x8, 0x19, fx_set_pan, 0x19},
        {xm, 0xb, 0x05, fx_none, 0x05, fx_position_jump, 5},
        {xm, 0xc, 0x50, fx_set_volume, 64},
        {xm, 0xd, 0xff, fx_none, 0xff, fx_pattern_break, 165},
        {xm, 0xe, 0x63, fx_none, 0, fx_pattern_loop, 3},
        {xm, 0xe, 0xe5, fx_none, 0, fx_pattern_delay, 5},
        {xm, 0x19, 0x0f, fx_pan_slide, 0x0f},
        {xm, 0x21, 0x03, fx_none, 0x03},
    };
    for (format f : {mod, s3m, xm}) {
        std::vector<const translation*> rows;
        std::vector<placed_command> commands;
        for (const translation& t : table) {
            if (t.in != f) continue;
            commands.push_back({static_cast<int>(rows.size()), 1, t.command, t.param});
            rows.push_back(&t);
        }
        loaded_song song(song_with_commands(f, commands));
        ASSERT_EQ(song.result, 0);
        const int slot = f == xm ? 1 : 0;
        const u16 empty = f == xm ? u16{fx_none} : u16{65535};  // an untouched slot
        for (size_t row = 0; row < rows.size(); ++row) {
            const translation& t = *rows[row];
            SCOPED_TRACE(testing::Message() << "format " << int(f) << " command 0x" << std::hex << t.command
                                            << " param 0x" << int(t.param));
            const module_cell& cell = song.cell(0, static_cast<int>(row), 1);
            EXPECT_EQ(cell.effects[slot], t.code);
            EXPECT_EQ(cell.params[slot], t.code_param);
            EXPECT_EQ(cell.effects[1 - slot], empty);
            EXPECT_EQ(cell.volume, t.volume);
            const module_cell& global = song.global(0, static_cast<int>(row));
            EXPECT_EQ(global.effects[0], t.global_code < 0 ? empty : t.global_code);
            if (t.global_code >= 0) {
                EXPECT_EQ(global.params[0], t.global_param);
            }
            EXPECT_EQ(global.effects[1], empty);
        }
    }
}

// A row keeps one row command: MOD joins a jump and a later break, S3M goes by the order of
// the stream, and otherwise the channel further right wins.
TEST(EffectTranslation, WhichRowCommandARowKeeps) {
    constexpr auto mod = format::mod, s3m = format::s3m, xm = format::xm;
    const struct {
        const char* what;
        format in;
        std::vector<placed_command> commands;
        u16 code;
        u8 param;
        int second_param;  // -1: not looked at
    } cases[] = {
        {"MOD jump then break", mod, {{0, 0, 0xB, 5}, {0, 1, 0xD, 0x12}}, fx_jump_and_break, 5, 12},
        {"MOD break then jump", mod, {{0, 0, 0xD, 0x12}, {0, 1, 0xB, 5}}, fx_position_jump, 5, 255},
        {"MOD loop then delay", mod, {{0, 0, 0xE, 0x62}, {0, 3, 0xE, 0xE3}}, fx_pattern_delay, 3, 255},
        {"MOD jump, break, jump", mod, {{0, 0, 0xB, 7}, {0, 1, 0xD, 0x10}, {0, 2, 0xB, 9}}, fx_position_jump, 9, 10},
        {"S3M break in channel 3 first", s3m, {{0, 3, 'C' - 64, 0x20}, {0, 0, 'B' - 64, 2}}, fx_position_jump, 2, -1},
        {"XM jump then break", xm, {{0, 0, 0xb, 4}, {0, 1, 0xd, 0x10}}, fx_pattern_break, 10, -1},
        {"XM break, jump, slide", xm, {{0, 0, 0xd, 1}, {0, 1, 0xb, 7}, {0, 2, 0xa, 0x10}}, fx_position_jump, 7, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        loaded_song song(song_with_commands(c.in, c.commands));
        ASSERT_EQ(song.result, 0);
        EXPECT_EQ(song.global(0, 0).effects[0], c.code);
        EXPECT_EQ(song.global(0, 0).params[0], c.param);
        if (c.second_param >= 0) {
            EXPECT_EQ(song.global(0, 0).params[1], c.second_param);
        }
    }
}

TEST(ModuleLoad, EntryPointsRefuseBadArgumentsAndALoadedRecord) {
    const std::vector<uint8_t> files[] = {write_mod(mod_file{}), write_s3m(s3m_song{}), write_xm(xm_song{})};
    const load_function loads[] = {mod_load, s3m_load, xm_load};
    for (int f = 0; f < 3; ++f) {
        const i32 size = static_cast<i32>(files[f].size());
        for (load_function load : {loads[f], module_load}) {
            module_context context;
            std::memset(&context, 0, sizeof context);
            EXPECT_EQ(load(nullptr, size, &context), -1) << f;
            EXPECT_EQ(load(files[f].data(), size, nullptr), -1) << f;
            EXPECT_EQ(load(files[f].data(), -1, &context), -1) << f;
            expect_empty_record(context);
        }
        // Loading over a loaded song would lose its blocks.
        loaded_song song(files[f]);
        ASSERT_EQ(song.result, 0);
        module_pattern** patterns = song.context.patterns;
        EXPECT_EQ(module_load(files[f].data(), size, &song.context), -1) << f;
        EXPECT_EQ(song.context.patterns, patterns);
    }
    // Data no format takes: too short for any, or text.
    for (const std::vector<u8>& data : {std::vector<u8>(47, 0x41), std::vector<u8>(2000, 0x5a)}) {
        expect_refused(data);
        expect_refused(data, mod_load);
    }
}

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
    file.title = "twenty characters!!!";
    file.header_count = 15;
    file.samples = {mod_sample{"first", 0, 40, 0, 1, ramp(6, 10)}};
    file.orders = {1, 0, 1};
    file.patterns = {mod_pattern(), mod_pattern()};
    file.patterns[1].at(0, 3) = {1, 856, 0xC, 0x20};
    loaded_song mod(write_mod(file));  // through the table: the probe's trial load accepts it
    ASSERT_EQ(mod.result, 0);
    EXPECT_EQ(mod.context.format_id, module_format_mod);
    EXPECT_EQ(std::string(mod.context.title), "twenty characters!!!");
    EXPECT_EQ(mod.context.global_volume, 64);
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

// Headers claiming far more sample data than the file holds, with loops outside any data, load
// empty samples (data ending early elsewhere: the every-prefix test).
TEST(ModLoad, HugeSampleLengthsWithoutDataLoadEmptySamples) {
    std::vector<uint8_t> bytes = write_mod(mod_file{});
    for (int i = 0; i < 31; ++i) {
        patch_length_words(bytes, i, 0xffff);
        bytes[mod_sample_header_offset(i) + 29] = 0x20;  // a loop far outside any data
    }
    loaded_song huge(bytes, mod_load);
    ASSERT_EQ(huge.result, 0);
    for (int i = 0; i < 31; ++i) expect_unlooped(huge.sample(i), 0);
}

// The ends of the period table, period 15 listed for two notes (the later one wins), and the
// periods some trackers wrote for notes of the table.
TEST(ModLoad, PeriodsBecomePackedNotes) {
    const std::pair<uint16_t, u8> cases[] = {{mod_period(0, 9), 0x09},
                                             {mod_period(1, 0), 0x10},
                                             {mod_period(8, 11), 0x8B},
                                             {15, 0x8A},
                                             {75, 0x66},
                                             {1140, 0x27},
                                             {1280, 0x25},
                                             {1524, 0x22},
                                             {1356, 0x24},
                                             {1016, 0x29},
                                             {692, 0x34}};
    mod_file file;
    for (size_t i = 0; i < std::size(cases); ++i)
        file.patterns[0].at(static_cast<int>(i), 0) = {0x1F, cases[i].first, 0, 0};
    file.patterns[0].at(63, 3) = {0x12, 0, 0, 0};  // sample without a note
    loaded_song mod(write_mod(file), mod_load);
    ASSERT_EQ(mod.result, 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const module_cell& cell = mod.cell(0, static_cast<int>(i), 0);
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
    song.global_volume = 48;
    song.orders = {0, 254, 0, 255};
    loaded_song loaded(write_s3m(song));
    ASSERT_EQ(loaded.result, 0);
    const module_context& context = loaded.context;
    EXPECT_EQ(std::memcmp(context.title, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01", 28), 0);
    EXPECT_EQ(context.global_volume, 48);
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

// Data that lies past the end, or that several headers share: no slot reads more than the file
// holds (data ending early: the every-prefix test).
TEST(S3mLoader, SampleDataIsFittedToTheFile) {
    s3m_song far;
    far.samples = {sample_of(bytes_counting(16), 1, 0, 16)};
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(far, &layout);
    file[layout.sample_headers[0] + 13] = 0xff;  // the segment's high byte
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

    s3m_song nothing;
    nothing.orders.clear();
    nothing.patterns.clear();
    loaded_song empty(write_s3m(nothing));
    ASSERT_EQ(empty.result, 0);
    EXPECT_EQ(empty.context.pattern_count, 0);
}

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
    EXPECT_EQ(std::string(context.title), "twenty-byte title ok");
    EXPECT_EQ(context.orders[4], 9);  // all 256 entries are taken, used or not
    EXPECT_EQ(context.restart_position, 2u);
    EXPECT_EQ(context.linear_frequencies, 0);
    EXPECT_EQ(context.initial_speed, 6);
    EXPECT_EQ(context.initial_tempo, 0x90);
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

// Both packings decode alike and byte-exactly; the packed size decides where the next pattern
// starts; rows past 1024 are dropped and a stored 0 is the editors' 64.
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
    // has no data and stays empty, the next pattern's bytes are not read into it.
    ASSERT_EQ(file[size_field], 7);
    std::vector<uint8_t> cut = file;
    cut[size_field] = 5;
    cut.erase(cut.begin() + data + 5, cut.begin() + data + 7);
    song.patterns[0].header_length = 20;  // a longer pattern header moves the data with it
    for (const std::vector<uint8_t>& bytes : {cut, write_xm(song)}) {
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

// Delta-coded data; loop types 1 and 2 loop, 0 and 3 do not; 16-bit loop points are halved to
// frames. An odd 16-bit byte length keeps whole frames, and the stray byte still moves the next sample.
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
    EXPECT_EQ(loaded.frames<int8_t>(0), (std::vector<int8_t>{0x10, 0x11, 0x10}));
    EXPECT_EQ(loaded.frames<int16_t>(1), (std::vector<int16_t>{100, 200, 300}));
    EXPECT_EQ(loaded.frames<int16_t>(2), words);  // found past the stray byte
    EXPECT_EQ(loaded.frames<int8_t>(std::size(cases)), (std::vector<int8_t>{42}));
    // 8363 x 2^(finetune / 1536), rounded down; panning 255 is 63 on the 0..64 scale.
    const module_sample& tuned = loaded.sample(0);
    EXPECT_EQ(tuned.default_c_rate, 7893u);
    EXPECT_EQ(loaded.sample(1).default_c_rate, 8423u);
    EXPECT_EQ(tuned.finetune, -128);
    EXPECT_EQ(tuned.xm_volume, 48);
    EXPECT_EQ(tuned.panning, 63);
    EXPECT_EQ(tuned.relative_note, -12);
}

// Keymap entries naming a sample the instrument lacks play nothing; an instrument without samples
// keeps its name and nothing else; header sizes move what follows them.
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

// Sustain and loop count only with their flag bits, nothing without the "on" bit or points.
// Damage is repaired: ticks must increase, at most 12 points are read, indices naming no point go.
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

// A rich song of each format and where its parts lie, as the damage tests need them.
mod_file rich_mod() {
    mod_file file;
    file.samples = {looped_sample(100, 10, 20), looped_sample(200, 0, 100)};
    file.orders = {0, 1};
    file.patterns = {mod_pattern(), mod_pattern()};
    file.patterns[0].at(0, 0) = {1, 428, 0xC, 0x30};
    file.patterns[1].at(63, 3) = {2, 214, 0xB, 0x00};
    return file;
}

s3m_song rich_s3m() {
    s3m_song song;
    song.orders = {0, 1};
    song.patterns.resize(2);
    song.patterns[0].rows = {{{.channel = 0, .note = 0x40, .instrument = 1, .volume = 30, .command = 1, .param = 4}}};
    song.patterns[1].rows = {{}, {{.channel = 1, .note = 0x50, .instrument = 2, .command = 19, .param = 0xb1}}};
    song.samples = {sample_of(bytes_counting(40), 1, 4, 40), sample_of(s3m_pcm16({5, 6, 7}, true), 4)};
    return song;
}

// Patterns of both packings, an empty instrument, envelopes, 8- and 16-bit looped samples.
xm_song rich_xm() {
    xm_song song;
    song.channels = 2;
    song.patterns[0].rows = 4;
    song.patterns[0].cells = {
        {xm_note(4, 0), 1, 0x40, 0x0, 0x37}, {xm_key_off, 0, 0x65, 0xd, 0x12}, {}, {xm_note(2, 5), 2, 0, 0xe, 0x63}};
    xm_pattern unpacked;
    unpacked.rows = 2;
    unpacked.packing = xm_packing::unpacked;
    unpacked.cells = {{1, 1, 0x10, 0xf, 0x06}};
    song.patterns.push_back(unpacked);
    song.orders = {0, 1};
    std::vector<int8_t> wave;
    for (int i = 0; i < 200; ++i) wave.push_back(static_cast<int8_t>((i * 37) % 256 - 128));
    std::vector<int16_t> bass;
    for (int i = 0; i < 100; ++i) bass.push_back(static_cast<int16_t>(i * 650 - 32000));
    xm_instrument lead = instrument_with({sample_8bit(wave, xm_loop_forward, 20, 100)});
    lead.volume_envelope = {{{0, 64}, {10, 32}, {20, 0}}, {}, 1, 0, 1, xm_envelope_on | xm_envelope_sustain};
    lead.fadeout = 256;
    xm_instrument two = instrument_with({sample_16bit(bass, xm_loop_ping_pong, 40, 60), sample_8bit(wave)});
    two.keymap.fill(1);
    song.instruments = {lead, xm_instrument{}, two};
    return song;
}

void put_le(std::vector<uint8_t>& file, size_t offset, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) file.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

struct damaged_file {
    std::string what;
    std::vector<uint8_t> bytes;
    load_function load;
    i32 result;  // -1 refused, 0 loaded
};

std::vector<damaged_file> damaged_files() {
    std::vector<damaged_file> files;
    auto add = [&](std::string what, std::vector<uint8_t> bytes, i32 result, load_function load = module_load) {
        files.push_back({std::move(what), std::move(bytes), load, result});
    };
    // MOD has no magic: only what the header describes can be wrong.
    mod_file missing;
    missing.orders = {0, 5};
    std::vector<uint8_t> mod = write_mod(missing);
    mod.push_back(0);  // not an exact size: the order list counts the patterns
    add("MOD orders naming a pattern past the file", mod, -1, mod_load);

    s3m_layout s3m_at;
    const std::vector<uint8_t> s3m = write_s3m(rich_s3m(), &s3m_at);
    std::vector<uint8_t> bad = s3m;
    bad[47] = 'N';
    add("S3M magic", bad, -1, s3m_load);
    s3m_song typed;
    typed.type = 17;
    bad = write_s3m(typed);
    bad.resize(2000, 0);  // large enough for a MOD: the S3M entry still decides
    add("S3M type byte", bad, -1);
    bad = s3m;
    bad[s3m_at.pattern_pointers + 3] = 0xff;
    add("S3M pattern parapointer past the end", bad, -1);
    bad = s3m;
    bad[s3m_at.sample_pointers + 3] = 0xf0;
    add("S3M sample header past the end", bad, -1);
    bad = s3m;
    bad[s3m_at.sample_headers[1] + 76] = 'X';
    add("S3M sample header without its signature", bad, -1);
    // Packed streams: 63 complete rows, an entry cut after its note, and the 16-bit length and the
    // file's size as the limits of what patterns may read. Streams of a given size hold 64
    // complete rows after entries of the unmapped channel 4.
    auto rows_after = [](size_t bytes) {
        std::vector<uint8_t> stream(bytes - 64, 0x04);
        stream.resize(bytes, 0);
        return stream;
    };
    std::vector<uint8_t> cut_entry(63, 0);
    cut_entry.insert(cut_entry.end(), {0xe0, 0x40, 0x01, 0x20});
    const struct {
        const char* what;
        std::vector<uint8_t> stream;
        int sharing;
        i32 result;
    } streams[] = {{"S3M stream of 63 rows", std::vector<uint8_t>(63, 0), 1, -1},
                   {"S3M entry cut short", cut_entry, 1, -1},
                   {"S3M stream of 65535 bytes", rows_after(65535), 1, 0},
                   {"S3M stream of 65536 bytes", rows_after(65536), 1, -1},
                   {"S3M two patterns sharing a stream", rows_after(64), 2, 0},
                   {"S3M twenty patterns sharing a stream", rows_after(1000), 20, -1}};
    for (const auto& stream : streams) {
        s3m_song song;
        song.patterns.resize(static_cast<size_t>(stream.sharing));
        song.patterns[0].raw = stream.stream;
        s3m_layout at;
        std::vector<uint8_t> file = write_s3m(song, &at);
        for (int p = 1; p < stream.sharing; ++p) {
            file[at.pattern_pointers + 2 * p] = file[at.pattern_pointers];
            file[at.pattern_pointers + 2 * p + 1] = file[at.pattern_pointers + 1];
        }
        add(stream.what, file, stream.result);
    }

    xm_layout xm_at;
    const std::vector<uint8_t> xm = write_xm(rich_xm(), &xm_at);
    bad = xm;
    bad[16] = '_';  // "Extended Module_"
    add("XM magic", bad, -1, xm_load);
    bad = xm;
    bad[37] = 0x1b;
    add("XM marker byte", bad, -1, xm_load);
    const size_t song_header = 0, pattern = xm_at.pattern_offsets[0], instrument = xm_at.instrument_offsets[0];
    const struct {
        const char* what;
        size_t field;
        int width;
        uint32_t value;
    } fields[] = {
        {"XM 257 patterns", song_header + 70, 2, 257},
        {"XM 257 instruments", song_header + 72, 2, 257},
        {"XM header size past the end", song_header + 60, 4, 0xfffffff0},
        {"XM packed data past the end", pattern + 7, 2, 60000},
        {"XM 300 samples in an instrument", instrument + 27, 2, 300},
        {"XM sample header size past the end", instrument + 29, 4, 0xffffffff},
        {"XM a middle sample's data past the end", xm_at.sample_headers[0], 4, 1u << 30},
    };
    for (const auto& field : fields) {
        bad = xm;
        put_le(bad, field.field, field.value, field.width);
        add(field.what, bad, -1);
    }
    return files;
}

TEST(DamagedModules, WrongMagicHugeCountsAndOffsetsPastTheEnd) {
    for (const damaged_file& file : damaged_files()) {
        SCOPED_TRACE(file.what);
        loaded_song song(file.bytes, file.load);
        EXPECT_EQ(song.result, file.result);
        if (song.result)
            expect_empty_record(song.context);
        else
            expect_samples_well_formed(song.context);
    }
}

// The size from which every prefix loads: before it a header or pattern is cut (refused; MOD
// may load a shorter song from the size alone), after it only sample data is missing.
struct truncated_song {
    format in;
    std::vector<uint8_t> file;
    size_t loads_from;
};

std::vector<truncated_song> truncated_songs() {
    s3m_layout s3m_at;
    std::vector<uint8_t> s3m = write_s3m(rich_s3m(), &s3m_at);
    const size_t last_pattern = s3m_at.pattern_data.back();  // its packed-length word counts itself
    xm_song xm = rich_xm();
    xm.minimum_size = 0;
    xm.header_size = 976;  // keeps every cut point inside the song above the 1024 bytes the probe wants
    xm_layout xm_at;
    std::vector<uint8_t> xm_file = write_xm(xm, &xm_at);
    return {{format::mod, write_mod(rich_mod()), 1084 + 2048},
            {format::s3m, s3m, last_pattern + (s3m[last_pattern] | s3m[last_pattern + 1] << 8)},
            {format::xm, xm_file, xm_at.sample_data[1]}};
}

TEST(DamagedModules, EveryPrefixLoadsOrIsRefusedCleanly) {
    for (const truncated_song& song : truncated_songs()) {
        SCOPED_TRACE(int(song.in));
        load_every_prefix(song.file, module_load, [&](size_t size, const loaded_song& loaded) {
            const bool complete = size >= song.loads_from;
            if (song.in != format::mod || complete) {
                EXPECT_EQ(loaded.result, complete ? 0 : -1) << size;
            }
            if (loaded.result) return;
            EXPECT_LE(expect_samples_well_formed(loaded.context), size);
            if (song.in == format::xm) {
                EXPECT_EQ(loaded.context.instruments[2].note_samples[0], &loaded.context.samples[2]);
            }
        });
    }
}

// --- Whole songs ------------------------------------------------------------------------

// Ticks at tempo 125 and 250 in output frames at 44100 Hz: 2.5 / tempo seconds.
constexpr u64 tick_125 = 882;
constexpr u64 tick_250 = 441;
// The silent lead-in before the first row: `speed` (6) ticks.
constexpr u64 lead_in = 6 * tick_125;

struct pattern_command {
    int pattern, row, column;
    uint8_t effect, param;  // XM effect type and parameter as stored
};

// Two file channels, speed 6, tempo 125; every pattern has `rows` rows.
std::vector<uint8_t> xm_with(std::vector<uint8_t> orders, int patterns, uint16_t rows,
                             std::vector<pattern_command> commands) {
    xm_song song = song_with_cells(2, rows, std::vector<xm_cell>(static_cast<size_t>(rows) * 2));
    song.orders = orders;
    song.patterns.assign(patterns, song.patterns[0]);
    for (const pattern_command& c : commands) {
        xm_cell& cell = song.patterns[c.pattern].cells[static_cast<size_t>(c.row) * 2 + c.column];
        cell.effect = c.effect;
        cell.param = c.param;
    }
    return write_xm(song);
}

struct length_case {
    const char* what;
    std::vector<uint8_t> file;
    u64 frames;
    u32 rows;
    i32 end;
    i32 next_order, next_row;
};

std::vector<length_case> length_cases() {
    std::vector<length_case> cases;
    auto add = [&](const char* what, std::vector<uint8_t> file, u64 frames, u32 rows, i32 end, i32 order, i32 row) {
        cases.push_back({what, std::move(file), frames, rows, end, order, row});
    };
    add("pattern delay counted at the speed its own row sets",
        xm_with({0}, 1, 4, {{0, 1, 0, 0xF, 3}, {0, 1, 1, 0xE, 0xE1}}), lead_in + (6 + 6 + 3 + 3) * tick_125, 4,
        module_pass_wraps, 0, 0);
    // Order 1 loops rows 0 to 2 twice, then jumps back to itself: its row 0 comes round
    // first inside the loop (not a repeat: a loop runs) and then after the jump.
    add("pattern loop inside a jump back",
        xm_with({0, 1}, 2, 4, {{1, 0, 0, 0xE, 0x60}, {1, 2, 0, 0xE, 0x61}, {1, 3, 0, 0xB, 1}}),
        lead_in + 11 * 6 * tick_125, 11, module_pass_repeats, 1, 0);
    // Order 1 loops rows 1 and 2 once and jumps back to the start. The loop left its row
    // behind, but no loop runs any more: the start comes round, not a second play of order 0.
    add("jump back to the start after a loop",
        xm_with({0, 1}, 2, 4, {{1, 1, 0, 0xE, 0x60}, {1, 2, 0, 0xE, 0x61}, {1, 3, 0, 0xB, 0}}),
        lead_in + 10 * 6 * tick_125, 10, module_pass_repeats, 0, 0);
    // Forward only: order 0 jumps to order 2, whose break wraps to row 3 of order 0,
    // a row not played before; the wrap ends the pass.
    add("never back to a played row until the wrap", xm_with({0, 1, 2}, 3, 4, {{0, 1, 0, 0xB, 2}, {2, 2, 0, 0xD, 3}}),
        lead_in + 5 * 6 * tick_125, 5, module_pass_wraps, 0, 3);
    add("no order entry names a pattern", xm_with({7}, 1, 4, {}), 0, 0, module_pass_empty, -1, -1);

    // S3M: its own speed (A) and tempo (T) commands, and skip and end markers in the order list.
    s3m_song s3m;
    s3m.orders = {0, 254, 0, 255};
    s3m.patterns[0].rows.resize(64);
    s3m.patterns[0].rows[0] = {s3m_entry{0, -1, 0, -1, s3m_command('A'), 3}};
    s3m.patterns[0].rows[2] = {s3m_entry{1, -1, 0, -1, s3m_command('T'), 250}};
    // The second time round, pattern 0 starts at the speed and tempo it left.
    add("S3M speed and tempo, markers skipped", write_s3m(s3m), lead_in + 2 * 3 * tick_125 + (62 + 64) * 3 * tick_250,
        128, module_pass_wraps, 0, 0);

    return cases;
}

TEST(SongLength, EveryRowCommandCountsAsTheRenderPlaysIt) {
    for (const length_case& c : length_cases()) {
        SCOPED_TRACE(c.what);
        loaded_song song(c.file);
        ASSERT_EQ(song.result, 0);
        module_pass pass;
        ASSERT_EQ(module_song_length(&song.context, &pass), 0);
        EXPECT_EQ(pass.frames, c.frames);
        EXPECT_EQ(pass.rows, c.rows);
        EXPECT_EQ(pass.end, c.end);
        EXPECT_EQ(pass.next_order, c.next_order);
        EXPECT_EQ(pass.next_row, c.next_row);
    }
}

// 128 entries of one 1024-row pattern whose last row loops it once: 2048 rows per entry,
// none repeated, so the pass stops at the cap.
TEST(SongLength, StopsAtTheRowCap) {
    std::vector<uint8_t> orders(256, 0);
    loaded_song song(xm_with(orders, 1, 1024, {{0, 1023, 0, 0xE, 0x61}}));
    ASSERT_EQ(song.result, 0);
    module_pass pass;
    ASSERT_EQ(module_song_length(&song.context, &pass), 1);
    EXPECT_EQ(pass.end, module_pass_capped);
    EXPECT_EQ(pass.rows, module_pass_row_cap);
    EXPECT_EQ(pass.frames, lead_in + u64{module_pass_row_cap} * 6 * tick_125);
    EXPECT_EQ(pass.next_order, static_cast<i32>(module_pass_row_cap / 2048));
    EXPECT_EQ(pass.next_row, 0);
}

TEST(SongLength, RefusesMissingArgumentsAndEmptyContexts) {
    module_context empty;
    std::memset(&empty, 0, sizeof empty);
    module_pass pass;
    EXPECT_EQ(module_song_length(nullptr, &pass), -1);
    EXPECT_EQ(module_song_length(&empty, &pass), -1);
    loaded_song song(xm_with({0}, 1, 4, {}));
    EXPECT_EQ(module_song_length(&song.context, nullptr), -1);
    EXPECT_EQ(module_seek(nullptr, 0), -1);
    // Loaded but not started: there is nothing to seek in yet.
    EXPECT_EQ(module_seek(&song.context, 0), -1);
}

// A song as the module input plays it, rendered in one piece or from a seek.
struct playing_song {
    loaded_song song;
    explicit playing_song(const std::vector<uint8_t>& file) : song(file) { start(); }
    void start() {
        song.context.master_volume = 64;
        module_start(&song.context);
        module_set_output_format(&song.context);
    }
    std::vector<i16> render(u64 frames) {
        std::vector<i16> pcm(frames * 2);
        song.context.output_buffer = pcm.data();
        song.context.output_size = static_cast<i32>(frames * 4);
        module_render(&song.context);
        return pcm;
    }
};

TEST(SongLength, LeavesAPlayingContextUntouched) {
    playing_song playing(source_file("assets/demo.xm"));
    playing.render(300000);
    module_context before = playing.song.context;
    std::vector<module_sample> samples_before(playing.song.context.samples,
                                              playing.song.context.samples + playing.song.context.sample_count);
    module_pass pass;
    ASSERT_EQ(module_song_length(&playing.song.context, &pass), 0);
    EXPECT_EQ(std::memcmp(&before, &playing.song.context, sizeof before), 0);
    EXPECT_EQ(
        std::memcmp(samples_before.data(), playing.song.context.samples, samples_before.size() * sizeof(module_sample)),
        0);
}

TEST(ModuleFree, EmptyRecordIsLeftAlone) {
    module_context context;
    std::memset(&context, 0xAB, sizeof context);
    context.loaded = 0;
    module_free(&context);  // must not touch the garbage pointers
    EXPECT_EQ(context.loaded, 0);
    module_free(nullptr);
}

// A freed record may be loaded again: no channel pointer may lead into the first song's freed
// blocks, and the second song plays as it does in a fresh record.
TEST(ModuleFree, SecondLoadIntoAFreedRecordPlaysAsInAFreshOne) {
    const std::vector<uint8_t> first = source_file("assets/demo.mod");
    const std::vector<uint8_t> second = source_file("assets/demo.xm");
    const std::vector<i16> expected = playing_song(second).render(3 * 44100);
    playing_song reused(first);
    reused.render(3 * 44100);
    module_context& context = reused.song.context;
    module_free(&context);
    for (const module_channel& channel : context.channels) {
        EXPECT_EQ(channel.sample, nullptr);
        EXPECT_EQ(channel.voice_sample, nullptr);
        EXPECT_EQ(channel.instrument, nullptr);
        EXPECT_EQ(channel.volume_envelope.envelope, nullptr);
        EXPECT_EQ(channel.pan_envelope.envelope, nullptr);
        for (const effect_slot& slot : channel.slots) EXPECT_EQ(slot.delayed_cell, nullptr);
    }
    ASSERT_EQ(module_load(second.data(), static_cast<i32>(second.size()), &context), 0);
    reused.start();
    EXPECT_EQ(reused.render(3 * 44100), expected);
}

}  // namespace
