// Effect codes: row, tick and end actions with their memories.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "player_fixture.h"

namespace {

using trace = std::vector<long long>;

constexpr u8 c4 = packed(4, 0);
const u32 c4_period = amiga_period(4, 0);  // 1712

// Values at ticks 0 to speed - 1 of the current row (entered at tick 0); afterwards
// the next row has been read and its tick 0 has run.
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
    std::function<long long()> period() {
        return [this] { return channel(0).period; };
    }
    std::function<long long()> volume() {
        return [this] { return channel(0).volume; };
    }
};

TEST(PlayerEffects, ArpeggioCyclesThreePitchesAndItsPhaseRunsOnAcrossRows) {
    single_voice song(empty_cells::mod_style, 2);
    song.context->initial_speed = 5;
    song.effect(0, 0, 0, fx_arpeggio, 0x37);
    song.note(0, 0, 1, packed(4, 11), 1);
    song.effect(0, 0, 1, fx_arpeggio, 0x30);
    song.effect(0, 2, 0, fx_arpeggio, 0x37);
    song.start();
    song.enter_first_row();
    u32 b4_period = amiga_period(4, 11);
    trace second;
    trace first = row_trace(song, [&] {
        second.push_back(song.channel(1).period);
        return song.channel(0).period;
    });
    u32 ds4 = amiga_period(4, 3), g4 = amiga_period(4, 7);
    EXPECT_EQ(first, (trace{c4_period, ds4, g4, c4_period, ds4}));
    // B-4 up three semitones wraps into octave 5: D-5.
    EXPECT_EQ(second, (trace{b4_period, amiga_period(5, 2), b4_period, b4_period, amiga_period(5, 2)}));
    EXPECT_EQ(song.channel(0).period, c4_period);  // the end action restores the plain note
    song.run_ticks(4);
    song.run_ticks(1);
    // Five steps into the first arpeggio left the phase at 2.
    EXPECT_EQ(song.channel(0).period, g4);
}

TEST(PlayerEffects, PortamentosSlideOnEveryTickButTheFirst) {
    single_voice song;
    song.effect(0, 1, 0, fx_porta_up, 2);
    song.effect(0, 2, 0, fx_porta_down, 1);
    song.effect(0, 3, 0, fx_fine_porta_up, 3);
    song.effect(0, 4, 0, fx_fine_porta_down, 5);
    song.begin();
    EXPECT_EQ(row_trace(song, song.period()), (trace{1712, 1704, 1696, 1688, 1680, 1672}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{1672, 1676, 1680, 1684, 1688, 1692}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{1680, 1680, 1680, 1680, 1680, 1680}));
    EXPECT_EQ(song.channel(0).period, 1700u);
    EXPECT_EQ(song.channel(0).step, amiga_step(1700));
}

TEST(PlayerEffects, ToneportamentoSlidesToTheTargetAndItsVolumeSlideKeepsItsSpeed) {
    single_voice song;
    song.note(0, 1, 0, packed(4, 1), 1);  // C#-4: 1616
    song.effect(0, 1, 0, fx_tone_porta, 4);
    song.effect(0, 2, 0, fx_tone_porta_volume_slide, 0x01);
    song.begin();
    EXPECT_NE(song.channel(0).position, 0u);  // the note did not restart the sample
    EXPECT_EQ(song.slot(0).porta_target, 1616u);
    EXPECT_EQ(row_trace(song, song.period()), (trace{1712, 1696, 1680, 1664, 1648, 1632}));
    trace volumes;
    trace periods = row_trace(song, [&] {
        volumes.push_back(song.channel(0).volume);
        return song.channel(0).period;
    });
    // Speed 4 from the earlier 3xx, not 1 from the 5xy parameter; stops at the target.
    EXPECT_EQ(periods, (trace{1632, 1616, 1616, 1616, 1616, 1616}));
    EXPECT_EQ(volumes, (trace{64, 63, 62, 61, 60, 59}));
    EXPECT_EQ(song.channel(0).step, amiga_step(1616));
}

TEST(PlayerEffects, VibratoOffsetsFollowTheSineAndEndAtTheNextRow) {
    single_voice song;
    song.effect(0, 1, 0, fx_vibrato, 0x48);
    song.effect(0, 2, 0, fx_vibrato, 0x00);
    song.effect(0, 3, 0, fx_vibrato_volume_slide, 0x02);
    song.begin();
    auto offset = [&] { return (long long)song.channel(0).period_offset; };
    EXPECT_EQ(row_trace(song,
                        [&] {
                            if (song.context->tick == 5) {
                                EXPECT_EQ(song.channel(0).step, amiga_step(1712 + 63));
                            }
                            return offset();
                        }),
              (trace{0, 0, 24, 45, 58, 63}));
    // The memory repeats 48; the floor makes -24.25 into -25.
    EXPECT_EQ(row_trace(song, offset), (trace{0, 58, 45, 24, 0, -25}));
    trace volumes;
    EXPECT_EQ(row_trace(song,
                        [&] {
                            volumes.push_back(song.channel(0).volume);
                            return offset();
                        }),
              (trace{0, -45, -59, -64, -59, -45}));
    EXPECT_EQ(volumes, (trace{64, 62, 60, 58, 56, 54}));
    EXPECT_EQ(song.channel(0).period_offset, 0);
    EXPECT_EQ(song.channel(0).step, amiga_step(1712));
}

TEST(PlayerEffects, TremoloOnSquareWaveClampsAtZeroAndEndsAtItsBase) {
    for (u16 code : {fx_tremolo, fx_s3m_tremolo}) {
        single_voice song;
        song.effect(0, 0, 0, fx_tremolo_waveform, 2);
        song.note(0, 1, 0, module_note_none, 0, 10);
        song.effect(0, 1, 0, code, 0x8F);
        song.begin();
        // 10 + 255 * 15 / 128 = 39 on the upper half; 10 - 30 clamped to 0 at position 32.
        trace expected = code == fx_tremolo ? trace{39, 39, 39, 39, 39, 0} : trace{39, 39, 39, 39, 0, 0};
        EXPECT_EQ(row_trace(song, song.volume()), expected) << code;
        EXPECT_EQ(song.channel(0).volume, 10);
    }
}

TEST(PlayerEffects, PanningEffects) {
    single_voice song(empty_cells::mod_style, 4);
    song.note(0, 1, 1, c4, 1);
    song.effect(0, 1, 1, fx_set_pan, 32);
    song.effect(0, 1, 0, fx_coarse_pan, 15);
    song.effect(0, 1, 2, fx_coarse_pan, 7);
    song.effect(0, 1, 3, fx_coarse_pan, 0xF0);
    song.effect(0, 2, 0, fx_pan_slide, 0x05);
    song.effect(0, 2, 2, fx_pan_slide, 0x30);
    song.effect(0, 3, 2, fx_pan_slide, 0x00);
    song.begin();
    EXPECT_EQ(song.channel(1).pan, 32);  // kept through the note start
    EXPECT_EQ(song.channel(0).pan, 255);
    EXPECT_EQ(song.channel(2).pan, 128);
    EXPECT_EQ(song.channel(3).pan, 16);
    song.next_row();
    song.next_row();  // row 2 played through
    EXPECT_EQ(song.channel(0).pan, 230);
    EXPECT_EQ(song.channel(2).pan, 143);
    song.next_row();
    EXPECT_EQ(song.channel(2).pan, 158);  // memory 30
}

TEST(PlayerEffects, SampleOffsetMovesThePositionOnTheFirstTickUpToTheLength) {
    single_voice song(empty_cells::mod_style, 2);
    song.effect(0, 0, 0, fx_sample_offset, 2);
    song.note(0, 0, 1, c4, 1);
    song.effect(0, 0, 1, fx_sample_offset, 4);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.channel(0).position, 512u * 1024u);
    EXPECT_EQ(song.channel(1).position, 1000u * 1024u);  // clamped to the 1000-frame length
    song.run_ticks(3);                                   // the mixer starts from there
    EXPECT_EQ(song.channel(0).position, (512u * 1024u + 3u * 882u * 194u) % (1000u * 1024u));
}

// FastTracker II and ProTracker remember the last offset and apply it only with a
// note; this player's offset has no memory and moves whatever voice is playing.
TEST(PlayerEffects, SampleOffsetHasNoMemoryAndMovesThePlayingVoiceWithoutANote) {
    single_voice song;
    song.effect(0, 0, 0, fx_sample_offset, 2);
    song.effect(0, 1, 0, fx_sample_offset, 0);  // no note: the playing voice goes back to frame 0
    song.note(0, 2, 0, c4, 1);
    song.effect(0, 2, 0, fx_sample_offset, 0);  // with a note: frame 0, not the earlier 512
    song.start();
    song.enter_first_row();
    song.run_ticks(song.context->speed - 1);
    // Five ticks of row 0 have sounded from frame 512, 882 frames each at step 194,
    // wrapping once around the 1000-frame loop.
    const u32 loop_end = 1000u * 1024u;
    EXPECT_EQ(song.channel(0).position, 512u * 1024u + 5u * 882u * 194u - loop_end);
    song.next_row();
    EXPECT_EQ(song.channel(0).position, 0u);
    EXPECT_EQ(song.channel(0).active, 1);
    song.run_ticks(song.context->speed - 1);
    EXPECT_EQ(song.channel(0).position, 5u * 882u * 194u % loop_end);
    song.next_row();
    EXPECT_EQ(song.channel(0).position, 0u);
}

// A tone portamento keeps the sample position of the voice it bends, but the
// note start beneath it sets the direction forwards, also for a ping-pong voice
// that was running backwards; other players keep the direction too.
TEST(PlayerEffects, TonePortamentoKeepsThePositionAndDirectionOfAPingPongVoice) {
    single_voice song;
    song.sample(0).ping_pong = 1;
    song.note(0, 1, 0, packed(4, 2));
    song.effect(0, 1, 0, fx_tone_porta, 1);
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
}

TEST(PlayerEffects, VolumeSlidesModKindAndMemory) {
    single_voice song;
    song.effect(0, 1, 0, fx_volume_slide, 0x03);
    song.note(0, 2, 0, module_note_none, 0, 60);
    song.effect(0, 2, 0, fx_volume_slide, 0x21);  // x wins
    song.effect(0, 3, 0, fx_xm_volume_slide, 0x04);
    song.effect(0, 4, 0, fx_xm_volume_slide, 0x00);
    song.begin();
    EXPECT_EQ(row_trace(song, song.volume()), (trace{64, 61, 58, 55, 52, 49}));
    EXPECT_EQ(row_trace(song, song.volume()), (trace{60, 62, 64, 64, 64, 64}));
    EXPECT_EQ(row_trace(song, song.volume()), (trace{64, 60, 56, 52, 48, 44}));
    EXPECT_EQ(row_trace(song, song.volume()), (trace{44, 40, 36, 32, 28, 24}));
}

TEST(PlayerEffects, FineVolumeSlidesUseTheirOwnMemoryWithoutReplacingTheParameter) {
    single_voice song;
    song.effect(0, 1, 0, fx_fine_volume_down, 4);
    song.effect(0, 2, 0, fx_fine_volume_down, 0);
    song.effect(0, 3, 0, fx_fine_volume_up, 0);
    song.effect(0, 4, 0, fx_fine_volume_up, 10);
    song.begin();
    EXPECT_EQ(song.channel(0).volume, 60);
    song.next_row();
    EXPECT_EQ(song.channel(0).volume, 56);
    EXPECT_EQ(song.slot(0).param, 0);
    song.run_ticks(5);
    EXPECT_EQ(song.channel(0).volume, 56);  // a row action only
    song.run_ticks(1);
    EXPECT_EQ(song.channel(0).volume, 56);  // no up-memory yet
    song.next_row();
    EXPECT_EQ(song.channel(0).volume, 64);
}

TEST(PlayerEffects, SetFinetuneRetunesTheSampleForNewNotesOnly) {
    single_voice song(empty_cells::mod_style, 2);
    song.effect(0, 1, 0, fx_set_finetune, 15);
    song.note(0, 1, 1, c4, 1);
    song.begin();
    EXPECT_EQ(song.sample(0).c_rate, 8757u);
    EXPECT_EQ(song.channel(0).period, c4_period);
    EXPECT_EQ(song.channel(1).period, amiga_period(4, 0, 8757));
    EXPECT_EQ(song.channel(1).period, 1634u);
    song.start();
    EXPECT_EQ(song.sample(0).c_rate, 8363u);
}

TEST(PlayerEffects, RetriggerRestartsWithInstrumentDefaultsAndIgnoresParameterZero) {
    for (u8 param : {2, 0}) {
        single_voice song;
        song.note(0, 1, 0, module_note_none, 0, 20);
        song.effect(0, 1, 0, fx_retrigger, param);
        song.begin();
        trace positions;
        trace volumes = row_trace(song, [&] {
            positions.push_back(song.channel(0).position == 0);
            return song.channel(0).volume;
        });
        if (param == 2) {
            EXPECT_EQ(volumes, (trace{20, 20, 64, 64, 64, 64}));
            EXPECT_EQ(positions, (trace{0, 0, 1, 0, 1, 0}));
        } else {
            EXPECT_EQ(volumes, (trace{20, 20, 20, 20, 20, 20}));
            EXPECT_EQ(positions, (trace{0, 0, 0, 0, 0, 0}));
        }
    }
}

TEST(PlayerEffects, NoteCutAndNoteDelayActOnTheirTick) {
    single_voice song(empty_cells::mod_style, 3);
    song.note(0, 0, 1, c4, 1);
    song.note(0, 0, 2, c4, 1);
    song.effect(0, 1, 0, fx_note_cut, 3);
    song.note(0, 1, 1, packed(4, 2), 1, 30);
    song.effect(0, 1, 1, fx_note_delay, 2);
    song.note(0, 1, 2, packed(4, 2), 1);
    song.effect(0, 1, 2, fx_note_delay, 0);
    song.begin();
    trace delayed, never, volumes;
    trace cut = row_trace(song, [&] {
        delayed.push_back(song.channel(1).period);
        never.push_back(song.channel(2).period);
        volumes.push_back(song.channel(1).volume);
        return song.channel(0).volume;
    });
    u32 d4 = amiga_period(4, 2);
    EXPECT_EQ(cut, (trace{64, 64, 64, 0, 0, 0}));
    EXPECT_EQ(delayed, (trace{c4_period, c4_period, d4, d4, d4, d4}));
    EXPECT_EQ(volumes, (trace{30, 30, 30, 30, 30, 30}));
    EXPECT_EQ(never, (trace{c4_period, c4_period, c4_period, c4_period, c4_period, c4_period}));
}

TEST(PlayerEffects, SpeedAndTempoCommands) {
    test_song song(1, {8}, {0});
    song.effect(0, 0, 0, fx_speed_tempo, 0);
    song.effect(0, 1, 0, fx_speed_tempo, 3);
    song.effect(0, 2, 0, fx_speed_tempo, 150);
    song.effect(0, 3, 0, fx_s3m_speed, 0);
    song.effect(0, 4, 0, fx_s3m_speed, 4);
    song.effect(0, 5, 0, fx_s3m_tempo, 31);
    song.effect(0, 6, 0, fx_s3m_tempo, 32);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.context->speed, 6);
    song.next_row();
    EXPECT_EQ(song.context->speed, 3);
    song.next_row();
    EXPECT_EQ(song.context->tempo, 150);
    EXPECT_EQ(song.context->samples_per_tick, 735);
    song.next_row();
    EXPECT_EQ(song.context->speed, 3);
    song.next_row();
    EXPECT_EQ(song.context->speed, 4);
    song.next_row();
    EXPECT_EQ(song.context->tempo, 150);
    song.next_row();
    EXPECT_EQ(song.context->samples_per_tick, 3445);
    // A slower tick is mixed whole: one call of 3445 frames completes exactly one tick.
    i32 tick = song.context->tick;
    song.render_bytes(3445 * 4);
    EXPECT_EQ(song.context->tick, tick + 1);
}

TEST(PlayerEffects, XmPortamentosShareOneMemory) {
    single_voice song(empty_cells::xm_style);
    song.context->linear_frequencies = 1;
    song.effect(0, 1, 0, fx_xm_porta_up, 3, 1);
    song.effect(0, 2, 0, fx_xm_porta_down, 0, 1);
    song.effect(0, 3, 0, fx_xm_porta_up, 0, 1);
    song.begin();
    EXPECT_EQ(row_trace(song, song.period()), (trace{4608, 4596, 4584, 4572, 4560, 4548}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{4548, 4560, 4572, 4584, 4596, 4608}));
    song.run_ticks(5);
    EXPECT_EQ(song.channel(0).period, 4548u);
}

TEST(PlayerEffects, GlobalVolumeSetAndSlide) {
    single_voice song;
    song.effect(0, 1, 0, fx_set_global_volume, 70);
    song.effect(0, 2, 0, fx_set_global_volume, 32);
    song.effect(0, 3, 0, fx_global_volume_slide, 0x02);
    song.effect(0, 4, 0, fx_global_volume_slide, 0x00);
    song.effect(0, 5, 0, fx_global_volume_slide, 0x30);
    song.begin();
    EXPECT_EQ(song.context->current_global_volume, 64);
    song.next_row();
    EXPECT_EQ(song.context->current_global_volume, 32);
    EXPECT_EQ(song.render_bytes(4)[0], 1024);  // half of the 2048 at full global volume
    song.next_row();
    EXPECT_EQ(song.context->current_global_volume, 32);
    song.next_row();
    EXPECT_EQ(song.context->current_global_volume, 22);
    song.next_row();
    EXPECT_EQ(song.context->current_global_volume, 12);
    song.next_row();
    EXPECT_EQ(song.context->current_global_volume, 27);
}

TEST(PlayerEffects, S3mVolumeSlideFineAndEveryTickForms) {
    single_voice song;
    song.effect(0, 1, 0, fx_s3m_volume_slide, 0xF1);
    song.effect(0, 2, 0, fx_s3m_volume_slide, 0x00);
    song.effect(0, 3, 0, fx_s3m_volume_slide, 0x0F);
    song.note(0, 4, 0, module_note_none, 0, 10);
    song.effect(0, 4, 0, fx_s3m_volume_slide, 0x12);
    song.effect(0, 5, 0, fx_s3m_volume_slide, 0xF0);
    song.effect(0, 6, 0, fx_s3m_volume_slide, 0x5F);
    song.note(0, 7, 0, module_note_none, 0, 64);
    song.effect(0, 7, 0, fx_s3m_volume_slide, 0xF4);
    song.begin();
    EXPECT_EQ(row_trace(song, song.volume()), (trace{63, 63, 63, 63, 63, 63}));  // once, on the row
    EXPECT_EQ(row_trace(song, song.volume()), (trace{62, 62, 62, 62, 62, 62}));  // memory F1
    EXPECT_EQ(row_trace(song, song.volume()), (trace{47, 32, 17, 2, 0, 0}));     // tick 0 included
    EXPECT_EQ(row_trace(song, song.volume()), (trace{8, 6, 4, 2, 0, 0}));        // y wins over x
    EXPECT_EQ(row_trace(song, song.volume()), (trace{15, 30, 45, 60, 64, 64}));
    EXPECT_EQ(row_trace(song, song.volume()), (trace{64, 64, 64, 64, 64, 64}));  // D5F capped
    // The volume column is applied after the row action and wins over a fine slide.
    EXPECT_EQ(row_trace(song, song.volume()), (trace{64, 64, 64, 64, 64, 64}));
}

TEST(PlayerEffects, S3mPortamentosFineExtraFineAndMemory) {
    single_voice song;
    song.effect(0, 1, 0, fx_s3m_porta_down, 0xF2);
    song.effect(0, 2, 0, fx_s3m_porta_down, 0x00);
    song.effect(0, 3, 0, fx_s3m_porta_up, 0xE3);
    song.effect(0, 4, 0, fx_s3m_porta_up, 0x02);
    song.effect(0, 5, 0, fx_s3m_porta_down, 0x00);
    song.begin();
    EXPECT_EQ(row_trace(song, song.period()), (trace{1720, 1720, 1720, 1720, 1720, 1720}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{1728, 1728, 1728, 1728, 1728, 1728}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{1725, 1725, 1725, 1725, 1725, 1725}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{1725, 1717, 1709, 1701, 1693, 1685}));
    EXPECT_EQ(row_trace(song, song.period()), (trace{1685, 1693, 1701, 1709, 1717, 1725}));
}

TEST(PlayerEffects, S3mCombinedSlidesAlsoSlideVolumeOnTheFirstTick) {
    single_voice song(empty_cells::mod_style, 2);
    song.note(0, 1, 0, packed(4, 1), 1);
    song.effect(0, 1, 0, fx_tone_porta, 4);
    song.effect(0, 2, 0, fx_s3m_tone_porta_volume_slide, 0x03);
    song.note(0, 0, 1, c4, 1);
    song.effect(0, 1, 1, fx_vibrato, 0x48);
    song.effect(0, 2, 1, fx_s3m_vibrato_volume_slide, 0x02);
    song.begin();
    song.next_row();
    trace vibrato, vibrato_volume, volumes;
    trace periods = row_trace(song, [&] {
        volumes.push_back(song.channel(0).volume);
        vibrato.push_back(song.channel(1).period_offset);
        vibrato_volume.push_back(song.channel(1).volume);
        return song.channel(0).period;
    });
    EXPECT_EQ(periods, (trace{1632, 1616, 1616, 1616, 1616, 1616}));
    EXPECT_EQ(volumes, (trace{61, 58, 55, 52, 49, 46}));
    EXPECT_EQ(vibrato, (trace{0, 58, 45, 24, 0, -25}));
    EXPECT_EQ(vibrato_volume, (trace{62, 60, 58, 56, 54, 52}));
    EXPECT_EQ(song.channel(1).period_offset, 0);
}

TEST(PlayerEffects, S3mRetriggerCountsTheFirstTick) {
    for (u8 param : {0x03, 0x00, 0x63}) {
        single_voice song;
        song.note(0, 1, 0, module_note_none, 0, 60);
        song.effect(0, 1, 0, fx_s3m_retrigger, param);
        song.begin();
        trace restarted;
        trace volumes = row_trace(song, [&] {
            restarted.push_back(song.channel(0).position == 0);
            return song.channel(0).volume;
        });
        if (param == 0x00) {
            EXPECT_EQ(restarted, (trace{0, 1, 1, 1, 1, 1}));
        } else {
            EXPECT_EQ(restarted, (trace{0, 0, 1, 0, 0, 1})) << param;
        }
        if (param == 0x63) {
            EXPECT_EQ(volumes, (trace{60, 60, 40, 40, 40, 26}));
        }
    }
}

TEST(PlayerEffects, S3mRetriggerVolumeChanges) {
    // Volume after the first retrigger (tick 1 with interval 1) from 40, per change x.
    const u8 from_40[16] = {40, 39, 38, 36, 32, 24, 26, 20, 40, 41, 42, 44, 48, 56, 60, 64};
    for (u8 x = 0; x < 16; ++x) {
        single_voice song;
        song.note(0, 1, 0, module_note_none, 0, 40);
        song.effect(0, 1, 0, fx_s3m_retrigger, (u8)(x << 4 | 1));
        song.begin();
        song.run_ticks(1);
        EXPECT_EQ(song.channel(0).volume, from_40[x]) << int(x);
    }
    single_voice low;
    low.note(0, 1, 0, module_note_none, 0, 10);
    low.effect(0, 1, 0, fx_s3m_retrigger, 0x51);
    low.begin();
    low.run_ticks(1);
    EXPECT_EQ(low.channel(0).volume, 0);
    single_voice high;
    high.note(0, 1, 0, module_note_none, 0, 50);
    high.effect(0, 1, 0, fx_s3m_retrigger, 0xD1);
    high.begin();
    high.run_ticks(1);
    EXPECT_EQ(high.channel(0).volume, 64);
}

TEST(PlayerEffects, SlotsKeepSeparateMemories) {
    single_voice song(empty_cells::xm_style);
    song.effect(0, 1, 0, fx_xm_volume_slide, 0x01);
    song.effect(0, 1, 0, fx_xm_volume_slide, 0x30, 1);
    song.effect(0, 2, 0, fx_xm_volume_slide, 0x00);
    song.effect(0, 2, 0, fx_xm_volume_slide, 0x00, 1);
    song.begin();
    EXPECT_EQ(song.slot(0, 0).volume_slide_memory, 0x01);
    EXPECT_EQ(song.slot(0, 1).volume_slide_memory, 0x30);
    song.channel(0).volume = 20;
    // Each tick but the first: slot 0 lowers by 1, then slot 1 raises by 3, also on row 2
    // where both memories stand in for the zero parameters.
    EXPECT_EQ(row_trace(song, song.volume()), (trace{20, 22, 24, 26, 28, 30}));
    EXPECT_EQ(row_trace(song, song.volume()), (trace{30, 32, 34, 36, 38, 40}));
}

TEST(PlayerEffects, UnusedAndOutOfRangeCodesDoNothing) {
    single_voice song(empty_cells::xm_style);
    song.effect(0, 1, 0, fx_unused_28, 0x55);
    song.effect(0, 1, 0, 200, 0x55, 1);
    song.begin();
    EXPECT_EQ(row_trace(song, song.period()), (trace{1712, 1712, 1712, 1712, 1712, 1712}));
    EXPECT_EQ(song.channel(0).volume, 64);
    EXPECT_EQ(song.context->speed, 6);
}

}  // namespace
