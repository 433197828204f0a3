// Title-formatting patterns from any bytes: a pattern compiles or raises a syntax error that names
// a position within it; one that compiles formats the same text every time; quoted text stands
// for itself; and an optional section around a pattern keeps all of its text or none.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "minihost/host/titleformat.h"
#include "zorb/unicode.h"

namespace {

using minihost::titleformat::compiled_pattern;
using minihost::titleformat::syntax_error;

// Fields with an even-length name have that name as their value, a second one when the name
// starts with 'm'; the others have none.
class name_fields final : public minihost::titleformat::field_source {
public:
    void get_field(std::string_view name, minihost::titleformat::field_values& values) const override {
        if (name.size() % 2) return;
        values.add(name);
        if (name.front() == 'm') values.add("second");
    }
};

// At least the number of characters of `text` (a character beyond U+FFFF counts twice).
size_t character_bound(std::string_view text) { return zorb::utf16_from_utf8(text).size(); }

// The pattern's text, or nothing when it does not compile (with a position inside the pattern).
bool format_if_valid(const std::string& pattern, std::string& out) {
    try {
        const compiled_pattern compiled(pattern);
        const name_fields fields;
        out = compiled.format(fields);
        if (compiled.format(fields) != out) std::abort();
        return true;
    } catch (const syntax_error& e) {
        if (e.position() < 1 || e.position() > character_bound(pattern) + 1) std::abort();
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string pattern(reinterpret_cast<const char*>(data), size);
    std::string text;
    if (format_if_valid(pattern, text)) {
        std::string in_section;
        if (format_if_valid("[" + pattern + "]", in_section)) {
            if (!in_section.empty() && in_section != text) std::abort();
        } else {
            try {
                compiled_pattern nested("[" + pattern + "]");
            } catch (const syntax_error& e) {
                if (std::string_view(e.what()).find("nested deeper") == std::string_view::npos) std::abort();
            }
        }
    }
    if (pattern.find('\'') == std::string::npos && !pattern.empty()) {
        std::string quoted;
        if (!format_if_valid("'" + pattern + "'", quoted) || quoted != pattern) std::abort();
    }
    return 0;
}
