// Sample synthesis for the demo songs. Integer arithmetic only, so that every
// machine produces the same sample bytes: no floating point, no libm.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

// Sine of a phase given as a fraction of a full turn (2^32 = one turn), in
// Q15 (-32767..32767).
int32_t sine_q15(uint32_t phase);

// Rate at which the drum samples are synthesized: they are played one octave
// above middle C, where every format plays a sample at twice 8363 Hz.
constexpr uint32_t drum_rate = 16726;

// Pitched samples repeat a waveform of `cycle_frames` frames (a power of two),
// so that played at middle C (8363 Hz) they sound 8363 / cycle_frames Hz.
// Each returns the whole sample; the loop is described beside it.
struct pitched_sample {
    std::vector<int16_t> frames;
    uint32_t loop_start;   // frame
    uint32_t loop_length;  // frames, a whole number of cycles
};

// Warm bass: a saw whose brightness closes during the first cycles, looped
// on steady cycles. 64 frames per cycle.
pitched_sample synth_bass();
// Mellow lead: odd harmonics (a rounded square) with a brighter onset.
// 32 frames per cycle.
pitched_sample synth_lead();
// Plucked bright saw that decays to a quieter steady tone. 32 frames per cycle.
pitched_sample synth_pluck();
// Chorused pad: three saws detuned by whole cycles over the loop, so the
// loop repeats seamlessly. 64 frames per cycle; the whole sample loops.
pitched_sample synth_pad();

// One-shot drums at drum_rate.
std::vector<int16_t> synth_kick();
std::vector<int16_t> synth_snare();
std::vector<int16_t> synth_hihat();

// 16-bit to signed 8-bit, rounded to nearest and clamped.
std::vector<int8_t> to_8bit(const std::vector<int16_t>& frames);

}  // namespace demo
