#include "synth.h"

#include <algorithm>

namespace demo {

namespace {

// Taylor coefficients of sin(pi z / 2) for z^1, z^3, ..., z^9, in Q30.
// Truncating after z^9 leaves an error below 1e-5, finer than 16-bit output.
constexpr int64_t sine_terms_q30[5] = {1686629713, 693598668, 85569306, 5026995, 172272};

constexpr int32_t peak_level = 30000;  // headroom below 32767 for rounding

// Multiplier (Q16) that makes an exponential decay with the given time constant.
int64_t decay_per_frame(uint32_t time_constant_frames) { return 65536 - 65536 / time_constant_frames; }

// Scales to the common peak level; silence stays silence.
std::vector<int16_t> normalize(const std::vector<int64_t>& values) {
    int64_t peak = 1;
    for (int64_t v : values) peak = std::max(peak, v < 0 ? -v : v);
    std::vector<int16_t> out(values.size());
    for (size_t i = 0; i < values.size(); ++i) out[i] = static_cast<int16_t>(values[i] * peak_level / peak);
    return out;
}

// Sum of the harmonics 1..harmonics of a wave that makes `cycles` whole turns
// in `period` frames; amplitude(h, frame) gives each partial's weight in Q16.
// The phases are exact fractions of the period, so the result repeats every
// `period` frames without drift.
template <typename Amplitude>
void add_partials(std::vector<int64_t>& out, uint32_t period, uint32_t cycles, int harmonics, Amplitude amplitude) {
    for (uint32_t frame = 0; frame < out.size(); ++frame) {
        int64_t sum = 0;
        for (int h = 1; h <= harmonics; ++h) {
            const int64_t weight = amplitude(h, frame);
            if (weight == 0) continue;
            const uint64_t turns = static_cast<uint64_t>(h) * cycles * frame % period;
            const uint32_t phase = static_cast<uint32_t>((turns << 32) / period);
            sum += weight * sine_q15(phase);
        }
        out[frame] += sum >> 16;
    }
}

// Weight (Q16) of harmonic h of a saw whose partials above `brightness_16`/16
// roll off with a second-order low-pass slope.
int64_t saw_partial(int h, int64_t brightness_16) {
    const int64_t b2 = brightness_16 * brightness_16;
    return 65536 * b2 / (h * (b2 + 256LL * h * h));
}

// Brightness (x16) gliding linearly from `from` to `to` over `frames`, then held.
int64_t glide(uint32_t frame, uint32_t frames, int64_t from, int64_t to) {
    if (frame >= frames) return to;
    return from + (to - from) * static_cast<int64_t>(frame) / static_cast<int64_t>(frames);
}

// xorshift32: a fixed, portable noise source.
struct noise_source {
    uint32_t state;
    int32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int32_t>(state >> 16) - 32768;
    }
};

// Phase increment of a tone of frequency_q16 Hz (Q16) at drum_rate.
uint32_t phase_step(int64_t frequency_q16) { return static_cast<uint32_t>((frequency_q16 << 16) / drum_rate); }

// Linear fade over the last frames, so a one-shot ends at zero without a click.
void fade_tail(std::vector<int64_t>& values, uint32_t frames) {
    const uint32_t n = static_cast<uint32_t>(values.size());
    for (uint32_t i = 0; i < frames && i < n; ++i) values[n - 1 - i] = values[n - 1 - i] * i / frames;
}

}  // namespace

int32_t sine_q15(uint32_t phase) {
    // As a signed value the phase spans -pi..pi; fold it into -pi/2..pi/2.
    const int64_t quarter = int64_t{1} << 30;
    int64_t z = static_cast<int32_t>(phase);
    if (z > quarter) z = 2 * quarter - z;
    if (z < -quarter) z = -2 * quarter - z;
    const int64_t z2 = (z * z) >> 30;
    int64_t poly = sine_terms_q30[4];
    for (int i = 3; i >= 0; --i) poly = sine_terms_q30[i] - ((poly * z2) >> 30);
    const int64_t value = ((z * poly) >> 30) >> 15;
    return static_cast<int32_t>(std::clamp<int64_t>(value, -32767, 32767));
}

pitched_sample synth_bass() {
    constexpr uint32_t cycle = 64, attack_cycles = 16, loop_cycles = 4;
    std::vector<int64_t> wave(cycle * (attack_cycles + loop_cycles));
    add_partials(wave, cycle, 1, cycle / 2 - 1, [](int h, uint32_t frame) {
        return saw_partial(h, glide(frame, cycle * attack_cycles, 12 * 16, 4 * 16));
    });
    return {normalize(wave), cycle * attack_cycles, cycle * loop_cycles};
}

pitched_sample synth_lead() {
    constexpr uint32_t cycle = 32, attack_cycles = 8, loop_cycles = 4;
    std::vector<int64_t> wave(cycle * (attack_cycles + loop_cycles));
    add_partials(wave, cycle, 1, cycle / 2 - 1, [](int h, uint32_t frame) -> int64_t {
        if (h % 2 == 0) return 0;
        return saw_partial(h, glide(frame, cycle * attack_cycles, 10 * 16, 6 * 16));
    });
    return {normalize(wave), cycle * attack_cycles, cycle * loop_cycles};
}

pitched_sample synth_pluck() {
    constexpr uint32_t cycle = 32, decay_cycles = 40, loop_cycles = 8;
    const uint32_t decay_frames = cycle * decay_cycles;
    // Loudness decays to about a third, then holds for the loop.
    std::vector<int64_t> loudness(cycle * (decay_cycles + loop_cycles));
    int64_t level = 65536;
    const int64_t decay = decay_per_frame(decay_frames);
    for (uint32_t i = 0; i < loudness.size(); ++i) {
        loudness[i] = level;
        if (i < decay_frames) level = level * decay >> 16;
    }
    std::vector<int64_t> wave(loudness.size());
    add_partials(wave, cycle, 1, cycle / 2 - 1, [&](int h, uint32_t frame) {
        return saw_partial(h, glide(frame, decay_frames, 14 * 16, 5 * 16)) * loudness[frame] >> 16;
    });
    return {normalize(wave), decay_frames, cycle * loop_cycles};
}

pitched_sample synth_pad() {
    // 128 cycles of 64 frames, detuned voices making 127 and 129 cycles in
    // the same span: about 13 cents apart, one slow beat per loop.
    constexpr uint32_t loop = 8192;
    constexpr uint32_t voices[3] = {128, 127, 129};
    std::vector<int64_t> wave(loop);
    for (uint32_t cycles : voices) {
        const int harmonics = static_cast<int>((loop / 2 - 1) / cycles);
        add_partials(wave, loop, cycles, harmonics, [](int h, uint32_t) { return saw_partial(h, 5 * 16); });
    }
    return {normalize(wave), 0, loop};
}

std::vector<int16_t> synth_kick() {
    std::vector<int64_t> wave(5200);
    noise_source noise{0x1234567u};
    int64_t pitch_drop = 65536, loudness = 65536;
    uint32_t phase = 0;
    const int64_t pitch_decay = decay_per_frame(400), loudness_decay = decay_per_frame(2600);
    for (size_t i = 0; i < wave.size(); ++i) {
        const int64_t frequency_q16 = (46LL << 16) + 110 * pitch_drop;  // 156 Hz falling to 46 Hz
        phase += phase_step(frequency_q16);
        int64_t value = sine_q15(phase) * loudness >> 16;
        if (i < 48) value += noise.next() * static_cast<int64_t>(48 - i) / 96;  // beater click
        wave[i] = value;
        pitch_drop = pitch_drop * pitch_decay >> 16;
        loudness = loudness * loudness_decay >> 16;
    }
    fade_tail(wave, 400);
    return normalize(wave);
}

std::vector<int16_t> synth_snare() {
    std::vector<int64_t> wave(4000);
    noise_source noise{0x9e3779b9u};
    int64_t body = 65536, rattle = 65536, smoothed = 0;
    uint32_t low = 0, high = 0;
    const int64_t body_decay = decay_per_frame(500), rattle_decay = decay_per_frame(1300);
    for (size_t i = 0; i < wave.size(); ++i) {
        low += phase_step(185LL << 16);
        high += phase_step(330LL << 16);
        const int64_t tone = (sine_q15(low) * 2 + sine_q15(high)) / 3;
        smoothed += (noise.next() - smoothed) / 2;
        wave[i] = (tone * body >> 16) / 2 + (smoothed * 2 * rattle >> 16);
        body = body * body_decay >> 16;
        rattle = rattle * rattle_decay >> 16;
    }
    fade_tail(wave, 300);
    return normalize(wave);
}

std::vector<int16_t> synth_hihat() {
    std::vector<int64_t> wave(2600);
    noise_source noise{0x2545f491u};
    int64_t loudness = 65536, low_part = 0;
    const int64_t decay = decay_per_frame(450);
    for (size_t i = 0; i < wave.size(); ++i) {
        const int64_t raw = noise.next();
        low_part += (raw - low_part) / 4;  // what is left after removing it is the hiss
        wave[i] = (raw - low_part) * loudness >> 16;
        loudness = loudness * decay >> 16;
    }
    fade_tail(wave, 200);
    return normalize(wave);
}

std::vector<int8_t> to_8bit(const std::vector<int16_t>& frames) {
    std::vector<int8_t> out(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        out[i] = static_cast<int8_t>(std::clamp((frames[i] + 128) >> 8, -128, 127));
    return out;
}

}  // namespace demo
