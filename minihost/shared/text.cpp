// The shared library's text functions.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "host/shared.h"
#include "zorb/unicode.h"

namespace {

// Bytes that are not part of valid UTF-8 get values above every code point, so that they never
// equal a letter they happen to share a number with.
constexpr uint32_t stray_byte_base = 0x110000;

uint32_t lower_case(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;     // Latin-1 letters, not the multiplication sign
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek capitals
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic capitals with marks
    return c;
}

// The next character of `text`, folded to lower case, or a stray byte's own value.
uint32_t next_folded(std::string_view text, size_t& position) {
    char32_t c;
    if (!zorb::utf8_decode(text, position, c)) return stray_byte_base + static_cast<uint32_t>(c);
    return lower_case(static_cast<uint32_t>(c));
}

}  // namespace

extern "C" int stricmp_utf8(const char* a, const char* b) {
    const std::string_view left(a, std::strlen(a)), right(b, std::strlen(b));
    size_t l = 0, r = 0;
    for (;;) {
        if (l == left.size() || r == right.size())
            return static_cast<int>(l != left.size()) - static_cast<int>(r != right.size());
        const uint32_t lc = next_folded(left, l), rc = next_folded(right, r);
        if (lc != rc) return lc < rc ? -1 : 1;
    }
}
