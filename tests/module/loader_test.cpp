// What the three loaders share: the translations that are not one code for one command, which
// row command a row keeps, the entry points' refusals, and damaged files of every kind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "loader_test_support.h"
#include "mod_writer.h"
#include "module.h"
#include "s3m_writer.h"
#include "xm_writer.h"

namespace {

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
        {mod, 0xE, 0x50, fx_set_finetune, 0},
        {mod, 0xE, 0x8F, fx_coarse_pan, 15},
        {mod, 0xE, 0xC5, fx_note_cut, 5},
        {mod, 0xE, 0x63, fx_none, 0, fx_pattern_loop, 3},
        {mod, 0xE, 0xE4, fx_none, 0, fx_pattern_delay, 4},
        {mod, 0xF, 0x7D, fx_speed_tempo, 0x7D},
        // S3M letters: B and C are row commands, C not converted from decimal; letters without
        // a translation keep their parameter; Sxy as Exy, with SBx and SEx the row commands.
        {s3m, 0, 0x12, fx_none, 0x12},
        {s3m, 'A' - 64, 0x05, fx_s3m_speed, 0x05},
        {s3m, 'B' - 64, 0x03, fx_none, 0, fx_position_jump, 0x03},
        {s3m, 'C' - 64, 0x10, fx_none, 0, fx_pattern_break, 0x10},
        {s3m, 'E' - 64, 0xf2, fx_s3m_porta_down, 0xf2},
        {s3m, 'F' - 64, 0xe3, fx_s3m_porta_up, 0xe3},
        {s3m, 'J' - 64, 0x37, fx_arpeggio, 0x37},
        {s3m, 'S' - 64, 0x07, fx_none, 0x07},
        {s3m, 'S' - 64, 0x2a, fx_set_finetune, 0x0a},
        {s3m, 'S' - 64, 0x8c, fx_coarse_pan, 0x0c},
        {s3m, 'S' - 64, 0xb3, fx_none, 0, fx_pattern_loop, 0x03},
        {s3m, 'S' - 64, 0xd2, fx_note_delay, 0x02},
        {s3m, 'S' - 64, 0xe4, fx_none, 0, fx_pattern_delay, 0x04},
        {s3m, 'V' - 64, 0x30, fx_set_global_volume, 0x30},
        {s3m, 200, 0x28, fx_none, 0x28},
        // XM: Cxx a set volume in the slot, 8xx panning, Dxx decimal and not capped, the jump's
        // slot keeping its parameter, G, H and P beyond F.
        {xm, 0x0, 0x00, fx_none, 0x00},
        {xm, 0x1, 0x12, fx_xm_porta_up, 0x12},
        {xm, 0x8, 0x19, fx_set_pan, 0x19},
        {xm, 0xb, 0x05, fx_none, 0x05, fx_position_jump, 5},
        {xm, 0xc, 0x50, fx_set_volume, 64},
        {xm, 0xd, 0x25, fx_none, 0x25, fx_pattern_break, 25},
        {xm, 0xd, 0xff, fx_none, 0xff, fx_pattern_break, 165},
        {xm, 0xe, 0x2a, fx_fine_porta_down, 0xa},
        {xm, 0xe, 0x63, fx_none, 0, fx_pattern_loop, 3},
        {xm, 0xe, 0xe5, fx_none, 0, fx_pattern_delay, 5},
        {xm, 0x10, 0x40, fx_set_global_volume, 0x40},
        {xm, 0x11, 0x21, fx_global_volume_slide, 0x21},
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

// A rich song of each format and where its parts lie, as the damage tests need them.
mod_file rich_mod() {
    mod_file file;
    file.samples = {mod_sample{"loop", 0, 64, 10, 20, std::vector<int8_t>(100, 1)},
                    mod_sample{"loop", 0, 64, 0, 100, std::vector<int8_t>(200, 2)}};
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
    std::vector<uint8_t> ramp(40);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i);
    song.samples.resize(2);
    song.samples[0].data = ramp;
    song.samples[0].flags = 1;
    song.samples[0].loop_start = 4;
    song.samples[0].loop_end = 40;
    song.samples[1].data = s3m_pcm16({5, 6, 7}, true);
    song.samples[1].flags = 4;
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
    xm_sample lead_sample, bass_sample, plain_sample;
    lead_sample.data = xm_delta_8(wave);
    lead_sample.loop_start = 20;
    lead_sample.loop_length = 100;
    lead_sample.type = xm_loop_forward;
    bass_sample.data = xm_delta_16(bass);
    bass_sample.loop_start = 40;
    bass_sample.loop_length = 60;
    bass_sample.type = xm_sample_16bit | xm_loop_ping_pong;
    plain_sample.data = xm_delta_8(wave);
    xm_instrument lead, two;
    lead.samples = {lead_sample};
    lead.volume_envelope = {{{0, 64}, {10, 32}, {20, 0}}, {}, 1, 0, 1, xm_envelope_on | xm_envelope_sustain};
    lead.fadeout = 256;
    two.samples = {bass_sample, plain_sample};
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
        {"XM pattern header length past the end", pattern, 4, 0x7fffffff},
        {"XM packed data past the end", pattern + 7, 2, 60000},
        {"XM instrument header size past the end", instrument, 4, 0xfffff000},
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

// The three rich songs and the size from which every prefix loads: before it a header or
// pattern is cut (refused; MOD may load a shorter song from the size alone), after it only
// sample data is missing.
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

}  // namespace
