// The session the ambrel tool and the oracle tests play modules through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "mod_writer.h"
#include "module_session.h"

namespace {

// A looped square wave: loud from the first frame of every note.
mod_sample square_sample() {
    mod_sample sample;
    sample.name = "square";
    for (int i = 0; i < 64; ++i) sample.data.push_back(i < 32 ? 100 : -100);
    sample.loop_start = 0;
    sample.loop_length = 32;
    return sample;
}

// Speed 6 and tempo 125 (882 frames a tick) as every MOD starts. Row 1 starts
// a note, row 2 sets speed 3 (F03), row 4 breaks to the next order (D00).
std::vector<u8> timed_song() {
    mod_file file;
    file.samples.push_back(square_sample());
    file.orders = {0, 1};
    file.patterns.assign(2, mod_pattern());
    file.patterns[0].at(1, 0) = mod_cell{1, mod_period(3, 0), 0, 0};
    file.patterns[0].at(2, 1) = mod_cell{0, 0, 0xF, 3};
    file.patterns[0].at(4, 2) = mod_cell{0, 0, 0xD, 0};
    return write_mod(file);
}

struct started_session {
    module_session session;
    explicit started_session(const std::vector<u8>& image) {
        EXPECT_EQ(session.load(image.data(), image.size()), 0);
        session.start();
    }
};

TEST(TraceSong, ReportsEachRowAtTheFrameItsFirstTickBegins) {
    started_session song(timed_song());
    std::vector<traced_row> rows;
    ASSERT_TRUE(trace_song(song.session, 30000, [&](const traced_row& row) { rows.push_back(row); }));
    const int tick = 882;
    // Six silent ticks before row 0; three-tick rows after the F03 of row 2;
    // the break on row 4 leads to order 1, row 0.
    const struct {
        uint64_t frame;
        i32 order, row;
    } expected[] = {{6 * tick, 0, 0},  {12 * tick, 0, 1}, {18 * tick, 0, 2}, {21 * tick, 0, 3},
                    {24 * tick, 0, 4}, {27 * tick, 1, 0}, {30 * tick, 1, 1}, {33 * tick, 1, 2}};
    ASSERT_GE(rows.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].frame, expected[i].frame);
        EXPECT_EQ(rows[i].order, expected[i].order);
        EXPECT_EQ(rows[i].row, expected[i].row);
        EXPECT_EQ(rows[i].tick_frames, tick);
    }
    EXPECT_LT(rows.back().frame, 30000u);  // nothing at or beyond the limit
}

TEST(RenderSong, DeliversExactlyTheFramesAskedInModuleInputCalls) {
    started_session song(timed_song());
    std::vector<size_t> calls;
    render_song(song.session, 2500, [&](const i16*, size_t frames) { calls.push_back(frames); });
    EXPECT_EQ(calls, (std::vector<size_t>{1024, 1024, 452}));
    // The surplus of the last call was rendered all the same: 3 calls of 1024 frames.
    const module_context& context = song.session.context();
    uint64_t rendered = static_cast<uint64_t>(context.tick) * context.samples_per_tick + context.tick_position;
    EXPECT_EQ(rendered, 3 * 1024u);
}

TEST(SessionLoad, RefusesDataNoFormatAccepts) {
    std::vector<u8> noise(2000, 0x5a);
    module_session session;
    EXPECT_EQ(session.load(noise.data(), noise.size()), -1);
    EXPECT_EQ(session.context().loaded, 0);
}

}  // namespace
