// Audio as the host hands it between inputs, DSPs and outputs: interleaved floating-point frames.
#pragma once

#include <cstddef>
#include <vector>

using audio_sample = float;

// One block of interleaved samples. The host owns the storage; a DSP may change the samples in place.
// Used by one thread at a time.
class audio_chunk {
public:
    // Interleaved samples, get_sample_count() frames of get_channels() samples each.
    virtual audio_sample* get_data() = 0;
    virtual const audio_sample* get_data() const = 0;
    // Number of frames.
    virtual size_t get_sample_count() const = 0;
    virtual unsigned get_sample_rate() const = 0;
    virtual unsigned get_channels() const = 0;
    // Speaker layout bits (3: front left and front right).
    virtual unsigned get_channel_config() const = 0;
    // Makes room for `sample_count` samples (all channels together); the content is kept up to that count.
    virtual void set_data_size(size_t sample_count) = 0;
    virtual void set_sample_count(size_t frame_count) = 0;
    virtual void set_sample_rate(unsigned rate) = 0;
    virtual void set_channels(unsigned count, unsigned config) = 0;

    // Samples in use: frames times channels.
    size_t get_used_size() const { return get_sample_count() * get_channels(); }

protected:
    ~audio_chunk() = default;
};

// The host's chunk: owns its samples.
class audio_chunk_impl final : public audio_chunk {
public:
    audio_sample* get_data() override { return samples_.data(); }
    const audio_sample* get_data() const override { return samples_.data(); }
    size_t get_sample_count() const override { return frames_; }
    unsigned get_sample_rate() const override { return rate_; }
    unsigned get_channels() const override { return channels_; }
    unsigned get_channel_config() const override { return channel_config_; }
    void set_data_size(size_t sample_count) override { samples_.resize(sample_count); }
    void set_sample_count(size_t frame_count) override { frames_ = frame_count; }
    void set_sample_rate(unsigned rate) override { rate_ = rate; }
    void set_channels(unsigned count, unsigned config) override {
        channels_ = count;
        channel_config_ = config;
    }

    // Replaces the content by `frame_count` frames of `channels` interleaved samples.
    void set_data(const audio_sample* samples, size_t frame_count, unsigned rate, unsigned channels,
                  unsigned config) {
        samples_.assign(samples, samples + frame_count * channels);
        frames_ = frame_count;
        rate_ = rate;
        channels_ = channels;
        channel_config_ = config;
    }

private:
    std::vector<audio_sample> samples_;
    size_t frames_ = 0;
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    unsigned channel_config_ = 0;
};
