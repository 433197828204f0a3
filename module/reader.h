// Bounded cursor over a file image. Every read is checked against the image:
// a read past the end yields zeros and raises `failed`, which the loaders
// test, so no loader does arithmetic on raw file pointers.
#pragma once

#include <cstring>

#include "module.h"

struct byte_reader {
    const u8* data;   // file image, borrowed
    size_t size;      // bytes in data
    size_t position;  // next byte to read, 0..size
    bool failed;      // a read or seek went past the end

    byte_reader(const u8* image, size_t image_size)
        : data(image), size(image ? image_size : 0), position(0), failed(false) {}

    size_t remaining() const { return size - position; }

    // Moves to an absolute offset; an offset past the end fails and leaves the cursor at the end.
    void seek(size_t offset) {
        if (offset > size) {
            failed = true;
            position = size;
        } else {
            position = offset;
        }
    }

    void skip(size_t count) {
        if (count > remaining()) {
            failed = true;
            position = size;
        } else {
            position += count;
        }
    }

    u8 u8le() {
        if (position >= size) {
            failed = true;
            return 0;
        }
        return data[position++];
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

    // Copies count bytes; the part past the end is zero-filled and fails the reader.
    void bytes(void* destination, size_t count) {
        size_t taken = copy_available(destination, count);
        if (taken < count) {
            std::memset(static_cast<u8*>(destination) + taken, 0, count - taken);
            failed = true;
        }
    }

    // Copies up to count bytes without failing the reader; returns how many were there.
    // Used for data that may legitimately end early, such as a truncated last sample.
    size_t copy_available(void* destination, size_t count) {
        size_t taken = count < remaining() ? count : remaining();
        if (taken) std::memcpy(destination, data + position, taken);
        position += taken;
        return taken;
    }

    // True when the image holds `text` (count bytes) at an absolute offset; never fails the reader.
    bool matches(size_t offset, const char* text, size_t count) const {
        return offset <= size && count <= size - offset && std::memcmp(data + offset, text, count) == 0;
    }

    // Byte at an absolute offset, 0 outside the image; never moves the cursor or fails the reader.
    u8 byte_at(size_t offset) const { return offset < size ? data[offset] : 0; }
};
