#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pcm_levels.h"

namespace {

std::vector<int16_t> stereo_frames(size_t frames, int16_t left, int16_t right) {
    std::vector<int16_t> pcm;
    for (size_t i = 0; i < frames; ++i) {
        pcm.push_back(left);
        pcm.push_back(right);
    }
    return pcm;
}

TEST(LoudnessEnvelope, IsMonoRmsPerWholeWindow) {
    // Half scale on both sides is a mono level of 0.5; opposite sides cancel.
    std::vector<int16_t> pcm = stereo_frames(100, 16384, 16384);
    std::vector<int16_t> cancelling = stereo_frames(100, 16384, -16384);
    pcm.insert(pcm.end(), cancelling.begin(), cancelling.end());
    std::vector<double> envelope = loudness_envelope(pcm.data(), 250, 100);
    ASSERT_EQ(envelope.size(), 2u);  // the last 50 frames make no whole window
    EXPECT_DOUBLE_EQ(envelope[0], 0.5);
    EXPECT_DOUBLE_EQ(envelope[1], 0.0);
}

TEST(Correlation, MeasuresShapeNotScale) {
    std::vector<double> rising{1, 2, 4, 8}, negated{-2, -3, -5, -9}, flat{2, 2, 2, 2};
    EXPECT_NEAR(correlation(rising, negated), -1.0, 1e-12);
    EXPECT_EQ(correlation(rising, flat), 0);
    EXPECT_EQ(correlation({}, {}), 0);
    // Only the common length counts.
    EXPECT_NEAR(correlation(rising, {3, 5, 9, 17, -100}), 1.0, 1e-12);
}

TEST(LevelMeter, PeakAndRmsAcrossBlocks) {
    level_meter meter;
    EXPECT_TRUE(std::isinf(level_meter::decibels(meter.rms())));
    std::vector<int16_t> loud = stereo_frames(10, -32768, 32767);
    std::vector<int16_t> quiet = stereo_frames(10, 0, 0);
    meter.add(loud.data(), 10);
    meter.add(quiet.data(), 10);
    EXPECT_DOUBLE_EQ(meter.peak(), 1.0);
    EXPECT_NEAR(meter.rms(), std::sqrt(0.5), 1e-4);  // half the values at full scale
    EXPECT_NEAR(level_meter::decibels(meter.rms()), -3.01, 0.01);
}

}  // namespace
