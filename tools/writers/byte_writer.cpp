#include "byte_writer.h"

byte_writer& byte_writer::u8(unsigned value) {
    bytes.push_back(static_cast<uint8_t>(value));
    return *this;
}

byte_writer& byte_writer::u16(unsigned value) { return u8(value & 0xff).u8((value >> 8) & 0xff); }

byte_writer& byte_writer::u32(uint32_t value) { return u16(value & 0xffff).u16(value >> 16); }

byte_writer& byte_writer::u16be(unsigned value) { return u8((value >> 8) & 0xff).u8(value & 0xff); }

byte_writer& byte_writer::text(const std::string& value, size_t width) {
    for (size_t i = 0; i < width; ++i) u8(i < value.size() ? static_cast<uint8_t>(value[i]) : 0);
    return *this;
}

byte_writer& byte_writer::raw(const void* data, size_t count) {
    const uint8_t* from = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), from, from + count);
    return *this;
}

byte_writer& byte_writer::fill(uint8_t value, size_t count) {
    bytes.insert(bytes.end(), count, value);
    return *this;
}

byte_writer& byte_writer::align(size_t alignment) {
    while (bytes.size() % alignment) bytes.push_back(0);
    return *this;
}

void byte_writer::patch_u8(size_t offset, unsigned value) { bytes.at(offset) = static_cast<uint8_t>(value); }

void byte_writer::patch_u16(size_t offset, unsigned value) {
    patch_u8(offset, value & 0xff);
    patch_u8(offset + 1, (value >> 8) & 0xff);
}

void byte_writer::patch_u32(size_t offset, uint32_t value) {
    patch_u16(offset, value & 0xffff);
    patch_u16(offset + 2, value >> 16);
}
