// Note start: instruments, volume column, key-off, note maps and the two cell styles.
#include <gtest/gtest.h>

#include <vector>

#include "player_fixture.h"

namespace {

constexpr u8 c4 = packed(4, 0);

TEST(PlayerNotes, VolumeColumnWinsOverInstrumentDefaultAndSetVolume) {
    test_song song(3, {4}, {0});
    song.sample(0).volume = 50;
    song.note(0, 0, 0, c4, 1, 40);
    song.note(0, 0, 1, c4, 1);
    song.note(0, 0, 2, c4, 1, 30);
    song.effect(0, 0, 2, fx_set_volume, 20);
    song.note(0, 1, 1, c4, 1);
    song.effect(0, 1, 1, fx_set_volume, 80);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.channel(0).volume, 40);
    EXPECT_EQ(song.channel(1).volume, 50);
    EXPECT_EQ(song.channel(2).volume, 30);
    std::vector<i16> pcm = song.render_bytes(4);
    // Gains 40, 50 and 30, centred: 20, 25 and 15 a side of 64 * 256, shifted by 8.
    EXPECT_EQ(pcm[0], (20 + 25 + 15) * 64);
    song.next_row();
    EXPECT_EQ(song.channel(1).volume, 64);  // set volume survives the note start, clamped to 64
}

TEST(PlayerNotes, KeyOffWithoutVolumeEnvelopeStopsTheVoiceAtOnce) {
    test_song song(1, {4}, {0});
    song.note(0, 0, 0, c4, 1);
    song.note(0, 1, 0, module_note_off);
    song.start();
    song.enter_first_row();
    song.next_row();
    EXPECT_EQ(song.channel(0).active, 0);
    std::vector<i16> pcm = song.render_bytes(882 * 4);
    for (i16 value : pcm) ASSERT_EQ(value, 0);
}

// A key-off releases the envelope's sustain and starts the fadeout, already on its own row's
// tick 0; in XM one that names an instrument is ignored.
TEST(PlayerNotes, KeyOffWithVolumeEnvelopeReleasesSustainAndStartsFadeout) {
    for (u32 key_off_instrument : {0, 1}) {
        test_song song(1, {4}, {0}, 1, empty_cells::xm_style);
        song.instrument(1).fadeout = 1000;
        song.set_envelope(song.instrument(1).volume_envelope, {{0, 64}, {10, 64}}, 0);
        song.note(0, 0, 0, c4, 1);
        song.note(0, 1, 0, module_note_off, key_off_instrument);
        song.start();
        song.enter_first_row();
        EXPECT_EQ(song.channel(0).volume_envelope.held, 1);
        EXPECT_EQ(song.channel(0).fade_step, 0);
        song.next_row();
        const bool released = key_off_instrument == 0;
        SCOPED_TRACE(key_off_instrument);
        EXPECT_EQ(song.channel(0).active, 1);
        EXPECT_EQ(song.channel(0).volume_envelope.held, released ? 0 : 1);
        EXPECT_EQ(song.channel(0).fade_step, released ? 1000 : 0);
        EXPECT_EQ(song.channel(0).fade_volume, released ? 32768 - 1000 : 32768);
    }
}

TEST(PlayerNotes, InstrumentWithoutNoteResetsDefaultsInModStyleOnly) {
    for (empty_cells style : {empty_cells::mod_style, empty_cells::xm_style}) {
        test_song song(1, {4}, {0}, 1, style);
        song.note(0, 0, 0, c4, 1, 20);
        song.effect(0, 0, 0, fx_coarse_pan, 0);
        song.cell(0, 1, 0).instrument = 1;  // note stays "none"
        song.start();
        song.enter_first_row();
        song.channel(0).fade_volume = 1234;
        song.run_ticks(5);
        u32 position = song.channel(0).position;
        ASSERT_GT(position, 0u);
        song.run_ticks(1);
        if (style == empty_cells::mod_style) {
            EXPECT_EQ(song.channel(0).volume, 64);
            EXPECT_EQ(song.channel(0).pan, 128);
            EXPECT_EQ(song.channel(0).fade_volume, 32768);
            // Not restarted: the last tick's 882 frames at step 194 carried on round the
            // 1000-frame loop.
            EXPECT_EQ(song.channel(0).position, (position + 882u * 194u) % (1000u * 1024u));
        } else {
            // Note 255 is outside the XM keymap: nothing happens.
            EXPECT_EQ(song.channel(0).volume, 20);
            EXPECT_EQ(song.channel(0).fade_volume, 1234);
        }
    }
}

TEST(PlayerNotes, MissingSampleOrInstrumentStartsNothingButVolumeAndEffectsAct) {
    test_song song(2, {4}, {0}, 1);
    song.instrument(1).note_samples[c4] = nullptr;
    song.note(0, 0, 0, c4, 1, 30);
    song.effect(0, 0, 0, fx_coarse_pan, 3);
    song.note(0, 0, 1, c4, 7, 25);  // only one instrument exists
    song.effect(0, 0, 1, fx_coarse_pan, 15);
    song.start();
    song.enter_first_row();
    for (i32 c = 0; c < 2; ++c) {
        EXPECT_EQ(song.channel(c).active, 0);
        EXPECT_EQ(song.channel(c).instrument, nullptr);
        EXPECT_EQ(song.channel(c).instrument_number, 0);
        EXPECT_EQ(song.channel(c).period, 0u);
    }
    EXPECT_EQ(song.channel(0).volume, 30);
    EXPECT_EQ(song.channel(0).pan, 64);
    EXPECT_EQ(song.channel(1).volume, 25);
    EXPECT_EQ(song.channel(1).pan, 255);
    EXPECT_EQ(song.context->new_note_mask, 0u);
}

TEST(PlayerNotes, PitchUsesRelativeNoteAndNoteMapButPortaTargetSkipsTheMap) {
    test_song song(3, {4}, {0}, 2);
    song.instrument(1).note_map[c4] = packed(4, 2);
    song.sample(1).relative_note = 12;
    song.note(0, 0, 0, c4, 1);
    song.note(0, 0, 1, c4, 2);
    song.note(0, 1, 0, c4);
    song.effect(0, 1, 0, fx_tone_porta, 1);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.channel(0).period, 1524u);  // D-4
    EXPECT_EQ(song.channel(0).step, 218u);
    EXPECT_EQ(song.channel(1).period, 856u);
    song.next_row();
    EXPECT_EQ(song.slot(0).porta_target, 1712u);
    EXPECT_EQ(song.channel(0).period, 1524u);  // the tone portamento keeps it
}

TEST(PlayerNotes, LinearPeriodsFollowFinetune) {
    test_song song(2, {4}, {0}, 2, empty_cells::xm_style);
    song.context->linear_frequencies = 1;
    song.sample(1).finetune = -128;
    song.note(0, 0, 0, c4, 1);
    song.note(0, 0, 1, c4, 2);
    song.start();
    song.enter_first_row();
    EXPECT_EQ(song.channel(0).period, 4608u);
    EXPECT_EQ(song.channel(0).step, 194u);  // (133808 >> 6) * 4096 / 44100
    EXPECT_EQ(song.channel(1).period, 4672u);
}

TEST(PlayerNotes, NewNoteResetsWavePositionsUnlessTheWaveformKeepsThem) {
    test_song song(2, {4}, {0});
    song.effect(0, 0, 1, fx_vibrato_waveform, 4);
    song.note(0, 1, 0, c4, 1);
    song.note(0, 1, 1, c4, 1);
    song.start();
    song.enter_first_row();
    for (i32 c = 0; c < 2; ++c) {
        song.slot(c).vibrato_position = 40;
        song.slot(c).tremolo_position = 24;
    }
    song.next_row();
    EXPECT_EQ(song.slot(0).vibrato_position, 0u);
    EXPECT_EQ(song.slot(0).tremolo_position, 0u);
    EXPECT_EQ(song.slot(1).vibrato_position, 40u);
    EXPECT_EQ(song.slot(1).tremolo_position, 0u);
}

}  // namespace
