// minihost's implementations of the host records the component fills.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/records.h"

namespace minihost {

class file_info_impl final : public file_info {
public:
    using field = std::pair<std::string, std::string>;

    double get_length() const override { return length_; }
    void set_length(double seconds) override { length_ = seconds; }
    void meta_add(const char* name, const char* value) override { meta_.emplace_back(name, value); }
    void info_set(const char* name, const char* value) override {
        for (field& existing : info_)
            if (existing.first == name) {
                existing.second = value;
                return;
            }
        info_.emplace_back(name, value);
    }

    // Meta values in the order added, one entry per value.
    const std::vector<field>& meta() const { return meta_; }
    // Technical fields in the order first set.
    const std::vector<field>& info() const { return info_; }

private:
    double length_ = 0;
    std::vector<field> meta_;
    std::vector<field> info_;
};

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

class mem_block_impl final : public mem_block_container {
public:
    void set_size(size_t bytes) override { bytes_.resize(bytes); }
    size_t get_size() const override { return bytes_.size(); }
    void* get_ptr() override { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace minihost
