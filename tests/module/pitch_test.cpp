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

// Amiga periods are the table entry over the rate (0 standing for 8363 Hz, finetune ignored);
// linear ones are 7680 - 64 per semitone - finetune / 2 (halved toward zero), the rate ignored,
// stopping at 0 above octave 10. Semitones 12 to 15 continue into the next octave.
TEST(Pitch, NotePeriods) {
    const struct {
        i32 linear;
        u8 note;
        u32 rate;
        i8 finetune;
        u32 period;
    } cases[] = {
        {0, packed(4, 0), 8363, 0, 1712},    {0, packed(4, 0), 0, 0, 1712},
        {0, packed(4, 0), 8363, -100, 1712}, {0, packed(4, 0), 10000, 0, 14317456u / 10000u},  // truncated
        {0, packed(0, 0), 1, 0, 229079296},  // rate 1: the table entry itself
        {0, packed(15, 11), 1, 0, 3703},     {1, packed(4, 0), 8363, 0, 4608},
        {1, packed(4, 0), 8363, -128, 4672}, {1, packed(4, 0), 8363, 127, 4608 - 63},
        {1, packed(4, 0), 8363, -1, 4608},   {1, packed(4, 1), 22000, 0, 4544},
        {1, packed(0, 0), 8363, 0, 7680},    {1, packed(9, 11), 8363, 0, 64},
        {1, packed(9, 11), 8363, -128, 128}, {1, packed(10, 0), 8363, 0, 0},
        {1, packed(15, 15), 8363, 127, 0},
    };
    for (const auto& c : cases) {
        auto context = pitch_context(c.linear, 44100);
        EXPECT_EQ(note_period(context.get(), c.note, c.rate, c.finetune), c.period)
            << c.linear << " note 0x" << std::hex << int(c.note) << std::dec << " rate " << c.rate << " finetune "
            << int(c.finetune);
    }
    // Semitones 12 to 15 are those of the next octave, past the 192-entry table too.
    auto amiga = pitch_context(0, 44100);
    auto linear = pitch_context(1, 44100);
    EXPECT_EQ(note_period(linear.get(), packed(3, 14), 8363, 0), note_period(linear.get(), packed(4, 2), 8363, 0));
    EXPECT_EQ(note_period(amiga.get(), packed(15, 12), 1, 0), note_period(amiga.get(), packed(15, 0), 1, 0) >> 1);
    EXPECT_EQ(note_period(amiga.get(), pack_note(16, 2), 1, 0), note_period(amiga.get(), packed(15, 2), 1, 0) >> 1);
}

// Amiga steps divide the 14317056 Hz clock in 64 bits; linear ones read a table of one octave
// (at an output rate of 4096 the step is the entry itself) shifted per octave, the shift
// wrapping at 32. No output rate or Amiga period 0 is silence.
TEST(Pitch, PeriodToStep) {
    const struct {
        i32 linear, output_rate;
        u32 period, step;
    } cases[] = {
        {0, 44100, 0, 0},
        {0, 44100, 200000, 1},  // 938282582016 / 8820000000 = 106, >> 6
        {0, 44100, 1, 21276249u >> 6},
        {0, 0, 1712, 0},
        {1, 0, 1712, 0},
        {1, 4096, 0, 133808},
        {1, 4096, 384, 94616},
        {1, 4096, 767, 66964},
        {1, 4096, 3 * 768 + 384, 94616u >> 3},
        {1, 4096, 33 * 768 + 384, 94616u >> 1},
        {1, 4096, 20 * 768, 0},
        {1, 44100, 0, 133808u * 4096u / 44100u},
    };
    for (const auto& c : cases) {
        auto context = pitch_context(c.linear, c.output_rate);
        EXPECT_EQ(period_to_step(context.get(), c.period), c.step)
            << c.linear << " " << c.output_rate << " " << c.period;
    }
    auto linear = pitch_context(1, 4096);
    for (u32 index = 0; index < 768; ++index) {
        long double exact = 133808.0L * std::exp2(-static_cast<long double>(index) / 768.0L);
        EXPECT_EQ(period_to_step(linear.get(), index), static_cast<u32>(std::floor(exact))) << index;
    }
}

// A channel's step follows its period plus the vibrato's offset.
TEST(Pitch, NoteToPeriodSetsPeriodAndStep) {
    auto context = pitch_context(0, 44100);
    module_channel channel{};
    channel.period_offset = -856;
    note_to_period(context.get(), &channel, packed(4, 0), 8363, 0);
    EXPECT_EQ(channel.period, 1712u);
    EXPECT_EQ(channel.step, 388u);
}

// Arpeggio steps can leave semitones past 11 and octaves past 15: they carry into the next
// octave, and whatever lies above octave 15 semitone 15 stays there instead of wrapping.
TEST(Pitch, PackNoteCarriesSemitonesAndStaysInsideTheByte) {
    const struct {
        u32 octave, semitone;
        u8 packed;
    } cases[] = {{4, 0, 0x40},
                 {15, 15, 0xFF},
                 {3, 14, 0x3E},
                 {3, 20, 0x48},
                 {16, 0, 0xFC},
                 {16, 4, 0xFF},
                 {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF}};
    for (const auto& c : cases) EXPECT_EQ(pack_note(c.octave, c.semitone), c.packed) << c.octave << " " << c.semitone;
}

}  // namespace
