// Host records that the component fills or reads: a track's information, a block of decoded audio,
// a memory block, and a track's location. The host owns the objects; the component reaches them
// only through these operations, so their storage stays on the host's side of the boundary.
#pragma once

#include <cstddef>
#include <cstdint>

// A track's length, meta fields (names with one or more UTF-8 values) and technical fields (one
// value per name). Field names compare without regard to ASCII case. Used by one thread at a time;
// texts passed in are copied, texts handed out belong to the record and stay valid until it next
// changes. Raises nothing.
class file_info {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // Length in seconds; 0 when unknown.
    virtual double get_length() const = 0;
    virtual void set_length(double seconds) = 0;
    // Adds a value to the meta field `name`, after the values it has.
    virtual void meta_add(const char* name, const char* value) = 0;
    // Sets the technical field `name`, replacing an earlier value of the same name.
    virtual void info_set(const char* name, const char* value) = 0;

    // Meta fields in the order they were first added: how many, the index of `name` (npos when the
    // record has no such field), and a field's name and values by index (index below the count).
    virtual size_t meta_get_count() const = 0;
    virtual size_t meta_find(const char* name) const = 0;
    virtual const char* meta_enum_name(size_t index) const = 0;
    virtual size_t meta_enum_value_count(size_t index) const = 0;
    virtual const char* meta_enum_value(size_t index, size_t value_index) const = 0;
    // Drops the meta field at `index` with all its values; the later ones move up.
    virtual void meta_remove_index(size_t index) = 0;

    // Technical fields in the order they were first set, as the meta fields.
    virtual size_t info_get_count() const = 0;
    virtual size_t info_find(const char* name) const = 0;
    virtual const char* info_enum_name(size_t index) const = 0;
    virtual const char* info_enum_value(size_t index) const = 0;
    virtual void info_remove_index(size_t index) = 0;

    // Empties the record: no length, no fields.
    virtual void reset() = 0;

    // The value at `value_index` of the meta field `name`, or null when there is none.
    const char* meta_get(const char* name, size_t value_index) const {
        const size_t index = meta_find(name);
        if (index == npos || value_index >= meta_enum_value_count(index)) return nullptr;
        return meta_enum_value(index, value_index);
    }
    // Makes `value` the one value of the meta field `name`, replacing every value it had.
    void meta_set(const char* name, const char* value) {
        meta_remove_field(name);
        meta_add(name, value);
    }
    void meta_remove_field(const char* name) {
        if (const size_t index = meta_find(name); index != npos) meta_remove_index(index);
    }
    // The technical field `name`, or null.
    const char* info_get(const char* name) const {
        const size_t index = info_find(name);
        return index == npos ? nullptr : info_enum_value(index);
    }
    // Makes this record a copy of `other`.
    void copy_from(const file_info& other) {
        if (&other == this) return;
        reset();
        set_length(other.get_length());
        for (size_t i = 0; i < other.meta_get_count(); ++i)
            for (size_t j = 0; j < other.meta_enum_value_count(i); ++j)
                meta_add(other.meta_enum_name(i), other.meta_enum_value(i, j));
        for (size_t i = 0; i < other.info_get_count(); ++i) info_set(other.info_enum_name(i), other.info_enum_value(i));
    }

protected:
    ~file_info() = default;
};

using audio_sample = float;  // full scale is -1..1

// Channel configuration bits: one per speaker, the channels of a chunk interleaved in the order of
// their bits. The same bits as the channel masks of WAV files.
constexpr unsigned channel_front_left = 1, channel_front_right = 2;
constexpr unsigned channel_config_stereo = channel_front_left | channel_front_right;
constexpr unsigned channel_front_center = 0x4, channel_lfe = 0x8, channel_back_left = 0x10, channel_back_right = 0x20,
                   channel_front_center_left = 0x40, channel_front_center_right = 0x80, channel_back_center = 0x100,
                   channel_side_left = 0x200, channel_side_right = 0x400, channel_top_center = 0x800,
                   channel_top_front_left = 0x1000, channel_top_front_center = 0x2000, channel_top_front_right = 0x4000,
                   channel_top_back_left = 0x8000, channel_top_back_center = 0x10000, channel_top_back_right = 0x20000;
constexpr unsigned channel_config_mono = channel_front_center;
constexpr unsigned channel_config_all = 0x3FFFF;  // every speaker the host knows

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
