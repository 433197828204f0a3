// The rating database's values and texts, without the host: the record and its stored bytes, the
// key from a digest, the rating and comment cycles, and the texts the fields, the dump and the
// properties show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/digest.h"

namespace ambrel {

struct rating_record {
    uint32_t rating = 0;  // 0 no rating; the commands store 0 to 5
    std::string comment;  // UTF-8; empty: no comment
    bool operator==(const rating_record&) const = default;
};

// Stored form, little-endian: the rating (4 bytes), then only for a comment its byte length (4
// bytes) and its bytes. A record without comment is 4 bytes; writing never stores nothing.
std::vector<uint8_t> encode_record(const rating_record& record);
// The record of stored bytes: none is rating 0 and no comment; bytes that end inside a field they
// announce read the same, silently; bytes after the comment are ignored.
rating_record decode_record(const uint8_t* bytes, size_t size);

// The key of a digest: its bytes 0 to 7 XOR its bytes 8 to 15, each as a little-endian integer.
uint64_t key_of_digest(const digest_value& digest);

// 0 -> 1 -> ... -> 5 -> 0; a stored 5 or more (written by someone else) goes to 0.
uint32_t next_rating(uint32_t current);
// "" -> "kiv" -> "bar" -> ""; any other text goes to "".
std::string next_comment(const std::string& current);

// The key as 16 upper-case hexadecimal digits (the fields) and as at least 8 (the dump).
std::string key_text_16(uint64_t key);
std::string key_text_dump(uint64_t key);

// What the properties show over the records of a selection.
struct rating_summary {
    uint64_t count = 0;  // non-zero ratings
    uint64_t sum = 0;
    uint32_t minimum = 0, maximum = 0;
    std::string comment;  // common comment, "<various>", or empty
    bool seen_record = false;

    void take(const rating_record& record);
    // "N/A" when no rating was counted; the average with three decimals, halves up.
    std::string average_text() const;
    std::string minimum_text() const;
    std::string maximum_text() const;
};

}  // namespace ambrel
