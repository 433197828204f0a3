#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "player_internal.h"

namespace {

std::unique_ptr<module_context> pitch_context(i32 linear, i32 output_rate) {
    auto context = std::make_unique<module_context>();
    std::memset(context.get(), 0, sizeof(module_context));
    context->linear_frequencies = linear;
    context->output_rate = output_rate;
    return context;
}

u8 packed(u32 octave, u32 semitone) { return static_cast<u8>(octave * 16 + semitone); }

TEST(AmigaPitch, MiddleCAt8363HzIsPeriod1712AndStep194) {
    auto context = pitch_context(0, 44100);
    module_channel channel{};
    note_to_period(context.get(), &channel, packed(4, 0), 8363, 0);
    EXPECT_EQ(channel.period, 1712u);
    EXPECT_EQ(channel.step, 194u);
    // A rate of 0 stands for 8363 Hz; finetune plays no part in Amiga periods.
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 0, 0), 1712u);
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 8363, -100), 1712u);
    // Twice the rate halves the period (an octave up); the division truncates.
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 16726, 0), 856u);
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 10000, 0), 14317456u / 10000u);
}

TEST(AmigaPitch, TableEndsAndOctaveHalving) {
    auto context = pitch_context(0, 44100);
    // With rate 1 the table entry itself comes back.
    EXPECT_EQ(note_period(context.get(), packed(0, 0), 1, 0), 229079296u);
    EXPECT_EQ(note_period(context.get(), packed(15, 11), 1, 0), 3703u);
    for (u32 octave = 0; octave < 15; ++octave) {
        for (u32 semitone = 0; semitone < 12; ++semitone) {
            u32 lower = note_period(context.get(), packed(octave, semitone), 1, 0);
            EXPECT_EQ(note_period(context.get(), packed(octave + 1, semitone), 1, 0), lower >> 1);
            if (semitone < 11) {
                EXPECT_GT(lower, note_period(context.get(), packed(octave, semitone + 1), 1, 0));
            }
        }
    }
}

TEST(AmigaPitch, StepUsesA64BitProductAndPeriodZeroIsSilence) {
    auto context = pitch_context(0, 44100);
    EXPECT_EQ(period_to_step(context.get(), 0), 0u);
    // 44100 * 200000 needs more than 32 bits: 938282582016 / 8820000000 = 106, >> 6 = 1.
    EXPECT_EQ(period_to_step(context.get(), 200000), 1u);
    // Period 1: quotient 21276249 >> 6.
    EXPECT_EQ(period_to_step(context.get(), 1), 21276249u >> 6);
    // The 14317056 Hz clock over period 428 (a quarter of 1712, two octaves up).
    EXPECT_EQ(period_to_step(context.get(), 428), (938282582016ull / (44100ull * 428)) >> 6);
}

TEST(LinearPitch, MiddleCAndFinetuneHalvingTowardZero) {
    auto context = pitch_context(1, 44100);
    module_channel channel{};
    note_to_period(context.get(), &channel, packed(4, 0), 8363, 0);
    EXPECT_EQ(channel.period, 4608u);
    EXPECT_EQ(channel.step, 194u);
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 8363, -128), 4672u);
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 8363, 127), 4608u - 63u);
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 8363, -1), 4608u);
    EXPECT_EQ(note_period(context.get(), packed(4, 0), 8363, 1), 4608u);
    // The rate plays no part in linear periods; one semitone is 64 units.
    EXPECT_EQ(note_period(context.get(), packed(4, 1), 22000, 0), 4544u);
    EXPECT_EQ(note_period(context.get(), packed(0, 0), 8363, 0), 7680u);
}

TEST(LinearPitch, FrequencyTableMatchesTheExponential) {
    // At an output rate of 4096 the step is the table entry itself.
    auto context = pitch_context(1, 4096);
    for (u32 index = 0; index < 768; ++index) {
        long double exact = 133808.0L * std::exp2(-static_cast<long double>(index) / 768.0L);
        EXPECT_EQ(period_to_step(context.get(), index), static_cast<u32>(std::floor(exact))) << index;
    }
    EXPECT_EQ(period_to_step(context.get(), 0), 133808u);
    EXPECT_EQ(period_to_step(context.get(), 384), 94616u);
    EXPECT_EQ(period_to_step(context.get(), 767), 66964u);
    // Each octave of 768 units halves the frequency; the octave shift wraps at 32.
    EXPECT_EQ(period_to_step(context.get(), 3 * 768 + 384), 94616u >> 3);
    EXPECT_EQ(period_to_step(context.get(), 33 * 768 + 384), 94616u >> 1);
    EXPECT_EQ(period_to_step(context.get(), 20 * 768), 0u);
}

TEST(PitchConversion, NoOutputRateGivesStepZero) {
    for (i32 linear = 0; linear <= 1; ++linear) {
        auto context = pitch_context(linear, 0);
        EXPECT_EQ(period_to_step(context.get(), 1712), 0u);
    }
}

TEST(PitchConversion, StepFollowsPeriodPlusVibratoOffset) {
    auto context = pitch_context(0, 44100);
    module_channel channel{};
    channel.period_offset = -856;
    note_to_period(context.get(), &channel, packed(4, 0), 8363, 0);
    EXPECT_EQ(channel.period, 1712u);
    EXPECT_EQ(channel.step, period_to_step(context.get(), 856));
    EXPECT_GT(channel.step, 380u);
}

// Arpeggio steps can leave semitones 12 to 15 in a note byte, and one above octave 15
// cannot be packed as it stands.
TEST(PitchOutOfRange, SemitonesAboveElevenContinueTheOctaveRule) {
    auto amiga = pitch_context(0, 44100);
    // Octave 3 semitone 14 is octave 4 semitone 2.
    EXPECT_EQ(note_period(amiga.get(), packed(3, 14), 8363, 0), note_period(amiga.get(), packed(4, 2), 8363, 0));
    // Octave 15 semitones 12 to 15 lie past the 192-entry table: they continue it an
    // octave up, each half the period of the same semitone in octave 15.
    for (u32 semitone = 12; semitone <= 15; ++semitone)
        EXPECT_EQ(note_period(amiga.get(), packed(15, semitone), 1, 0),
                  note_period(amiga.get(), packed(15, semitone - 12), 1, 0) >> 1);
    auto linear = pitch_context(1, 44100);
    EXPECT_EQ(note_period(linear.get(), packed(3, 14), 8363, 0), note_period(linear.get(), packed(4, 2), 8363, 0));
}

TEST(PitchOutOfRange, LinearPeriodsAboveOctaveTenStopAtZero) {
    auto linear = pitch_context(1, 44100);
    EXPECT_EQ(note_period(linear.get(), packed(10, 0), 8363, 0), 0u);
    EXPECT_EQ(note_period(linear.get(), packed(9, 11), 8363, 0), 64u);
    EXPECT_EQ(note_period(linear.get(), packed(9, 11), 8363, -128), 128u);
    EXPECT_EQ(note_period(linear.get(), packed(10, 1), 8363, 0), 0u);
    EXPECT_EQ(note_period(linear.get(), packed(15, 15), 8363, 127), 0u);
    // Period 0 is the top of the linear range: 133808 * 4 Hz.
    EXPECT_EQ(period_to_step(linear.get(), 0), 133808u * 4096u / 44100u);
}

TEST(PitchOutOfRange, PackNoteKeepsOctaveSixteenInsideTheByte) {
    EXPECT_EQ(pack_note(4, 0), 0x40);
    EXPECT_EQ(pack_note(15, 15), 0xFF);
    EXPECT_EQ(pack_note(3, 14), 0x3E);
    // Semitone 20 of octave 3 is semitone 8 of octave 4.
    EXPECT_EQ(pack_note(3, 20), 0x48);
    // Octave 16 semitones 0 to 3 are octave 15 semitones 12 to 15.
    EXPECT_EQ(pack_note(16, 0), 0xFC);
    EXPECT_EQ(pack_note(16, 3), 0xFF);
    // Higher stays on the top pitch instead of wrapping to octave 0.
    EXPECT_EQ(pack_note(16, 4), 0xFF);
    EXPECT_EQ(pack_note(16, 14), 0xFF);
    EXPECT_EQ(pack_note(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFF);
    auto amiga = pitch_context(0, 44100);
    EXPECT_EQ(note_period(amiga.get(), pack_note(16, 2), 1, 0), note_period(amiga.get(), packed(15, 2), 1, 0) >> 1);
}

}  // namespace
