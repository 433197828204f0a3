// UTF-8 decoding and the conversions between UTF-8 and UTF-16. Text is UTF-8 everywhere; UTF-16
// exists only at the Windows calls that take it, converted right there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorb {

// Decodes the character at `position` of `text` into `out` and moves `position` past it. A byte
// that starts no valid UTF-8 sequence (a stray continuation byte, an overlong form, a surrogate, a
// value beyond U+10FFFF, a sequence cut short) gives false: `out` is that byte's value and
// `position` moves by one byte. `position` must lie before the end.
bool utf8_decode(std::string_view text, size_t& position, char32_t& out);

// Appends the UTF-8 form of the code point `c` (at most U+10FFFF) to `out`.
void append_utf8(std::string& out, char32_t c);

// A letter's lower-case and upper-case forms in the Latin-1, Greek and Cyrillic alphabets; every
// other character is its own. Letters whose other form lies outside those alphabets (ß, ÿ) keep theirs.
char32_t lower_case(char32_t c);
char32_t upper_case(char32_t c);
// `text` with every character mapped by lower_case or upper_case; bytes that are not valid UTF-8
// stay as they are.
std::string utf8_lower(std::string_view text);
std::string utf8_upper(std::string_view text);

// `text` as UTF-16; every byte that is not valid UTF-8 becomes U+FFFD.
std::u16string utf16_from_utf8(std::string_view text);
// `text` as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);

#ifdef _WIN32
// The same for Windows' wide characters, which hold UTF-16 there.
inline std::wstring wide_from_utf8(std::string_view text) {
    const std::u16string wide = utf16_from_utf8(text);
    return std::wstring(wide.begin(), wide.end());
}
inline std::string utf8_from_wide(std::wstring_view text) {
    return utf8_from_utf16(std::u16string(text.begin(), text.end()));
}
#endif

}  // namespace zorb
