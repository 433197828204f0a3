// Whole songs: the first pass with every kind of row command, the row cap, seeking refused,
// freeing and loading again.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "loader_test_support.h"
#include "s3m_writer.h"
#include "xm_writer.h"

namespace {

// Ticks at tempo 125 and 250 in output frames at 44100 Hz: 2.5 / tempo seconds.
constexpr u64 tick_125 = 882;
constexpr u64 tick_250 = 441;
// The silent lead-in before the first row: `speed` (6) ticks.
constexpr u64 lead_in = 6 * tick_125;

struct placed_command {
    int pattern, row, column;
    uint8_t effect, param;  // XM effect type and parameter as stored
};

// Two file channels, speed 6, tempo 125; every pattern has `rows` rows.
std::vector<uint8_t> xm_with(std::vector<uint8_t> orders, int patterns, uint16_t rows,
                             std::vector<placed_command> commands) {
    xm_song song;
    song.channels = 2;
    song.orders = orders;
    song.patterns.assign(patterns, xm_pattern{});
    for (xm_pattern& pattern : song.patterns) {
        pattern.rows = rows;
        pattern.cells.assign(static_cast<size_t>(rows) * 2, xm_cell{});
    }
    for (const placed_command& c : commands) {
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
