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

// The next character of `text`, folded to lower case, or a stray byte's own value.
uint32_t next_folded(std::string_view text, size_t& position) {
    char32_t c;
    if (!zorb::utf8_decode(text, position, c)) return stray_byte_base + static_cast<uint32_t>(c);
    return static_cast<uint32_t>(zorb::lower_case(c));
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
