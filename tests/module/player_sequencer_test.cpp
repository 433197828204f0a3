// Render loop and song position: tick timing, row reads, order list and row commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "player_fixture.h"

namespace {

constexpr u8 c4 = packed(4, 0);
constexpr u8 d4 = packed(4, 2);
constexpr u8 e4 = packed(4, 4);

// Rows in the order the sequencer reads them, starting from a fresh start.
std::vector<i32> rows_read(test_song& song, i32 count) {
    std::vector<i32> rows;
    for (i32 i = 0; i < count; ++i) {
        rows.push_back(song.context->row);
        if (i == 0)
            song.enter_first_row();
        else
            song.next_row();
    }
    return rows;
}

TEST(PlayerRender, FirstSpeedTicksAreSilentThenRowZeroSounds) {
    test_song song(1, {4}, {0});
    song.note(0, 0, 0, c4, 1);
    song.start();
    EXPECT_EQ(song.context->samples_per_tick, 882);
    std::vector<i16> pcm = song.render_bytes(6000 * 4);
    for (i32 frame = 0; frame < 5292; ++frame) {
        ASSERT_EQ(pcm[2 * frame], 0) << frame;
        ASSERT_EQ(pcm[2 * frame + 1], 0) << frame;
    }
    // Full volume, centred: 32 of 64 gain on each side of a sample value 64 * 256.
    for (i32 frame = 5292; frame < 6000; ++frame) {
        ASSERT_EQ(pcm[2 * frame], 2048) << frame;
        ASSERT_EQ(pcm[2 * frame + 1], 2048) << frame;
    }
}

TEST(PlayerRender, Writes1024FramesPer4096BytesWhateverTheTickLength) {
    test_song song(1, {4}, {0});
    song.note(0, 0, 0, c4, 1);
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
    test_song whole(1, {4}, {0});
    build(whole);
    const i32 frames = 12 * 882 + 300;  // into row 1, which is read at frame 10584
    std::vector<i16> expected = whole.render_bytes(frames * 4);

    test_song split(1, {4}, {0});
    build(split);
    std::vector<i16> pieces;
    const i32 chunk_frames[] = {1, 881, 1000, 3, 4096, 4500, 1};  // one chunk ends mid-tick at row 1
    i32 done = 0;
    for (i32 i = 0; done < frames; ++i) {
        i32 n = std::min(chunk_frames[i % 7], frames - done);
        std::vector<i16> part = split.render_bytes(n * 4);
        pieces.insert(pieces.end(), part.begin(), part.end());
        done += n;
    }
    EXPECT_EQ(pieces, expected);
    EXPECT_EQ(split.channel(0).volume, 60);  // lowered once, not once per render call
    EXPECT_EQ(whole.channel(0).volume, 60);
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
    // Row 0 is read at frame 5292, inside the sixth call (frames 5120 to 6143);
    // row 1, whose note has no instrument to play, inside the eleventh.
    EXPECT_EQ(masks, (std::vector<u32>{0, 0, 0, 0, 0, 0b101, 0, 0, 0, 0, 0}));
}

TEST(PlayerRender, NoteInTheThirtyThirdColumnLeavesTheMaskAlone) {
    test_song song(32, {4}, {0});
    song.note(0, 0, 31, packed(4, 0), 1);
    song.note(0, 0, 32, packed(4, 0), 1);  // the global column, only in a damaged song
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->new_note_mask, 1u << 31);
}

TEST(PlayerRender, InitialTempoBelow32PlaysAt125) {
    test_song song(1, {4}, {0});
    song.context->initial_tempo = 20;
    song.note(0, 0, 0, c4, 1);
    song.start();
    EXPECT_EQ(song.context->tempo, 125);
    EXPECT_EQ(song.context->samples_per_tick, 882);
    std::vector<i16> pcm = song.render_bytes(6000 * 4);
    EXPECT_EQ(pcm[2 * 5291], 0);
    EXPECT_EQ(pcm[2 * 5292], 2048);
}

TEST(PlayerRender, OutputFormatAfterStartFixesTickLengthAndBuffer) {
    test_song song(1, {4}, {0});
    song.context->master_volume = 64;
    song.context->initial_tempo = 255;
    module_start(song.context);
    // Before the output format is known there is nothing to render with: silence, no progress.
    std::vector<i16> pcm = song.render_bytes(4096);
    for (i16 value : pcm) ASSERT_EQ(value, 0);
    EXPECT_EQ(song.context->tick, 0);
    module_set_output_format(song.context);
    EXPECT_EQ(song.context->output_rate, 44100);
    EXPECT_EQ(song.context->samples_per_tick, 432);
    ASSERT_NE(song.context->mix_buffer, nullptr);
    song.render_bytes(4096);
    EXPECT_EQ(song.context->tick, 2);  // 1024 frames = 2 ticks of 432 + 160
}

TEST(PlayerRender, MissingMixBufferRendersSilenceUntilTheFormatIsSetAgain) {
    test_song song(1, {4}, {0});
    song.note(0, 0, 0, c4, 1);
    song.start();
    song.run_ticks(6);
    // As after a failed allocation.
    std::free(song.context->mix_buffer);
    song.context->mix_buffer = nullptr;
    std::vector<i16> pcm = song.render_bytes(4096);
    for (i16 value : pcm) ASSERT_EQ(value, 0);
    EXPECT_EQ(song.context->tick, 0);
    module_set_output_format(song.context);
    ASSERT_NE(song.context->mix_buffer, nullptr);
    pcm = song.render_bytes(4096);
    EXPECT_EQ(pcm[0], 2048);
}

TEST(PlayerRender, SecondStartReplacesTheMixBufferAndRestartsTheSong) {
    test_song song(1, {4}, {0});
    song.start();
    song.run_ticks(9);
    song.sample(0).c_rate = 9000;
    song.start();  // the sanitizer build reports the first buffer if it leaked
    ASSERT_NE(song.context->mix_buffer, nullptr);
    EXPECT_EQ(song.context->tick, 0);
    EXPECT_EQ(song.context->row, 0);
    EXPECT_EQ(song.sample(0).c_rate, 8363u);
}

TEST(PlayerSong, WrapsToOrderZeroNotTheRestartPositionSkippingMarkers) {
    test_song song(1, {2, 2, 2}, {0, 254, 2, 255});
    song.context->restart_position = 2;
    song.note(0, 0, 0, c4, 1);
    song.note(1, 0, 0, e4, 1);  // pattern 1 is never in the order list
    song.note(2, 0, 0, d4, 1);
    song.start();
    std::vector<std::pair<i32, i32>> positions;
    std::vector<u32> periods;
    song.enter_first_row();
    for (i32 i = 0; i < 5; ++i) {
        positions.emplace_back(song.context->order, song.context->row);
        if (song.context->row == 1) periods.push_back(song.channel(0).period);
        song.next_row();
    }
    std::vector<std::pair<i32, i32>> expected = {{0, 1}, {2, 0}, {2, 1}, {0, 0}, {0, 1}};
    EXPECT_EQ(positions, expected);
    EXPECT_EQ(periods, (std::vector<u32>{amiga_period(4, 0), amiga_period(4, 2), amiga_period(4, 0)}));
}

TEST(PlayerSong, StartsPastLeadingMarkers) {
    test_song song(1, {2, 2}, {255, 254, 1});
    song.note(1, 0, 0, d4, 1);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->order, 2);
    EXPECT_EQ(song.channel(0).period, amiga_period(4, 2));
}

TEST(PlayerSong, OrderListOfOnlyMarkersPlaysSilence) {
    for (std::vector<u8> orders : {std::vector<u8>{254, 255, 254}, std::vector<u8>{}, std::vector<u8>{7}}) {
        test_song song(1, {2}, orders);
        song.note(0, 0, 0, c4, 1);
        song.start();
        for (i32 call = 0; call < 20; ++call) {
            std::vector<i16> pcm = song.render_bytes(4096);
            for (i16 value : pcm) ASSERT_EQ(value, 0);
        }
        EXPECT_EQ(song.context->order, 0);
    }
}

TEST(PlayerSong, JumpOntoMarkerOrPastTheListPlaysTheNextPlayableEntry) {
    {
        test_song song(1, {2, 2}, {0, 254, 1});
        song.effect(0, 0, 1, fx_position_jump, 1);
        song.note(1, 0, 0, d4, 1);
        song.start();
        song.enter_first_row();
        EXPECT_EQ(song.context->order, 1);
        song.next_row();
        EXPECT_EQ(song.channel(0).period, amiga_period(4, 2));
        EXPECT_EQ(song.context->order, 2);
        EXPECT_EQ(song.context->row, 1);
    }
    {
        test_song song(1, {2, 2}, {1, 0});
        song.effect(0, 0, 1, fx_position_jump, 9);  // past order_count 2: back to the start
        song.note(1, 0, 0, d4, 1);
        song.note(1, 1, 0, c4, 1);
        song.start();
        song.enter_first_row();
        song.next_row();
        song.next_row();  // pattern 0, row 0: the jump
        EXPECT_EQ(song.channel(0).period, amiga_period(4, 0));
        song.next_row();
        EXPECT_EQ(song.context->order, 0);
        EXPECT_EQ(song.context->row, 1);
        EXPECT_EQ(song.channel(0).period, amiga_period(4, 2));
    }
}

TEST(PlayerSong, BreakToRowBeyondThePatternStartsItsFirstRow) {
    test_song song(1, {4, 2}, {0, 1});
    song.effect(0, 0, 1, fx_pattern_break, 5);
    song.note(1, 0, 0, d4, 1);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->order, 1);
    EXPECT_EQ(song.context->row, 5);
    song.next_row();
    EXPECT_EQ(song.channel(0).period, amiga_period(4, 2));
    EXPECT_EQ(song.context->row, 1);
}

TEST(PlayerSong, JumpAndBreakSuppressOnlyTheirOwnRowAdvance) {
    test_song song(1, {4, 4}, {0, 1});
    song.effect(0, 1, 1, fx_pattern_break, 2);
    song.effect(1, 3, 1, fx_jump_and_break, 1).params[1] = 1;
    song.start();
    std::vector<std::pair<i32, i32>> read;
    for (i32 i = 0; i < 6; ++i) {
        read.emplace_back(song.context->order, song.context->row);
        if (i == 0)
            song.enter_first_row();
        else
            song.next_row();
    }
    std::vector<std::pair<i32, i32>> expected = {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 1}, {1, 2}};
    EXPECT_EQ(read, expected);
}

TEST(PlayerSong, JumpAndBreakInTheLastSlotHasNoRowParameter) {
    test_song song(1, {4, 4}, {0, 1});
    module_cell& cell = song.effect(0, 0, 1, fx_jump_and_break, 1, 1);
    cell.params[0] = 3;
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->order, 1);
    EXPECT_EQ(song.context->row, 0);
}

TEST(PlayerSong, PatternLoopPlaysItsBodyCountPlusOneTimes) {
    test_song song(1, {8}, {0});
    song.effect(0, 1, 1, fx_pattern_loop, 0);
    song.effect(0, 3, 1, fx_pattern_loop, 2);
    song.start();
    EXPECT_EQ(rows_read(song, 12), (std::vector<i32>{0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5}));
    EXPECT_EQ(song.context->loop_count, 0);
}

TEST(PlayerSong, SecondLoopStartInsideTheBodyMovesTheLoopRow) {
    test_song song(1, {8}, {0});
    song.effect(0, 1, 1, fx_pattern_loop, 0);
    song.effect(0, 2, 1, fx_pattern_loop, 0);
    song.effect(0, 3, 1, fx_pattern_loop, 1);
    song.start();
    EXPECT_EQ(rows_read(song, 7), (std::vector<i32>{0, 1, 2, 3, 2, 3, 4}));
}

TEST(PlayerSong, PatternDelayStretchesItsRowBySpeedTicksPerUnit) {
    test_song song(1, {4}, {0});
    song.effect(0, 0, 1, fx_pattern_delay, 2);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->pattern_delay, 12);
    song.run_ticks(17);
    EXPECT_EQ(song.context->tick, 17);
    EXPECT_EQ(song.context->row, 1);  // row 1 not read yet
    song.run_ticks(1);
    EXPECT_EQ(song.context->tick, 0);
    EXPECT_EQ(song.context->row, 2);
    EXPECT_EQ(song.context->pattern_delay, 0);
    song.run_ticks(6);
    EXPECT_EQ(song.context->row, 3);  // an ordinary row again
}

}  // namespace
