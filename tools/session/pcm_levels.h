// Level measurements of interleaved 16-bit stereo PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Mono RMS (of (left + right) / 2, full scale = 1) over consecutive windows of
// `window_frames` frames; a partial last window is left out.
std::vector<double> loudness_envelope(const int16_t* stereo, size_t frames, size_t window_frames);

// Pearson correlation of the first min(a, b) values; 0 when either side is constant.
double correlation(const std::vector<double>& a, const std::vector<double>& b);

// Peak and RMS of both channels together, full scale = 1, accumulated block by block.
class level_meter {
public:
    void add(const int16_t* stereo, size_t frames);
    double peak() const { return peak_; }
    double rms() const;
    // 20 log10 of a level; -inf for silence.
    static double decibels(double level);

private:
    double peak_ = 0;
    double sum_of_squares_ = 0;
    uint64_t values_ = 0;
};
