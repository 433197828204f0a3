// Host records that the component fills or reads: a track's information, a block of decoded audio,
// a memory block, and a track's location. The host owns the objects; the component reaches them
// only through these operations, so their storage stays on the host's side of the boundary.
#pragma once

#include <cstddef>
#include <cstdint>

// A track's length, meta fields (names with one or more UTF-8 values) and technical fields (one
// value per name). Used by one thread at a time; texts passed in are copied. Raises nothing.
class file_info {
public:
    // Length in seconds; 0 when unknown.
    virtual double get_length() const = 0;
    virtual void set_length(double seconds) = 0;
    // Adds a value to the meta field `name`.
    virtual void meta_add(const char* name, const char* value) = 0;
    // Sets the technical field `name`, replacing an earlier value of the same name.
    virtual void info_set(const char* name, const char* value) = 0;

protected:
    ~file_info() = default;
};

using audio_sample = float;  // full scale is -1..1

// Channel configuration bits.
constexpr unsigned channel_front_left = 1, channel_front_right = 2;
constexpr unsigned channel_config_stereo = channel_front_left | channel_front_right;

// Decoded audio: interleaved float samples with their frame count, rate and channels. Used by one
// thread at a time; the data pointer stays valid until the next set_data_size. Raises nothing.
class audio_chunk {
public:
    // Makes room for at least `samples` samples; earlier content may be lost.
    virtual void set_data_size(size_t samples) = 0;
    virtual audio_sample* get_data() = 0;
    virtual const audio_sample* get_data() const = 0;
    virtual void set_sample_count(size_t frames) = 0;
    virtual size_t get_sample_count() const = 0;
    virtual void set_sample_rate(unsigned rate) = 0;  // Hz
    virtual unsigned get_sample_rate() const = 0;
    // Channel count and which speakers they feed (channel_front_left, ... bits).
    virtual void set_channels(unsigned count, unsigned config) = 0;
    virtual unsigned get_channels() const = 0;
    virtual unsigned get_channel_config() const = 0;

protected:
    ~audio_chunk() = default;
};

// A resizable block of bytes owned by the host; one thread at a time. The pointer stays valid until
// the next set_size. Raises nothing.
class mem_block_container {
public:
    virtual void set_size(size_t bytes) = 0;
    virtual size_t get_size() const = 0;
    virtual void* get_ptr() = 0;

protected:
    ~mem_block_container() = default;
};

// Where a track lives: the path of its file and its subsong index there.
struct playable_location {
    const char* path;  // UTF-8
    uint32_t subsong;  // 0 for files with one song
};
