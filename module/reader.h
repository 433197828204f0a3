// Bounded cursor over a file image: the only way the loaders read a file.
// Every read is checked against the image: a read past the end yields zeros
// and marks the reader failed, which the loaders test, so no loader does
// arithmetic on raw file pointers. Offsets are 64-bit, so that offsets and
// lengths computed from file fields need no range check of their own.
#pragma once

#include <cstdint>
#include <cstring>

#include "module.h"

class byte_reader {
public:
    byte_reader(const u8* image, size_t image_size) : data_(image), size_(image ? image_size : 0) {}

    size_t size() const { return size_; }
    size_t position() const { return position_; }  // next byte to read, 0..size
    size_t remaining() const { return size_ - position_; }
    bool failed() const { return failed_; }  // a read or seek went past the end

    // True when the image holds `count` bytes at `offset`.
    bool holds(uint64_t offset, uint64_t count) const { return offset <= size_ && count <= size_ - offset; }

    // Moves to an absolute offset; an offset past the end fails the reader and
    // leaves the cursor at the end. Returns false then.
    bool seek(uint64_t offset) {
        if (offset > size_) return fail_at_end();
        position_ = static_cast<size_t>(offset);
        return true;
    }

    bool skip(uint64_t count) { return count <= remaining() ? seek(position_ + count) : fail_at_end(); }

    // A reader of its own over the `count` bytes at `offset` (as far as the image
    // holds them), its cursor at their start: reads through it cannot run into
    // what follows them.
    byte_reader sub_reader(uint64_t offset, uint64_t count) const {
        if (offset > size_) return byte_reader(nullptr, 0);
        const size_t available = size_ - static_cast<size_t>(offset);
        return byte_reader(data_ + offset, count < available ? static_cast<size_t>(count) : available);
    }

    u8 u8le() {
        if (position_ >= size_) {
            failed_ = true;
            return 0;
        }
        return data_[position_++];
    }

    i8 i8le() { return static_cast<i8>(u8le()); }

    u16 u16le() {
        u16 low = u8le();
        return static_cast<u16>(low | (u8le() << 8));
    }

    u32 u32le() {
        u32 low = u16le();
        return low | (static_cast<u32>(u16le()) << 16);
    }

    u16 u16be() {
        u16 high = u8le();
        return static_cast<u16>((high << 8) | u8le());
    }

    // Copies count bytes; the part past the end is zero-filled and fails the reader.
    void bytes(void* destination, size_t count) {
        size_t taken = copy_available(destination, count);
        if (taken < count) {
            std::memset(static_cast<u8*>(destination) + taken, 0, count - taken);
            failed_ = true;
        }
    }

    // Copies up to count bytes without failing the reader; returns how many were there.
    // Used for data that may legitimately end early, such as a truncated last sample.
    size_t copy_available(void* destination, size_t count) {
        size_t taken = count < remaining() ? count : remaining();
        if (taken) std::memcpy(destination, data_ + position_, taken);
        position_ += taken;
        return taken;
    }

    // True when the image holds `text` (count bytes) at an absolute offset; never fails the reader.
    bool matches(uint64_t offset, const char* text, size_t count) const {
        return holds(offset, count) && std::memcmp(data_ + offset, text, count) == 0;
    }

    // Byte at an absolute offset, 0 outside the image; never moves the cursor or fails the reader.
    u8 byte_at(uint64_t offset) const { return offset < size_ ? data_[offset] : 0; }

private:
    bool fail_at_end() {
        failed_ = true;
        position_ = size_;
        return false;
    }

    const u8* data_;       // file image, borrowed
    size_t size_;          // bytes in data_
    size_t position_ = 0;  // next byte to read, 0..size_
    bool failed_ = false;  // a read or seek went past the end
};
