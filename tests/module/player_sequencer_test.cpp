// Render loop and song position: tick timing, row reads, order list and row commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "player_fixture.h"

namespace {

constexpr u8 c4 = packed(4, 0);

// The first `speed` ticks are silent, then row 0 sounds; a tempo below 32 plays at 125.
TEST(PlayerRender, LeadInOfSpeedTicksThenRowZero) {
    test_song song(1, {4}, {0});
    song.context->initial_tempo = 20;
    song.note(0, 0, 0, c4, 1);
    song.start();
    EXPECT_EQ(song.context->tempo, 125);
    EXPECT_EQ(song.context->samples_per_tick, 882);
    std::vector<i16> pcm = song.render_bytes(6000 * 4);
    // Full volume, centred: 32 of 64 gain on each side of a sample value 64 * 256.
    for (i32 frame = 0; frame < 6000; ++frame) ASSERT_EQ(pcm[2 * frame], frame < 5292 ? 0 : 2048) << frame;
    EXPECT_EQ(pcm[2 * 5292 + 1], 2048);
}

TEST(PlayerRender, Writes1024FramesPer4096BytesWhateverTheTickLength) {
    test_song song(1, {4}, {0});
    song.start();
    std::vector<u8> buffer(4096 + 64, 0xAB);
    song.context->output_buffer = buffer.data();
    song.context->output_size = 4096;
    module_render(song.context);
    for (size_t i = 4096; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAB) << i;
    EXPECT_EQ(song.context->tick, 1);
    EXPECT_EQ(song.context->tick_position, 1024 - 882);
    module_render(song.context);
    EXPECT_EQ(song.context->tick, 2);
    EXPECT_EQ(song.context->tick_position, 2048 - 2 * 882);
}

TEST(PlayerRender, TickSplitAcrossCallsReadsItsRowOnce) {
    auto build = [](test_song& song) {
        song.note(0, 0, 0, c4, 1);
        song.effect(0, 1, 0, fx_fine_volume_down, 4);
        song.start();
    };
    test_song whole(1, {4}, {0}), split(1, {4}, {0});
    build(whole);
    build(split);
    const i32 frames = 12 * 882 + 300;  // into row 1, which is read at frame 10584
    const std::vector<i16> expected = whole.render_bytes(frames * 4);
    std::vector<i16> pieces;
    const i32 chunk_frames[] = {1, 881, 1000, 3, 4096, 4500, 1};  // one chunk ends mid-tick at row 1
    for (i32 i = 0, done = 0; done < frames; ++i) {
        const i32 n = std::min(chunk_frames[i % 7], frames - done);
        const std::vector<i16> part = split.render_bytes(n * 4);
        pieces.insert(pieces.end(), part.begin(), part.end());
        done += n;
    }
    EXPECT_EQ(pieces, expected);
    EXPECT_EQ(split.channel(0).volume, 60);  // lowered once, not once per render call
}

TEST(PlayerRender, HookSeesTheChannelsThatStartedNotesDuringTheCall) {
    test_song song(3, {4}, {0}, 2);
    song.note(0, 0, 0, c4, 1);
    song.note(0, 0, 2, c4, 2);
    song.note(0, 1, 1, c4);  // no instrument ever selected: starts nothing
    song.start();
    static std::vector<u32> masks;
    masks.clear();
    song.context->render_hook = [](module_context* context) { masks.push_back(context->new_note_mask); };
    for (i32 i = 0; i < 11; ++i) song.render_bytes(4096);
    // Row 0 is read at frame 5292, inside the sixth call; row 1 inside the eleventh.
    EXPECT_EQ(masks, (std::vector<u32>{0, 0, 0, 0, 0, 0b101, 0, 0, 0, 0, 0}));

    test_song wide(32, {4}, {0});
    wide.note(0, 0, 31, c4, 1);
    wide.note(0, 0, 32, c4, 1);  // the global column, only in a damaged song
    wide.start();
    wide.enter_first_row();
    EXPECT_EQ(wide.context->new_note_mask, 1u << 31);
}

// Without a mix buffer (before the output format is set, or after a failed allocation) a render
// gives silence and makes no progress; a second start replaces the buffer and restarts the song.
TEST(PlayerRender, MixBufferFromTheOutputFormatAndAgainFromEachStart) {
    test_song song(1, {4}, {0});
    song.note(0, 0, 0, c4, 1);
    song.context->master_volume = 64;
    song.context->initial_tempo = 255;
    module_start(song.context);
    for (i16 value : song.render_bytes(4096)) ASSERT_EQ(value, 0);
    EXPECT_EQ(song.context->tick, 0);
    module_set_output_format(song.context);
    EXPECT_EQ(song.context->samples_per_tick, 432);
    song.render_bytes(4096);
    EXPECT_EQ(song.context->tick, 2);  // 1024 frames = 2 ticks of 432 + 160
    std::free(song.context->mix_buffer);
    song.context->mix_buffer = nullptr;
    for (i16 value : song.render_bytes(4096)) ASSERT_EQ(value, 0);
    EXPECT_EQ(song.context->tick, 2);
    song.sample(0).c_rate = 9000;
    song.slot(0).vibrato_position = 40;
    song.start();  // the sanitizer build reports a leaked first buffer
    EXPECT_EQ(song.slot(0).vibrato_position, 0u);
    ASSERT_NE(song.context->mix_buffer, nullptr);
    EXPECT_EQ(song.context->row, 0);
    EXPECT_EQ(song.sample(0).c_rate, 8363u);
    song.run_ticks(6);
    EXPECT_EQ(song.render_bytes(4)[0], 2048);
}

// Where the sequencer goes after each row it reads: the (order, row) it will read next.
TEST(PlayerSong, MarkersJumpsBreaksAndLoops) {
    struct command {
        i32 pattern, row;
        u16 code;
        u8 param, second_param;
        i32 slot;
    };
    using positions = std::vector<std::pair<i32, i32>>;
    const struct {
        const char* what;
        std::vector<u32> rows;
        std::vector<u8> orders;
        std::vector<command> commands;
        positions expected;
    } cases[] = {
        {"the list wraps to order 0, not the restart position, skipping markers",
         {2, 2, 2},
         {0, 254, 2, 255},
         {},
         {{0, 1}, {2, 0}, {2, 1}, {0, 0}, {0, 1}}},
        {"leading markers are skipped at the start", {2, 2}, {255, 254, 1}, {}, {{2, 1}, {2, 0}}},
        {"a jump onto a marker plays the next playable entry",
         {2, 2},
         {0, 254, 1},
         {{0, 0, fx_position_jump, 1, 0, 0}},
         {{1, 0}, {2, 1}}},
        {"a jump past the list goes back to its start",
         {2, 2},
         {1, 0},
         {{0, 0, fx_position_jump, 9, 0, 0}},
         {{0, 1}, {1, 0}, {9, 0}, {0, 1}}},
        {"a break to a row past the pattern starts its first row",
         {4, 2},
         {0, 1},
         {{0, 0, fx_pattern_break, 5, 0, 0}},
         {{1, 5}, {1, 1}}},
        {"jump and break suppress only their own row advance",
         {4, 4},
         {0, 1},
         {{0, 1, fx_pattern_break, 2, 0, 0}, {1, 3, fx_jump_and_break, 1, 1, 0}},
         {{0, 1}, {1, 2}, {1, 3}, {1, 1}, {1, 2}, {1, 3}}},
        {"jump and break in the last slot has no row parameter",
         {4, 4},
         {0, 1},
         {{0, 0, fx_jump_and_break, 1, 3, 1}},
         {{1, 0}}},
        {"a pattern loop plays its body count plus one times",
         {8},
         {0},
         {{0, 1, fx_pattern_loop, 0, 0, 0}, {0, 3, fx_pattern_loop, 2, 0, 0}},
         {{0, 1}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}},
        {"a second loop start inside the body moves the loop row",
         {8},
         {0},
         {{0, 1, fx_pattern_loop, 0, 0, 0}, {0, 2, fx_pattern_loop, 0, 0, 0}, {0, 3, fx_pattern_loop, 1, 0, 0}},
         {{0, 1}, {0, 2}, {0, 3}, {0, 2}, {0, 3}, {0, 4}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_song song(1, c.rows, c.orders);
        song.context->restart_position = 2;
        for (const command& k : c.commands) {
            module_cell& cell = song.effect(k.pattern, k.row, 1, k.code, k.param, k.slot);
            cell.params[1 - k.slot] = k.second_param;
        }
        song.start();
        positions seen;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            if (i == 0)
                song.enter_first_row();
            else
                song.next_row();
            seen.emplace_back(song.context->order, song.context->row);
        }
        EXPECT_EQ(seen, c.expected);
    }
}

TEST(PlayerSong, OrderListWithoutAPlayableEntryPlaysSilence) {
    for (std::vector<u8> orders : {std::vector<u8>{254, 255, 254}, std::vector<u8>{}, std::vector<u8>{7}}) {
        test_song song(1, {2}, orders);
        song.note(0, 0, 0, c4, 1);
        song.start();
        for (i32 call = 0; call < 20; ++call)
            for (i16 value : song.render_bytes(4096)) ASSERT_EQ(value, 0);
        EXPECT_EQ(song.context->order, 0);
    }
}

TEST(PlayerSong, PatternDelayStretchesItsRowBySpeedTicksPerUnit) {
    test_song song(1, {4}, {0});
    song.effect(0, 0, 1, fx_pattern_delay, 2);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->pattern_delay, 12);
    song.run_ticks(17);
    EXPECT_EQ(song.context->row, 1);  // row 1 not read yet
    song.run_ticks(1);
    EXPECT_EQ(song.context->row, 2);
    EXPECT_EQ(song.context->pattern_delay, 0);
    song.run_ticks(6);
    EXPECT_EQ(song.context->row, 3);  // an ordinary row again
}

}  // namespace
