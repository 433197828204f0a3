// The audio chunk as a value: a block of decoded audio that whoever runs a decoder hands it to
// fill. Header-only, so the host and a component build the same class, as with file_info_impl.
#pragma once

#include <vector>

#include "host/records.h"

class audio_chunk_impl final : public audio_chunk {
public:
    void set_data_size(size_t samples) override { data_.resize(samples); }
    audio_sample* get_data() override { return data_.data(); }
    const audio_sample* get_data() const override { return data_.data(); }
    void set_sample_count(size_t frames) override { frames_ = frames; }
    size_t get_sample_count() const override { return frames_; }
    void set_sample_rate(unsigned rate) override { rate_ = rate; }
    unsigned get_sample_rate() const override { return rate_; }
    void set_channels(unsigned count, unsigned config) override {
        channels_ = count;
        config_ = config;
    }
    unsigned get_channels() const override { return channels_; }
    unsigned get_channel_config() const override { return config_; }

    // Room allocated, in samples.
    size_t data_size() const { return data_.size(); }

private:
    std::vector<audio_sample> data_;
    size_t frames_ = 0;
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    unsigned config_ = 0;
};
