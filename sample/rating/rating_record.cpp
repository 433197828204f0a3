#include "sample/rating/rating_record.h"

#include <cmath>
#include <cstdio>

#include "host/exceptions.h"

namespace ambrel {
namespace {

void put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}

// Reads over bytes; running past their end raises the truncation error that decode_record takes
// for an empty record.
class byte_reader {
public:
    byte_reader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    size_t remaining() const { return size_ - at_; }
    uint32_t u32() {
        if (remaining() < 4) throw velmora_io::exception_io_data_truncation();
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= uint32_t(bytes_[at_ + i]) << (8 * i);
        at_ += 4;
        return value;
    }
    std::string text(uint32_t length) {
        if (remaining() < length) throw velmora_io::exception_io_data_truncation();
        std::string value(reinterpret_cast<const char*>(bytes_ + at_), length);
        at_ += length;
        return value;
    }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t at_ = 0;
};

uint64_t little_endian64(const uint8_t* bytes) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t(bytes[i]) << (8 * i);
    return value;
}

}  // namespace

std::vector<uint8_t> encode_record(const rating_record& record) {
    std::vector<uint8_t> bytes;
    put32(bytes, record.rating);
    if (!record.comment.empty()) {
        put32(bytes, uint32_t(record.comment.size()));
        bytes.insert(bytes.end(), record.comment.begin(), record.comment.end());
    }
    return bytes;
}

rating_record decode_record(const uint8_t* bytes, size_t size) {
    if (size == 0) return {};
    try {
        byte_reader reader(bytes, size);
        rating_record record;
        record.rating = reader.u32();
        if (reader.remaining() > 0) record.comment = reader.text(reader.u32());
        return record;
    } catch (const velmora_io::exception_io_data_truncation&) {
        return {};
    }
}

uint64_t key_of_digest(const digest_value& digest) {
    return little_endian64(digest.bytes) ^ little_endian64(digest.bytes + 8);
}

uint32_t next_rating(uint32_t current) {
    if (current == 0) return 1;
    if (current < 5) return current + 1;
    return 0;
}

std::string next_comment(const std::string& current) {
    if (current.empty()) return "kiv";
    if (current == "kiv") return "bar";
    return {};
}

std::string key_text_16(uint64_t key) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(key));
    return text;
}

std::string key_text_dump(uint64_t key) {
    char text[17];
    std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(key));
    return text;
}

void rating_summary::take(const rating_record& record) {
    if (record.rating != 0) {
        minimum = count == 0 ? record.rating : std::min(minimum, record.rating);
        maximum = count == 0 ? record.rating : std::max(maximum, record.rating);
        ++count;
        sum += record.rating;
    }
    if (!seen_record)
        comment = record.comment;
    else if (comment != "<various>" && record.comment != comment)
        comment = "<various>";
    seen_record = true;
}

std::string rating_summary::average_text() const {
    if (count == 0) return "N/A";
    const double average = double(sum) / double(count);
    const auto thousandths = static_cast<uint64_t>(std::floor(average * 1000 + 0.5));
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu", static_cast<unsigned long long>(thousandths / 1000),
                  static_cast<unsigned long long>(thousandths % 1000));
    return text;
}

std::string rating_summary::minimum_text() const { return count == 0 ? "N/A" : std::to_string(minimum); }
std::string rating_summary::maximum_text() const { return count == 0 ? "N/A" : std::to_string(maximum); }

}  // namespace ambrel
