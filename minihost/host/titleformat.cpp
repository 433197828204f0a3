#include "minihost/host/titleformat.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "zorb/unicode.h"

namespace minihost::titleformat {

enum class function_id : uint8_t { if_, if2, and_, or_, not_, upper, lower, trim, len, num, pad, left, right };

namespace {

struct function_info {
    const char* name;
    function_id id;
    size_t min_arguments, max_arguments;
};

constexpr size_t unbounded = SIZE_MAX;

constexpr function_info functions[] = {
    {"if", function_id::if_, 2, 3},         {"if2", function_id::if2, 2, 2},   {"and", function_id::and_, 1, unbounded},
    {"or", function_id::or_, 1, unbounded}, {"not", function_id::not_, 1, 1},  {"upper", function_id::upper, 1, 1},
    {"lower", function_id::lower, 1, 1},    {"trim", function_id::trim, 1, 1}, {"len", function_id::len, 1, 1},
    {"num", function_id::num, 2, 2},        {"pad", function_id::pad, 2, 3},   {"left", function_id::left, 2, 2},
    {"right", function_id::right, 2, 2},
};

const function_info* find_function(std::string_view lower_name) {
    for (const function_info& f : functions)
        if (lower_name == f.name) return &f;
    return nullptr;
}

size_t character_count(std::string_view text) {
    size_t count = 0;
    char32_t c;
    for (size_t position = 0; position < text.size(); ++count) zorb::utf8_decode(text, position, c);
    return count;
}

// The byte offset at which the character after the first `characters` ones of `text` starts.
size_t offset_of_character(std::string_view text, size_t characters) {
    size_t position = 0;
    char32_t c;
    for (; characters > 0 && position < text.size(); --characters) zorb::utf8_decode(text, position, c);
    return position;
}

// The whole number that `text` starts with (blanks, an optional sign, digits), held within
// ±1,000,000,000; 0 when there is none.
int64_t leading_number(std::string_view text) {
    constexpr int64_t limit = 1000000000;
    size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(limit, value * 10 + (text[i] - '0'));
    return negative ? -value : value;
}

// A count of characters: negative counts are 0.
size_t count_argument(std::string_view text) { return static_cast<size_t>(std::max<int64_t>(0, leading_number(text))); }
size_t width_argument(std::string_view text) { return std::min(max_width, count_argument(text)); }

bool is_name_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

struct node;
using sequence = std::vector<node>;

struct node {
    enum class kind : uint8_t { text, field, section, call };
    kind what;
    function_id function = function_id::if_;  // call
    std::string text;                         // text: itself; field: the name in lower case
    std::string fallback;                     // field: asked for when the field has no value
    std::vector<sequence> parts;              // section: its content; call: the arguments
};

struct program {
    sequence body;
};

syntax_error::syntax_error(const std::string& what, size_t position)
    : zorb::exception(what + " at " + std::to_string(position)), position_(position) {}

namespace {

class parser {
public:
    explicit parser(std::string_view pattern) : pattern_(pattern) {}

    sequence parse() {
        sequence body;
        parse_sequence(body, where::top, 0);
        return body;
    }

private:
    enum class where { top, section, argument };
    static constexpr char end_of_pattern = 0;

    // Parses into `out` until the pattern ends or a character ends `context`: ']' a section, ','
    // or ')' an argument. Returns that character (consumed), or end_of_pattern.
    char parse_sequence(sequence& out, where context, size_t depth) {
        const char* const specials = context == where::argument ? "'%[]$,)" : "'%[]$";
        std::string literal;
        const auto flush_literal = [&] {
            if (!literal.empty()) out.push_back(node{node::kind::text, {}, std::move(literal), {}, {}});
            literal.clear();
        };
        while (position_ < pattern_.size()) {
            const size_t run_end = std::min(pattern_.find_first_of(specials, position_), pattern_.size());
            literal.append(pattern_.substr(position_, run_end - position_));
            position_ = run_end;
            if (position_ == pattern_.size()) break;
            const size_t at = position_++;
            const char c = pattern_[at];
            if (c == '\'') {
                read_quoted(at, literal);
                continue;
            }
            flush_literal();
            if (c == '%') {
                out.push_back(read_field(at));
            } else if (c == '[') {
                out.push_back(read_section(at, depth));
            } else if (c == '$') {
                out.push_back(read_call(at, depth));
            } else if (c == ']' && context != where::section) {
                fail("unexpected ']'", at);
            } else {
                return c;  // ']' of a section, ',' or ')' of an argument
            }
        }
        flush_literal();
        return end_of_pattern;
    }

    // After the opening quote at `at`: the text up to the closing one, or one quote for ''.
    void read_quoted(size_t at, std::string& literal) {
        const size_t close = pattern_.find('\'', position_);
        if (close == std::string_view::npos) fail("unclosed quote opened", at);
        literal.append(close == position_ ? "'" : pattern_.substr(position_, close - position_));
        position_ = close + 1;
    }

    node read_field(size_t at) {
        const size_t close = pattern_.find('%', position_);
        if (close == std::string_view::npos) fail("unclosed '%' opened", at);
        if (close == position_) fail("empty field name", at);
        node field{node::kind::field, {}, zorb::utf8_lower(pattern_.substr(position_, close - position_)), {}, {}};
        if (field.text == "album artist") field.fallback = "artist";
        position_ = close + 1;
        return field;
    }

    node read_section(size_t at, size_t depth) {
        check_depth(depth, at);
        node section{node::kind::section, {}, {}, {}, std::vector<sequence>(1)};
        if (parse_sequence(section.parts[0], where::section, depth + 1) != ']') fail("unclosed '[' opened", at);
        return section;
    }

    node read_call(size_t at, size_t depth) {
        const size_t name_start = position_;
        while (position_ < pattern_.size() && is_name_character(pattern_[position_])) ++position_;
        const std::string name = zorb::utf8_lower(pattern_.substr(name_start, position_ - name_start));
        if (name.empty()) fail("expected a function name after '$'", at);
        if (position_ == pattern_.size() || pattern_[position_] != '(') fail("expected '(' after $" + name, position_);
        const function_info* function = find_function(name);
        if (!function) fail("unknown function $" + name, at);
        check_depth(depth, at);
        const size_t open = position_++;
        node call{node::kind::call, function->id, {}, {}, {}};
        if (position_ < pattern_.size() && pattern_[position_] == ')') {
            ++position_;
        } else {
            for (char end = ','; end == ',';) {
                end = parse_sequence(call.parts.emplace_back(), where::argument, depth + 1);
                if (end == end_of_pattern) fail("unclosed '(' of $" + name + " opened", open);
            }
        }
        const size_t count = call.parts.size();
        if (count < function->min_arguments || count > function->max_arguments) {
            std::string expected = std::to_string(function->min_arguments);
            if (function->max_arguments == unbounded)
                expected += " or more";
            else if (function->max_arguments != function->min_arguments)
                expected += " or " + std::to_string(function->max_arguments);
            fail("wrong number of arguments for $" + name + " (" + expected + " expected, " + std::to_string(count) +
                     " given)",
                 at);
        }
        return call;
    }

    void check_depth(size_t depth, size_t at) const {
        if (depth >= max_nesting) fail("sections and functions nested deeper than " + std::to_string(max_nesting), at);
    }

    // Raises the syntax error `what` at the byte offset `at`, named as a character position from 1.
    [[noreturn]] void fail(const std::string& what, size_t at) const {
        throw syntax_error(what, character_count(pattern_.substr(0, at)) + 1);
    }

    std::string_view pattern_;
    size_t position_ = 0;  // byte offset of the next character to read
};

}  // namespace

void field_values::add(std::string_view value) {
    if (value.empty()) return;
    if (count_ > 0) out_ += ", ";
    out_ += value;
    ++count_;
}

// Runs a program over one field source. Each run appends the text of a part to `out` and returns
// its truth.
class evaluator {
public:
    explicit evaluator(const field_source& fields) : fields_(fields) {}

    bool run(const sequence& parts, std::string& out) const {
        bool truth = false;
        for (const node& part : parts) truth |= run(part, out);
        return truth;
    }

private:
    bool run(const node& part, std::string& out) const {
        switch (part.what) {
            case node::kind::text:
                out += part.text;
                return false;
            case node::kind::field:
                return run_field(part, out);
            case node::kind::section: {
                const size_t mark = out.size();
                if (run(part.parts[0], out)) return true;
                out.resize(mark);
                return false;
            }
            case node::kind::call:
                return run_call(part.function, part.parts, out);
        }
        return false;
    }

    bool run_field(const node& field, std::string& out) const {
        field_values values(out);
        fields_.get_field(field.text, values);
        if (values.count() == 0 && !field.fallback.empty()) fields_.get_field(field.fallback, values);
        if (values.count() > 0) return true;
        out += '?';
        return false;
    }

    bool run_call(function_id function, const std::vector<sequence>& arguments, std::string& out) const {
        std::string first;
        switch (function) {
            case function_id::if_:
                if (run(arguments[0], first)) return run(arguments[1], out);
                return arguments.size() > 2 && run(arguments[2], out);
            case function_id::if2: {
                const size_t mark = out.size();
                if (run(arguments[0], out)) return true;
                out.resize(mark);
                return run(arguments[1], out);
            }
            case function_id::and_:
                return std::all_of(arguments.begin(), arguments.end(),
                                   [&](const sequence& a) { return run(a, first); });
            case function_id::or_:
                return std::any_of(arguments.begin(), arguments.end(),
                                   [&](const sequence& a) { return run(a, first); });
            case function_id::not_:
                return !run(arguments[0], first);
            default:
                break;
        }
        const bool truth = run(arguments[0], first);
        std::string second, third;
        if (arguments.size() > 1) run(arguments[1], second);
        if (arguments.size() > 2) run(arguments[2], third);
        switch (function) {
            case function_id::upper:
                out += zorb::utf8_upper(first);
                break;
            case function_id::lower:
                out += zorb::utf8_lower(first);
                break;
            case function_id::trim: {
                const size_t start = first.find_first_not_of(" \t\r\n");
                if (start != std::string::npos) out.append(first, start, first.find_last_not_of(" \t\r\n") + 1 - start);
                break;
            }
            case function_id::len:
                out += std::to_string(character_count(first));
                break;
            case function_id::num: {
                const int64_t number = leading_number(first);
                const std::string digits = std::to_string(number < 0 ? -number : number);
                const size_t width = width_argument(second), used = digits.size() + (number < 0);
                if (number < 0) out += '-';
                if (used < width) out.append(width - used, '0');
                out += digits;
                break;
            }
            case function_id::pad: {
                const size_t width = width_argument(second), length = character_count(first);
                const std::string_view fill = third.empty()
                                                  ? std::string_view(" ")
                                                  : std::string_view(third).substr(0, offset_of_character(third, 1));
                out += first;
                for (size_t i = length; i < width; ++i) out += fill;
                break;
            }
            case function_id::left:
                out.append(first, 0, offset_of_character(first, count_argument(second)));
                break;
            case function_id::right: {
                const size_t keep = count_argument(second);
                const size_t length = character_count(first);
                out.append(first, offset_of_character(first, length > keep ? length - keep : 0));
                break;
            }
            default:
                break;
        }
        return truth;
    }

    const field_source& fields_;
};

compiled_pattern::compiled_pattern(std::string_view pattern)
    : program_(std::make_shared<const program>(program{parser(pattern).parse()})) {}

std::string compiled_pattern::format(const field_source& fields) const {
    std::string out;
    format(fields, out);
    return out;
}

void compiled_pattern::format(const field_source& fields, std::string& out) const {
    evaluator(fields).run(program_->body, out);
}

std::string format_duration(double seconds) {
    if (!(seconds > 0)) return "0:00";
    // Beyond about 31,700 years the hours stop growing rather than overflowing.
    const auto whole = static_cast<uint64_t>(std::min(seconds, 1e12));
    const auto hours = static_cast<unsigned long long>(whole / 3600);
    const unsigned minutes = static_cast<unsigned>(whole / 60 % 60), rest = static_cast<unsigned>(whole % 60);
    char text[40];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%llu:%02u:%02u", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%u:%02u", minutes, rest);
    return text;
}

}  // namespace minihost::titleformat
