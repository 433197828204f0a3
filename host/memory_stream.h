// Host byte streams over memory: configuration records are gathered and parsed in memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/abort.h"

class memory_stream_reader final : public stream_reader {
public:
    memory_stream_reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t read(void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        const size_t count = std::min(byte_count, remaining());
        if (count) std::memcpy(buffer, data_ + position_, count);
        position_ += count;
        return count;
    }
    size_t remaining() const { return size_ - position_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

class memory_stream_writer final : public stream_writer {
public:
    void write(const void* buffer, size_t byte_count, abort_callback& abort) override {
        abort.check();
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        bytes_.insert(bytes_.end(), bytes, bytes + byte_count);
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};
