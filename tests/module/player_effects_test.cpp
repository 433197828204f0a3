// Effect codes: row, tick and end actions with their memories.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "player_fixture.h"

namespace {

using trace = std::vector<long long>;

constexpr u8 c4 = packed(4, 0);
// Amiga periods of the fixture's 8363 Hz sample.
constexpr u32 c4_period = 1712, d4_period = 1524;

// Values at ticks 0 to speed - 1 of the current row (entered at tick 0); afterwards the next
// row has been read and its tick 0 has run.
trace row_trace(test_song& song, const std::function<long long()>& value) {
    trace values;
    for (i32 t = 0; t < song.context->speed; ++t) {
        if (t) song.run_ticks(1);
        values.push_back(value());
    }
    song.run_ticks(1);
    return values;
}

// One file channel playing C-4 of instrument 1 from row 0, rows 1 and later free for effects.
struct single_voice : test_song {
    explicit single_voice(empty_cells style = empty_cells::mod_style, i32 channels = 1)
        : test_song(channels, {16}, {0}, 1, style) {
        note(0, 0, 0, c4, 1);
    }
    void begin() {
        start();
        enter_first_row();
        next_row();
    }
};

// What a row of the voice's channel holds besides its effect in slot 0.
struct step {
    u16 code;
    u8 param;
    u8 volume = 255;             // volume column
    u8 note = module_note_none;  // with instrument 1 when given
    u16 second_code = fx_none;   // slot 1
    u8 second_param = 0;
};

long long period(test_song& s) { return s.channel(0).period; }
long long volume(test_song& s) { return s.channel(0).volume; }
long long pan(test_song& s) { return s.channel(0).pan; }
long long vibrato(test_song& s) { return s.channel(0).period_offset; }
long long restarted(test_song& s) { return s.channel(0).position == 0; }
long long global_volume(test_song& s) { return s.context->current_global_volume; }
long long tick_frames(test_song& s) { return s.context->samples_per_tick; }  // the trace's length is the speed

// The voice's rows 1, 2, ... hold `rows`; `probe` is watched over each row's ticks.
struct effect_case {
    const char* what;
    empty_cells style;
    std::vector<step> rows;
    long long (*probe)(test_song&);
    std::vector<trace> traces;                         // row 1 first
    u8 first_row_code = fx_none, first_row_param = 0;  // an effect beside the note on row 0
};

constexpr empty_cells mod = empty_cells::mod_style, xm = empty_cells::xm_style;
constexpr u8 none = module_note_none;

const effect_case effect_cases[] = {
    {"portamentos slide on every tick but the first; fine ones on the first only",
     mod,
     {{fx_porta_up, 2}, {fx_porta_down, 1}, {fx_fine_porta_up, 3}, {fx_fine_porta_down, 5}},
     period,
     {{1712, 1704, 1696, 1688, 1680, 1672},
      {1672, 1676, 1680, 1684, 1688, 1692},
      {1680, 1680, 1680, 1680, 1680, 1680},
      {1700, 1700, 1700, 1700, 1700, 1700}}},
    {"XM portamentos share one memory",
     xm,
     {{fx_xm_porta_up, 3}, {fx_xm_porta_down, 0}, {fx_xm_porta_up, 0}},
     period,
     {{4608, 4596, 4584, 4572, 4560, 4548},
      {4548, 4560, 4572, 4584, 4596, 4608},
      {4608, 4596, 4584, 4572, 4560, 4548}}},
    {"S3M portamentos: fine, extra fine, memory",
     mod,
     {{fx_s3m_porta_down, 0xF2},
      {fx_s3m_porta_down, 0x00},
      {fx_s3m_porta_up, 0xE3},
      {fx_s3m_porta_up, 0x02},
      {fx_s3m_porta_down, 0x00}},
     period,
     {{1720, 1720, 1720, 1720, 1720, 1720},
      {1728, 1728, 1728, 1728, 1728, 1728},
      {1725, 1725, 1725, 1725, 1725, 1725},
      {1725, 1717, 1709, 1701, 1693, 1685},
      {1685, 1693, 1701, 1709, 1717, 1725}}},
    {"tone portamento to C#-4 stops there; 5xy keeps the speed of 3xx, not its parameter",
     mod,
     {{fx_tone_porta, 4, 255, packed(4, 1)}, {fx_tone_porta_volume_slide, 0x01}},
     period,
     {{1712, 1696, 1680, 1664, 1648, 1632}, {1632, 1616, 1616, 1616, 1616, 1616}}},
    {"5xy slides the volume from the second tick",
     mod,
     {{fx_tone_porta, 4, 255, packed(4, 1)}, {fx_tone_porta_volume_slide, 0x01}},
     volume,
     {{64, 64, 64, 64, 64, 64}, {64, 63, 62, 61, 60, 59}}},
    {"S3M Lxy slides the volume on the first tick too",
     mod,
     {{fx_tone_porta, 4, 255, packed(4, 1)}, {fx_s3m_tone_porta_volume_slide, 0x03}},
     volume,
     {{64, 64, 64, 64, 64, 64}, {61, 58, 55, 52, 49, 46}}},
    {"vibrato follows the sine, repeats its memory, floors -24.25 to -25, ends at the next row",
     mod,
     {{fx_vibrato, 0x48}, {fx_vibrato, 0x00}, {fx_vibrato_volume_slide, 0x02}, {fx_none, 0}},
     vibrato,
     {{0, 0, 24, 45, 58, 63}, {0, 58, 45, 24, 0, -25}, {0, -45, -59, -64, -59, -45}, {0, 0, 0, 0, 0, 0}}},
    {"6xy slides the volume from the second tick",
     mod,
     {{fx_vibrato, 0x48}, {fx_vibrato_volume_slide, 0x02}},
     volume,
     {{64, 64, 64, 64, 64, 64}, {64, 62, 60, 58, 56, 54}}},
    {"S3M Kxy slides the volume on the first tick too",
     mod,
     {{fx_vibrato, 0x48}, {fx_s3m_vibrato_volume_slide, 0x02}},
     volume,
     {{64, 64, 64, 64, 64, 64}, {62, 60, 58, 56, 54, 52}}},
    {"square tremolo clamps at zero and ends at its base",
     mod,
     {{fx_tremolo, 0x8F, 10}, {fx_none, 0}},
     volume,
     {{39, 39, 39, 39, 39, 0}, {10, 10, 10, 10, 10, 10}},
     fx_tremolo_waveform,
     2},
    {"S3M tremolo runs on the first tick too",
     mod,
     {{fx_s3m_tremolo, 0x8F, 10}},
     volume,
     {{39, 39, 39, 39, 0, 0}},
     fx_tremolo_waveform,
     2},
    {"set panning survives the note it comes with", mod, {{fx_set_pan, 32, 255, c4}}, pan, {{32, 32, 32, 32, 32, 32}}},
    {"coarse panning, then a slide left",
     mod,
     {{fx_coarse_pan, 15}, {fx_pan_slide, 0x05}},
     pan,
     {{255, 255, 255, 255, 255, 255}, {255, 250, 245, 240, 235, 230}}},
    {"a slide right and its memory",
     mod,
     {{fx_coarse_pan, 7}, {fx_pan_slide, 0x30}, {fx_pan_slide, 0x00}},
     pan,
     {{128, 128, 128, 128, 128, 128}, {128, 131, 134, 137, 140, 143}, {143, 146, 149, 152, 155, 158}}},
    {"MOD volume slide: x wins; XM slides keep their memory",
     mod,
     {{fx_volume_slide, 0x03}, {fx_volume_slide, 0x21, 60}, {fx_xm_volume_slide, 0x04}, {fx_xm_volume_slide, 0x00}},
     volume,
     {{64, 61, 58, 55, 52, 49}, {60, 62, 64, 64, 64, 64}, {64, 60, 56, 52, 48, 44}, {44, 40, 36, 32, 28, 24}}},
    {"fine volume slides have their own memory each",
     mod,
     {{fx_fine_volume_down, 4}, {fx_fine_volume_down, 0}, {fx_fine_volume_up, 0}, {fx_fine_volume_up, 10}},
     volume,
     {{60, 60, 60, 60, 60, 60}, {56, 56, 56, 56, 56, 56}, {56, 56, 56, 56, 56, 56}, {64, 64, 64, 64, 64, 64}}},
    {"S3M volume slides: fine once, memory, every tick, y over x, capped, after the volume column",
     mod,
     {{fx_s3m_volume_slide, 0xF1},
      {fx_s3m_volume_slide, 0x00},
      {fx_s3m_volume_slide, 0x0F},
      {fx_s3m_volume_slide, 0x12, 10},
      {fx_s3m_volume_slide, 0xF0},
      {fx_s3m_volume_slide, 0x5F},
      {fx_s3m_volume_slide, 0xF4, 64}},
     volume,
     {{63, 63, 63, 63, 63, 63},
      {62, 62, 62, 62, 62, 62},
      {47, 32, 17, 2, 0, 0},
      {8, 6, 4, 2, 0, 0},
      {15, 30, 45, 60, 64, 64},
      {64, 64, 64, 64, 64, 64},
      {64, 64, 64, 64, 64, 64}}},
    {"two slots keep separate memories",
     xm,
     {{fx_xm_volume_slide, 0x01, 20, none, fx_xm_volume_slide, 0x30},
      {fx_xm_volume_slide, 0x00, 255, none, fx_xm_volume_slide, 0x00}},
     volume,
     {{20, 22, 24, 26, 28, 30}, {30, 32, 34, 36, 38, 40}}},
    {"global volume: 70 is no volume, slides with memory",
     mod,
     {{fx_set_global_volume, 70},
      {fx_set_global_volume, 32},
      {fx_global_volume_slide, 0x02},
      {fx_global_volume_slide, 0x00},
      {fx_global_volume_slide, 0x30}},
     global_volume,
     {{64, 64, 64, 64, 64, 64},
      {32, 32, 32, 32, 32, 32},
      {32, 30, 28, 26, 24, 22},
      {22, 20, 18, 16, 14, 12},
      {12, 15, 18, 21, 24, 27}}},
    {"retrigger restarts with the instrument's volume",
     mod,
     {{fx_retrigger, 2, 20}},
     volume,
     {{20, 20, 64, 64, 64, 64}}},
    {"retrigger every second tick", mod, {{fx_retrigger, 2, 20}}, restarted, {{0, 0, 1, 0, 1, 0}}},
    {"retrigger 0 does nothing", mod, {{fx_retrigger, 0, 20}}, restarted, {{0, 0, 0, 0, 0, 0}}},
    {"S3M retrigger counts the first tick", mod, {{fx_s3m_retrigger, 0x03, 60}}, restarted, {{0, 0, 1, 0, 0, 1}}},
    {"S3M retrigger 0 retriggers every tick", mod, {{fx_s3m_retrigger, 0x00, 60}}, restarted, {{0, 1, 1, 1, 1, 1}}},
    {"S3M retrigger lowers the volume by two thirds",
     mod,
     {{fx_s3m_retrigger, 0x63, 60}},
     volume,
     {{60, 60, 40, 40, 40, 26}}},
    {"note cut on its tick", mod, {{fx_note_cut, 3}}, volume, {{64, 64, 64, 0, 0, 0}}},
    {"note delay starts the note on its tick, the volume column at once",
     mod,
     {{fx_note_delay, 2, 30, packed(4, 2)}},
     period,
     {{c4_period, c4_period, d4_period, d4_period, d4_period, d4_period}}},
    {"note delay's volume", mod, {{fx_note_delay, 2, 30, packed(4, 2)}}, volume, {{30, 30, 30, 30, 30, 30}}},
    {"note delay 0 never plays the note",
     mod,
     {{fx_note_delay, 0, 255, packed(4, 2)}},
     period,
     {{c4_period, c4_period, c4_period, c4_period, c4_period, c4_period}}},
    {"speed and tempo: F00, A00 and tempos below 32 are ignored; a slow tick is whole",
     mod,
     {{fx_speed_tempo, 0},
      {fx_speed_tempo, 3},
      {fx_speed_tempo, 150},
      {fx_s3m_speed, 0},
      {fx_s3m_speed, 4},
      {fx_s3m_tempo, 31},
      {fx_s3m_tempo, 32}},
     tick_frames,
     {{882, 882, 882, 882, 882, 882},
      {882, 882, 882},
      {735, 735, 735},
      {735, 735, 735},
      {735, 735, 735, 735},
      {735, 735, 735, 735},
      {3445, 3445, 3445, 3445}}},
    {"unused and out-of-range codes do nothing",
     xm,
     {{fx_unused_28, 0x55, 255, none, 200, 0x55}},
     period,
     {{4608, 4608, 4608, 4608, 4608, 4608}}},
};

TEST(PlayerEffects, SingleVoice) {
    for (const effect_case& c : effect_cases) {
        SCOPED_TRACE(c.what);
        single_voice song(c.style);
        song.context->linear_frequencies = c.style == xm;  // XM songs as they mostly are
        song.effect(0, 0, 0, c.first_row_code, c.first_row_param);
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const step& s = c.rows[i];
            const i32 row = static_cast<i32>(i) + 1;
            song.note(0, row, 0, s.note, s.note == none ? 0 : 1, s.volume);
            song.effect(0, row, 0, s.code, s.param);
            song.effect(0, row, 0, s.second_code, s.second_param, 1);
        }
        song.begin();
        for (const trace& expected : c.traces) EXPECT_EQ(row_trace(song, [&] { return c.probe(song); }), expected);
    }
}

// The vibrato's sine is 255 sin(2 pi i / 64) truncated, as the classic trackers tabulate it, and
// its ramp falls by 8 from 255; the offset is (value x depth) >> 5. Over every depth most
// entries' neighbours give another offset somewhere.
TEST(PlayerEffects, VibratoWalksEveryEntryOfTheSineAndTheRampAtEveryDepth) {
    for (u8 waveform : {0, 1}) {
        for (i32 depth = 1; depth < 16; ++depth) {
            SCOPED_TRACE(testing::Message() << "waveform " << int(waveform) << " depth " << depth);
            single_voice song;
            song.effect(0, 0, 0, fx_vibrato_waveform, waveform);
            for (i32 row = 1; row < 16; ++row) song.effect(0, row, 0, fx_vibrato, static_cast<u8>(0x10 | depth));
            song.begin();
            for (i32 position = 0; position < 64;) {
                song.run_ticks(1);
                if (song.context->tick == 0) continue;  // the first tick of a row leaves the offset
                const i32 value = waveform == 0 ? static_cast<i32>(255 * std::sin(std::numbers::pi * position / 32))
                                                : 255 - 8 * position;
                ASSERT_EQ(song.channel(0).period_offset, (value * depth) >> 5) << position;
                ++position;
            }
        }
    }
}

// The arpeggio's phase runs on across rows (speed 5: five steps leave it at 2), and a step up
// from B-4 wraps into octave 5; the end action restores the plain note.
TEST(PlayerEffects, ArpeggioCyclesThreePitchesAndItsPhaseRunsOnAcrossRows) {
    single_voice song(empty_cells::mod_style, 2);
    song.context->initial_speed = 5;
    song.effect(0, 0, 0, fx_arpeggio, 0x37);
    song.note(0, 0, 1, packed(4, 11), 1);
    song.effect(0, 0, 1, fx_arpeggio, 0x30);
    song.effect(0, 2, 0, fx_arpeggio, 0x37);
    song.start();
    song.enter_first_row();
    const u32 b4 = 907, d5 = 762, ds4 = 1440, g4 = 1140;
    trace second;
    trace first = row_trace(song, [&] {
        second.push_back(song.channel(1).period);
        return song.channel(0).period;
    });
    EXPECT_EQ(first, (trace{c4_period, ds4, g4, c4_period, ds4}));
    EXPECT_EQ(second, (trace{b4, d5, b4, b4, d5}));
    EXPECT_EQ(song.channel(0).period, c4_period);
    song.run_ticks(5);
    EXPECT_EQ(song.channel(0).period, g4);
}

// FastTracker II and ProTracker remember the last offset and apply it only with a note; this
// player's offset has no memory, moves whatever voice is playing, and stops at the length.
TEST(PlayerEffects, SampleOffsetHasNoMemoryAndMovesThePlayingVoice) {
    single_voice song(empty_cells::mod_style, 2);
    song.effect(0, 0, 0, fx_sample_offset, 2);
    song.note(0, 0, 1, c4, 1);
    song.effect(0, 0, 1, fx_sample_offset, 4);
    song.effect(0, 1, 0, fx_sample_offset, 0);  // no note: the playing voice goes back to frame 0
    song.note(0, 2, 0, c4, 1);
    song.effect(0, 2, 0, fx_sample_offset, 0);  // with a note: frame 0, not the earlier 512
    song.start();
    song.enter_first_row();
    const u32 loop_end = 1000u * 1024u, tick = 882u * 194u;
    EXPECT_EQ(song.channel(0).position, 512u * 1024u);
    EXPECT_EQ(song.channel(1).position, loop_end);  // clamped to the 1000-frame length
    song.run_ticks(song.context->speed - 1);
    EXPECT_EQ(song.channel(0).position, 512u * 1024u + 5u * tick - loop_end);  // the mixer went on from there
    song.next_row();
    EXPECT_EQ(song.channel(0).position, 0u);
    EXPECT_EQ(song.channel(0).active, 1);
    song.run_ticks(song.context->speed - 1);
    song.next_row();
    EXPECT_EQ(song.channel(0).position, 0u);
}

// A tone portamento keeps the sample position and direction of the voice it bends; a new note
// starts forwards, also on a ping-pong voice that was running backwards.
TEST(PlayerEffects, TonePortamentoKeepsAPingPongVoicesDirectionButANewNoteStartsForwards) {
    single_voice song;
    song.sample(0).ping_pong = 1;
    song.note(0, 1, 0, packed(4, 2));
    song.effect(0, 1, 0, fx_tone_porta, 1);
    song.note(0, 2, 0, c4, 1);
    song.start();
    song.enter_first_row();
    song.run_ticks(song.context->speed - 1);
    module_channel& channel = song.channel(0);
    channel.position = 800u * 1024u;
    channel.forward = 0;
    song.next_row();  // the last tick of row 0 runs backwards, then row 1 is read
    EXPECT_EQ(channel.position, 800u * 1024u - 882u * 194u);
    EXPECT_EQ(channel.forward, 0);
    EXPECT_EQ(channel.period, c4_period);
    song.run_ticks(1);
    EXPECT_EQ(channel.position, 800u * 1024u - 2u * 882u * 194u);
    song.run_ticks(song.context->speed - 2);
    channel.position = 800u * 1024u;
    channel.forward = 0;
    song.next_row();  // row 2: a note of its own
    EXPECT_EQ(channel.forward, 1);
    song.run_ticks(1);
    EXPECT_EQ(channel.position, 882u * 194u);  // forwards from frame 0
}

TEST(PlayerEffects, SetFinetuneRetunesTheSampleForNewNotesUntilTheNextStart) {
    single_voice song(empty_cells::mod_style, 2);
    song.effect(0, 1, 0, fx_set_finetune, 15);
    song.note(0, 1, 1, c4, 1);
    song.begin();
    EXPECT_EQ(song.sample(0).c_rate, 8757u);
    EXPECT_EQ(song.channel(0).period, c4_period);
    EXPECT_EQ(song.channel(1).period, 1634u);
    song.start();
    EXPECT_EQ(song.sample(0).c_rate, 8363u);
}

TEST(PlayerEffects, S3mRetriggerVolumeChanges) {
    // Volume after the first retrigger (tick 1 with interval 1) from 40, per change x; changes
    // that would leave 0..64 stop at its ends.
    const u8 from_40[16] = {40, 39, 38, 36, 32, 24, 26, 20, 40, 41, 42, 44, 48, 56, 60, 64};
    struct change {
        u8 start, x, after;
    };
    std::vector<change> changes = {{10, 5, 0}, {50, 13, 64}};
    for (u8 x = 0; x < 16; ++x) changes.push_back({40, x, from_40[x]});
    for (const change& c : changes) {
        single_voice song;
        song.note(0, 1, 0, module_note_none, 0, c.start);
        song.effect(0, 1, 0, fx_s3m_retrigger, static_cast<u8>(c.x << 4 | 1));
        song.begin();
        song.run_ticks(1);
        EXPECT_EQ(song.channel(0).volume, c.after) << int(c.start) << " " << int(c.x);
    }
}

}  // namespace
