#include "zorb/unicode.h"

namespace zorb {
namespace {

constexpr char32_t replacement_character = 0xFFFD;

template <typename map_t>
std::string utf8_map(std::string_view text, map_t map) {
    std::string mapped;
    mapped.reserve(text.size());
    for (size_t position = 0; position < text.size();) {
        const size_t start = position;
        char32_t c;
        if (utf8_decode(text, position, c))
            append_utf8(mapped, map(c));
        else
            mapped.append(text.substr(start, position - start));
    }
    return mapped;
}

}  // namespace

void append_utf8(std::string& out, char32_t c) {
    const auto put = [&](unsigned value) { out.push_back(static_cast<char>(value)); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

char32_t lower_case(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;     // Latin-1 letters, not the multiplication sign
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek capitals
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic capitals with marks
    return c;
}

char32_t upper_case(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // Latin-1 letters, not the division sign
    if (c == 0x3C2) return 0x3A3;                            // final sigma
    if (c >= 0x3B1 && c <= 0x3C9) return c - 32;             // Greek small letters
    if (c >= 0x430 && c <= 0x44F) return c - 32;             // Cyrillic small letters
    if (c >= 0x450 && c <= 0x45F) return c - 80;             // Cyrillic small letters with marks
    return c;
}

std::string utf8_lower(std::string_view text) { return utf8_map(text, lower_case); }
std::string utf8_upper(std::string_view text) { return utf8_map(text, upper_case); }

bool utf8_decode(std::string_view text, size_t& position, char32_t& out) {
    const auto byte = [&](size_t index) { return static_cast<unsigned char>(text[index]); };
    const unsigned lead = byte(position);
    size_t length = 0;
    char32_t value = 0, lowest = 0;
    if (lead < 0x80) {
        ++position;
        out = lead;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, lowest = 0x10000;
    }
    if (length > text.size() - position) length = 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(position + i) & 0xC0) != 0x80) {
            length = 0;
            break;
        }
        value = value << 6 | (byte(position + i) & 0x3F);
    }
    if (length == 0 || value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++position;
        out = lead;
        return false;
    }
    position += length;
    out = value;
    return true;
}

std::u16string utf16_from_utf8(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (size_t position = 0; position < text.size();) {
        char32_t c;
        if (!utf8_decode(text, position, c)) c = replacement_character;
        if (c < 0x10000) {
            wide.push_back(static_cast<char16_t>(c));
        } else {
            wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return wide;
}

std::string utf8_from_utf16(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = replacement_character;
        append_utf8(narrow, c);
    }
    return narrow;
}

}  // namespace zorb
