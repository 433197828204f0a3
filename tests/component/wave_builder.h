// RIFF WAVE files built chunk by chunk for tests: any fmt header (plain or extensible), samples
// of any width, INFO lists, unknown and odd-sized chunks, and sizes that lie.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace test_support {

using bytes_t = std::vector<uint8_t>;

inline void append_le(bytes_t& out, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void append_text(bytes_t& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

// What the fmt chunk says.
struct wave_shape {
    uint16_t format = 1;  // 1 integer PCM, 3 IEEE float
    unsigned channels = 2;
    uint32_t rate = 44100;
    unsigned bits = 16;  // bits per sample; for extensible headers the container's
    bool extensible = false;
    uint16_t valid_bits = 0;  // extensible only; 0: as bits
    uint32_t mask = 0;        // extensible only
    unsigned container_bytes() const { return (bits + 7) / 8; }
    unsigned block_align() const { return channels * container_bytes(); }
};

inline bytes_t fmt_payload(const wave_shape& shape) {
    bytes_t out;
    append_le(out, shape.extensible ? 0xFFFE : shape.format, 2);
    append_le(out, shape.channels, 2);
    append_le(out, shape.rate, 4);
    append_le(out, uint64_t{shape.rate} * shape.block_align(), 4);
    append_le(out, shape.block_align(), 2);
    append_le(out, shape.bits, 2);
    if (shape.extensible) {
        append_le(out, 22, 2);
        append_le(out, shape.valid_bits ? shape.valid_bits : shape.bits, 2);
        append_le(out, shape.mask, 4);
        append_le(out, shape.format, 2);
        const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        out.insert(out.end(), tail, tail + sizeof tail);
    }
    return out;
}

// A chunk: id, size (the payload's unless `declared` is given), payload, and a zero pad byte after
// an odd payload unless `pad` is false.
inline bytes_t chunk(std::string_view id, const bytes_t& payload, bool pad = true, int64_t declared = -1) {
    bytes_t out;
    append_text(out, id);
    append_le(out, declared >= 0 ? uint64_t(declared) : payload.size(), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad && (payload.size() & 1)) out.push_back(0);
    return out;
}

// A LIST chunk of type INFO: each entry's text with its terminating NUL.
inline bytes_t info_list(const std::vector<std::pair<std::string, std::string>>& entries) {
    bytes_t payload;
    append_text(payload, "INFO");
    for (const auto& [id, text] : entries) {
        bytes_t zstr(text.begin(), text.end());
        zstr.push_back(0);
        const bytes_t entry = chunk(id, zstr);
        payload.insert(payload.end(), entry.begin(), entry.end());
    }
    return chunk("LIST", payload);
}

// "RIFF", the size of what follows (unless `declared` is given), "WAVE" and the chunks.
inline bytes_t riff(const std::vector<bytes_t>& chunks, int64_t declared = -1) {
    bytes_t body;
    append_text(body, "WAVE");
    for (const bytes_t& part : chunks) body.insert(body.end(), part.begin(), part.end());
    bytes_t out;
    append_text(out, "RIFF");
    append_le(out, declared >= 0 ? uint64_t(declared) : body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Integer samples as the data chunk holds them: little-endian, left-justified in their container,
// 8-bit ones offset by 128. `values` are the samples' own values (of shape.bits or valid_bits bits).
inline bytes_t integer_samples(const wave_shape& shape, const std::vector<int64_t>& values) {
    const unsigned significant = shape.valid_bits ? shape.valid_bits : shape.bits;
    const unsigned shift = shape.container_bytes() * 8 - significant;
    bytes_t out;
    for (const int64_t value : values) {
        uint64_t stored = static_cast<uint64_t>(value) << shift;
        if (shape.container_bytes() == 1) stored += 128;
        append_le(out, stored, shape.container_bytes());
    }
    return out;
}

// IEEE floats, of 8 bytes when `doubles`, else of 4.
inline bytes_t float_samples(const std::vector<double>& values, bool doubles) {
    bytes_t out;
    for (const double value : values) {
        const float single = static_cast<float>(value);
        uint64_t bits = 0;
        std::memcpy(&bits, doubles ? static_cast<const void*>(&value) : &single, doubles ? 8 : 4);
        append_le(out, bits, doubles ? 8 : 4);
    }
    return out;
}

// A whole file: fmt, then the INFO list when there are tags, then data.
inline bytes_t wave_file(const wave_shape& shape, const bytes_t& data,
                         const std::vector<std::pair<std::string, std::string>>& tags = {}) {
    std::vector<bytes_t> chunks = {chunk("fmt ", fmt_payload(shape))};
    if (!tags.empty()) chunks.push_back(info_list(tags));
    chunks.push_back(chunk("data", data));
    return riff(chunks);
}

}  // namespace test_support
