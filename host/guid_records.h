// GUID-tagged records, the form in which the host keeps configuration variables and DSP presets:
// the 16-byte GUID (host/guid.h), a 32-bit little-endian length and that many bytes of data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/guid.h"

namespace host_guid {

constexpr size_t record_header_size = record_size + 4;

// The header of a record of `length` bytes of data.
inline void record_header(const GUID& guid, uint32_t length, uint8_t out[record_header_size]) {
    to_bytes(guid, out);
    for (size_t i = 0; i < 4; ++i) out[record_size + i] = static_cast<uint8_t>(length >> (8 * i));
}

// Appends a whole record to `out`.
inline void append_record(std::vector<uint8_t>& out, const GUID& guid, const void* data, uint32_t length) {
    const size_t start = out.size();
    out.resize(start + record_header_size + length);
    record_header(guid, length, out.data() + start);
    if (length) std::memcpy(out.data() + start + record_header_size, data, length);
}

// One record inside a block of bytes; `data` points into the block.
struct record_view {
    GUID guid;
    const uint8_t* data;
    uint32_t length;
};

// Reads the record at `position` of the `size` bytes at `bytes` and moves `position` past it.
// False, `position` unchanged, when no whole record remains there: fewer bytes than a header, or a
// length that runs past the end (a record cut short was damaged on its way and counts for nothing).
inline bool next_record(const uint8_t* bytes, size_t size, size_t& position, record_view& out) {
    if (position > size || size - position < record_header_size) return false;
    const uint8_t* header = bytes + position;
    uint32_t length = 0;
    for (size_t i = 0; i < 4; ++i) length |= static_cast<uint32_t>(header[record_size + i]) << (8 * i);
    if (length > size - position - record_header_size) return false;
    out = {from_bytes(header), header + record_header_size, length};
    position += record_header_size + length;
    return true;
}

}  // namespace host_guid
