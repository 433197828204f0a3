// Little-endian byte builder for the module writers: every field of a file is
// appended (or patched later) explicitly, so a test states its own input byte
// by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class byte_writer {
public:
    std::vector<uint8_t> bytes;

    size_t size() const { return bytes.size(); }
    byte_writer& u8(unsigned value);
    byte_writer& u16(unsigned value);
    byte_writer& u32(uint32_t value);
    byte_writer& u16be(unsigned value);
    // Appends text padded with zeros (or cut) to exactly `width` bytes.
    byte_writer& text(const std::string& value, size_t width);
    byte_writer& raw(const void* data, size_t count);
    byte_writer& fill(uint8_t value, size_t count);
    // Pads with zeros until the size is a multiple of `alignment`.
    byte_writer& align(size_t alignment);
    void patch_u8(size_t offset, unsigned value);
    void patch_u16(size_t offset, unsigned value);
    void patch_u32(size_t offset, uint32_t value);
};
