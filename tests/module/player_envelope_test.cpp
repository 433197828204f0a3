// Instrument envelopes and fadeout, as the per-tick pass runs them.
#include <gtest/gtest.h>

#include <vector>

#include "player_fixture.h"

namespace {

using trace = std::vector<long long>;

constexpr u8 c4 = packed(4, 0);

// An XM-style voice whose instrument 1 carries the given envelope; note on row 0,
// key-off on row `key_off_row` (none when negative).
struct enveloped_voice : test_song {
    enveloped_voice(std::vector<module_envelope_point> points, u8 sustain, u8 loop_start, u8 loop_end,
                    i32 key_off_row = -1, bool panning = false)
        : test_song(1, {16}, {0}, 1, empty_cells::xm_style) {
        module_instrument& target = instrument(1);
        set_envelope(panning ? target.panning_envelope : target.volume_envelope, std::move(points), sustain, loop_start,
                     loop_end);
        note(0, 0, 0, c4, 1);
        if (key_off_row >= 0) note(0, key_off_row, 0, module_note_off);
        start();
        enter_first_row();
    }
    // Envelope outputs over the next `ticks` ticks, the current one first.
    trace values(i32 ticks, bool panning = false) {
        trace out;
        for (i32 t = 0; t < ticks; ++t) {
            if (t) run_ticks(1);
            out.push_back(panning ? channel(0).pan_envelope_value : channel(0).volume_envelope_value);
        }
        return out;
    }
};

// Outputs tick by tick from the note's first tick, over a key-off where one is given.
TEST(PlayerEnvelope, SustainLoopsSegmentsAndTheirRepairs) {
    const struct {
        const char* what;
        std::vector<module_envelope_point> points;
        u8 sustain, loop_start, loop_end;
        i32 key_off_row;
        bool panning;
        trace values;
    } cases[] = {
        // Waits at its sustain point until the key-off (row 2, tick 12), then runs to its end.
        {"sustain",
         {{0, 0}, {4, 64}, {8, 32}},
         1,
         255,
         255,
         2,
         false,
         {16, 32, 48, 64, 64, 64, 64, 64, 64, 64, 64, 64, 56, 48, 40, 32, 32, 32}},
        {"loop", {{0, 10}, {2, 20}, {4, 30}}, 255, 1, 2, -1, false, {15, 20, 25, 20, 25, 20, 25, 20}},
        {"reversed loop: none", {{0, 10}, {2, 20}, {4, 30}}, 255, 2, 1, -1, false, {15, 20, 25, 30, 30, 30, 30}},
        // 64 - 64 / 3 = 64 - 21, not 42 from a floor of -21.33.
        {"truncated toward zero", {{0, 64}, {3, 0}}, 255, 255, 255, -1, false, {43, 22, 0, 0}},
        // A segment of no length: the tick that crosses it yields its later value; the next
        // segment resumes on its own time axis.
        {"first segment empty", {{0, 10}, {0, 50}, {4, 30}}, 255, 255, 255, -1, false, {50, 40, 35, 30, 30}},
        {"middle segment empty", {{0, 0}, {2, 20}, {2, 60}, {4, 40}}, 255, 255, 255, -1, false, {10, 20, 60, 40, 40}},
        {"one point: no value", {{0, 20}}, 255, 255, 255, -1, false, {64, 64}},
        {"panning", {{0, 0}, {2, 64}}, 255, 255, 255, -1, true, {32, 64, 64}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        enveloped_voice voice(c.points, c.sustain, c.loop_start, c.loop_end, c.key_off_row, c.panning);
        EXPECT_EQ(voice.values(static_cast<i32>(c.values.size()), c.panning), c.values);
        EXPECT_EQ(voice.channel(0).active, 1);
        if (!c.panning) {
            EXPECT_EQ(voice.channel(0).pan_envelope_value, 32);  // no panning envelope: neutral
        }
    }
    // Without a volume envelope the value is neutral; panning at 64 puts everything on the right.
    enveloped_voice right({{0, 0}, {2, 64}}, 255, 255, 255, -1, true);
    right.run_ticks(2);
    EXPECT_EQ(right.channel(0).volume_envelope_value, 64);
    const std::vector<i16> pcm = right.render_bytes(4);
    EXPECT_EQ(pcm[0], 0);
    EXPECT_EQ(pcm[1], 4096);
}

TEST(PlayerFadeout, KeyOffFadesByTheInstrumentRateDownToZeroAndANewInstrumentRestores) {
    test_song song(1, {8}, {0}, 1, empty_cells::xm_style);
    song.instrument(1).fadeout = 5000;
    song.set_envelope(song.instrument(1).volume_envelope, {{0, 64}, {1, 64}}, 255);
    song.note(0, 0, 0, c4, 1);
    song.note(0, 1, 0, module_note_off);
    song.note(0, 3, 0, c4, 1);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.channel(0).fade_volume, 32768);
    song.next_row();
    trace fades;
    for (i32 t = 0; t < 8; ++t) {
        fades.push_back(song.channel(0).fade_volume);
        song.run_ticks(1);
    }
    // 32768 - 5000 per tick from the key-off row's tick 0, and 0 once the step is not below it.
    EXPECT_EQ(fades, (trace{27768, 22768, 17768, 12768, 7768, 2768, 0, 0}));
    // At fade 0 the master factor is 0: silence although the voice is active.
    EXPECT_EQ(song.channel(0).active, 1);
    std::vector<i16> pcm = song.render_bytes(4);
    EXPECT_EQ(pcm[0], 0);
    song.next_row();  // row 3: the instrument again
    EXPECT_EQ(song.channel(0).fade_volume, 32768);
    EXPECT_EQ(song.channel(0).fade_step, 0);
}

}  // namespace
