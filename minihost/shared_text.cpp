// The shared library's text functions.
#include <cstdint>

#include "host/shared.h"

namespace {

// Bytes that are not part of valid UTF-8 get values above every code point, so that they never
// equal a letter they happen to share a number with.
constexpr uint32_t stray_byte_base = 0x110000;

// Decodes the character at `text` and moves past it. Overlong forms, surrogates and sequences cut
// short count as stray bytes, one at a time.
uint32_t next_character(const unsigned char*& text) {
    const unsigned char lead = text[0];
    int length = 0;
    uint32_t value = 0, lowest = 0;
    if (lead < 0x80) {
        ++text;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, lowest = 0x10000;
    }
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            length = 0;  // also stops at the terminating zero
            break;
        }
        value = value << 6 | (text[i] & 0x3F);
    }
    if (length == 0 || value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++text;
        return stray_byte_base + lead;
    }
    text += length;
    return value;
}

uint32_t lower_case(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;     // Latin-1 letters, not the multiplication sign
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek capitals
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic capitals with marks
    return c;
}

}  // namespace

extern "C" int stricmp_utf8(const char* a, const char* b) {
    auto* left = reinterpret_cast<const unsigned char*>(a);
    auto* right = reinterpret_cast<const unsigned char*>(b);
    for (;;) {
        if (*left == 0 || *right == 0) return int(*left != 0) - int(*right != 0);
        const uint32_t l = lower_case(next_character(left)), r = lower_case(next_character(right));
        if (l != r) return l < r ? -1 : 1;
    }
}
