// The index store's log format (described in index_store.h): records, their checks, the header.
#include <algorithm>
#include <cstring>

#include "host/guid.h"
#include "minihost/host/index_store.h"
#include "zorb/crc32.h"

namespace minihost::index_store_format {

namespace {

constexpr size_t header_check_offset = 44;
constexpr size_t data_offset = 48;

uint32_t u32_at(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

uint64_t u64_at(const uint8_t* bytes) { return uint64_t(u32_at(bytes)) | uint64_t(u32_at(bytes + 4)) << 32; }

void put_u32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
}

void put_u64(uint8_t* out, uint64_t value) {
    put_u32(out, uint32_t(value));
    put_u32(out + 4, uint32_t(value >> 32));
}

bool size_fits_kind(uint32_t kind, uint32_t size) {
    switch (record_kind(kind)) {
        case record_kind::put:
            return size >= 1 && size <= max_user_data_size;
        case record_kind::seen:
        case record_kind::drop:
            return size == 0;
    }
    return false;
}

// The valid record at `position`, if there is one whole there.
bool record_at(const uint8_t* bytes, size_t size, size_t position, record& out) {
    const uint8_t* at = bytes + position;
    const size_t left = size - position;
    if (left < record_overhead || std::memcmp(at, marker, sizeof marker) != 0) return false;
    const uint32_t kind = u32_at(at + 4);
    const uint32_t data_size = u32_at(at + 40);
    if (!size_fits_kind(kind, data_size)) return false;
    if (zorb::crc32(at, header_check_offset) != u32_at(at + header_check_offset)) return false;
    if (left - record_overhead < data_size) return false;
    if (zorb::crc32(at, data_offset + data_size) != u32_at(at + data_offset + data_size)) return false;
    out.kind = record_kind(kind);
    out.index = host_guid::from_bytes(at + 8);
    out.key = u64_at(at + 24);
    out.time = u64_at(at + 32);
    out.data = at + data_offset;
    out.size = data_size;
    return true;
}

}  // namespace

scan_result scan(const uint8_t* bytes, size_t size, const std::function<void(const record&)>& apply) {
    scan_result result;
    size_t position = 0;
    while (position < size) {
        record found{};
        if (!record_at(bytes, size, position, found)) {
            // Only a marker can begin the next valid record.
            const void* next =
                position + 1 < size ? std::memchr(bytes + position + 1, marker[0], size - position - 1) : nullptr;
            position = next ? size_t(static_cast<const uint8_t*>(next) - bytes) : size;
            continue;
        }
        result.damaged_bytes += position - result.valid_end;
        apply(found);
        ++result.records;
        position += record_overhead + found.size;
        result.valid_end = position;
    }
    return result;
}

void append(std::vector<uint8_t>& out, const record& record) {
    const size_t start = out.size();
    out.resize(start + record_overhead + record.size);
    uint8_t* at = out.data() + start;
    std::memcpy(at, marker, sizeof marker);
    put_u32(at + 4, uint32_t(record.kind));
    host_guid::to_bytes(record.index, at + 8);
    put_u64(at + 24, record.key);
    put_u64(at + 32, record.time);
    put_u32(at + 40, record.size);
    put_u32(at + header_check_offset, zorb::crc32(at, header_check_offset));
    if (record.size) std::memcpy(at + data_offset, record.data, record.size);
    put_u32(at + data_offset + record.size, zorb::crc32(at, data_offset + record.size));
}

std::vector<uint8_t> header(uint64_t generation) {
    std::vector<uint8_t> out(header_size, 0);
    std::memcpy(out.data(), magic, sizeof magic);
    put_u32(out.data() + 8, version);
    put_u64(out.data() + 16, generation);
    return out;
}

header_state read_header(const uint8_t* bytes, size_t size, uint64_t& generation) {
    generation = 0;
    if (size == 0) return header_state::empty;
    if (size < header_size) {
        // Nothing, or the first bytes of a header that was being made.
        const std::vector<uint8_t> start = header(0);
        return std::memcmp(bytes, start.data(), std::min(size, size_t(12))) == 0 ? header_state::empty
                                                                                 : header_state::foreign;
    }
    if (std::memcmp(bytes, magic, sizeof magic) != 0) return header_state::foreign;
    if (u32_at(bytes + 8) > version) return header_state::newer_version;
    if (u32_at(bytes + 8) < version) return header_state::foreign;
    generation = u64_at(bytes + 16);
    return header_state::valid;
}

}  // namespace minihost::index_store_format
