#include "pcm_levels.h"

#include <cmath>
#include <cstdlib>
#include <limits>

std::vector<double> loudness_envelope(const int16_t* stereo, size_t frames, size_t window_frames) {
    std::vector<double> envelope;
    if (window_frames == 0) return envelope;
    for (size_t start = 0; start + window_frames <= frames; start += window_frames) {
        double sum = 0;
        for (size_t f = start; f < start + window_frames; ++f) {
            double mono = (stereo[2 * f] + stereo[2 * f + 1]) / 65536.0;
            sum += mono * mono;
        }
        envelope.push_back(std::sqrt(sum / window_frames));
    }
    return envelope;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    if (n == 0) return 0;
    double mean_a = 0, mean_b = 0;
    for (size_t i = 0; i < n; ++i) {
        mean_a += a[i];
        mean_b += b[i];
    }
    mean_a /= n;
    mean_b /= n;
    double cross = 0, var_a = 0, var_b = 0;
    for (size_t i = 0; i < n; ++i) {
        cross += (a[i] - mean_a) * (b[i] - mean_b);
        var_a += (a[i] - mean_a) * (a[i] - mean_a);
        var_b += (b[i] - mean_b) * (b[i] - mean_b);
    }
    if (var_a <= 0 || var_b <= 0) return 0;
    return cross / std::sqrt(var_a * var_b);
}

void level_meter::add(const int16_t* stereo, size_t frames) {
    for (size_t i = 0; i < frames * 2; ++i) {
        double value = stereo[i] / 32768.0;
        if (std::fabs(value) > peak_) peak_ = std::fabs(value);
        sum_of_squares_ += value * value;
    }
    values_ += frames * 2;
}

double level_meter::rms() const { return values_ ? std::sqrt(sum_of_squares_ / values_) : 0; }

double level_meter::decibels(double level) {
    return level > 0 ? 20 * std::log10(level) : -std::numeric_limits<double>::infinity();
}
