// The host's title formatting: a pattern such as "%artist% - %title%[ (%date%)]" compiled once into
// an immutable program, then run over any track through a field source that the caller implements.
// The language (README, "Title formatting"):
// - text stands for itself; 'quoted text' too, with the special characters % [ ] $ ' in it; two
//   quotes '' outside quoted text are one quote character;
// - %name% is a field: its values joined with ", ", or "?" when it has none. Names compare without
//   regard to case and may hold spaces. %album artist% falls back to %artist% when it has no value;
// - [...] is an optional section: kept when at least one field inside has a value, else dropped;
// - $name(argument,...) calls one of the functions below. Inside the arguments ',' and ')' end an
//   argument (quote them to write them); '(' and text around the arguments are literal.
// Every part of a pattern yields text and a truth: a field is true when it has a value, literal text
// never is, a sequence is when any of its parts is, a kept section is. Sections and $if, $if2,
// $and, $or, $not decide by this truth. The functions (names without regard to case):
//   $if(c,a[,b])   a when c is true, else b (or nothing); as true as the branch taken
//   $if2(a,b)      a when a is true, else b; as true as the one taken
//   $and(x,...) $or(x,...) $not(x)   no text; true as their names say
//   $upper(x) $lower(x) $trim(x)     x in capitals, in small letters, without blanks at its ends
//   $len(x)        the number of characters of x
//   $num(n,w)      n as a whole number, zero-padded to w characters
//   $pad(x,w[,c])  x followed by blanks (or the first character of c) up to w characters
//   $left(x,n) $right(x,n)           the first or the last n characters of x
// These are as true as their first argument. A number argument is read from its leading digits
// (an optional sign first; none is 0).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "zorb/exception.h"

namespace minihost::titleformat {

// Sections and function calls nest at most this deep; patterns come from users, and a deeper one
// is a syntax error rather than a stack overflow.
constexpr size_t max_nesting = 100;
// $num and $pad pad to at most this many characters, whatever their width argument says.
constexpr size_t max_width = 1000;

// Where a field source puts a field's values. Empty texts are no values.
class field_values {
public:
    void add(std::string_view value);
    // How many values were added so far.
    size_t count() const { return count_; }

private:
    friend class evaluator;
    explicit field_values(std::string& out) : out_(out) {}
    std::string& out_;
    size_t count_ = 0;
};

// The values of the fields of one track, implemented by the caller. Called on the thread that
// formats, by every formatting run that uses it; a source shared between threads must allow
// that. What it raises passes out of compiled_pattern::format.
class field_source {
public:
    // Hands every value of the field `name` to `values.add`, in order, or nothing when the track has
    // no such field. `name` comes in lower case (as zorb::utf8_lower makes it). Flag fields such as
    // %ispaused% have a value ("1") when set and none otherwise, so that $if and sections test them.
    virtual void get_field(std::string_view name, field_values& values) const = 0;

protected:
    ~field_source() = default;
};

// A pattern that does not compile. The message names what was wrong and where: "unclosed '['
// opened at 5". Positions count characters (code points) of the pattern from 1.
class syntax_error : public zorb::exception {
public:
    syntax_error(const std::string& what, size_t position);
    size_t position() const { return position_; }

private:
    size_t position_;
};

struct program;

// A compiled pattern; copies share the program. Formatting only reads it, so any number of
// threads may format with one pattern at once.
class compiled_pattern {
public:
    // Compiles `pattern` (UTF-8). Raises syntax_error. Cost linear in the pattern's length.
    explicit compiled_pattern(std::string_view pattern);

    // The pattern run over `fields`; appends to `out` in the second form. Raises what `fields` raises.
    std::string format(const field_source& fields) const;
    void format(const field_source& fields, std::string& out) const;

private:
    std::shared_ptr<const program> program_;
};

// A duration in the form the %length% and %playback_time% fields use: m:ss below an hour, h:mm:ss
// from an hour on; whole seconds, cut toward zero. Negative or not-a-number durations are 0:00.
std::string format_duration(double seconds);

}  // namespace minihost::titleformat
