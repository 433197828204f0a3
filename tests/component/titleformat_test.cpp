// The host's title formatting: patterns over fields, patterns that do not compile, and patterns as
// long or as deep as users may write them.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "minihost/host/titleformat.h"

namespace {

using minihost::titleformat::compiled_pattern;
using minihost::titleformat::syntax_error;

// Fields by lower-case name, as a track's source would answer them.
class field_map final : public minihost::titleformat::field_source {
public:
    field_map(std::initializer_list<std::pair<const std::string, std::vector<std::string>>> fields) : fields_(fields) {}
    void get_field(std::string_view name, minihost::titleformat::field_values& values) const override {
        const auto found = fields_.find(std::string(name));
        if (found != fields_.end())
            for (const std::string& value : found->second) values.add(value);
    }

private:
    std::map<std::string, std::vector<std::string>> fields_;
};

std::string format(const std::string& pattern, const field_map& fields) {
    return compiled_pattern(pattern).format(fields);
}

const char playback_state_pattern[] =
    "%codec% | %bitrate% kbps | %samplerate% Hz | %channels% | %playback_time%[ / %length%]$if(%ispaused%, | paused,)";

TEST(TitleFormat, PatternsOverFields) {
    struct example {
        const char* pattern;
        field_map fields;
        const char* expected;
    };
    const field_map tagged{{"artist", {"Ann"}}, {"title", {"Tune"}}, {"album", {"Disc"}}};
    const field_map none{};
    const field_map paused_with_length{{"codec", {"MOD"}},       {"bitrate", {"1411"}},       {"samplerate", {"44100"}},
                                       {"channels", {"stereo"}}, {"playback_time", {"1:02"}}, {"length", {"3:04"}},
                                       {"ispaused", {"1"}}};
    const example examples[] = {
        {"", tagged, ""},
        {"%artist% - %title%", tagged, "Ann - Tune"},
        {"%artist% - %title%", none, "? - ?"},
        {"%ARTIST% - %Title%", tagged, "Ann - Tune"},
        {"%album artist% - %album%", tagged, "Ann - Disc"},
        {"%Album Artist% - %album%",
         {{"album artist", {"Various"}}, {"artist", {"Ann"}}, {"album", {"Disc"}}},
         "Various - Disc"},
        {"%genre%", {{"genre", {"Rock", "Pop", "Folk"}}}, "Rock, Pop, Folk"},
        {"%genre%", {{"genre", {"", "Pop"}}}, "Pop"},
        {"[%date%]", {{"date", {""}}}, ""},
        // Optional sections, nested.
        {"%title%[ (%date%)]", tagged, "Tune"},
        {"%title%[ (%date%)]", {{"title", {"Tune"}}, {"date", {"1999"}}}, "Tune (1999)"},
        {"[%artist% - %title%]", {{"title", {"Tune"}}}, "? - Tune"},
        {"[text alone]", tagged, ""},
        {"<[%a%[ / %b%]]>", {{"a", {"A"}}}, "<A>"},
        {"<[%a%[ / %b%]]>", {{"b", {"B"}}}, "<? / B>"},
        {"<[%a%[ / %b%]]>", none, "<>"},
        // $if and friends, with and without values.
        {"$if(%a%,yes,no)", {{"a", {"x"}}}, "yes"},
        {"$if(%a%,yes,no)", none, "no"},
        {"$if(%a%,yes)", none, ""},
        {"$If(%a%,[%b%],-)", {{"a", {"x"}}}, ""},
        {"$if2(%a%,%b%)", {{"b", {"B"}}}, "B"},
        {"[$if2(%a%,none)]", none, ""},
        {"$if($and(%a%,%b%),both,not both)", {{"a", {"A"}}}, "not both"},
        {"$if($and(%a%,%b%),both,not both)", {{"a", {"A"}}, {"b", {"B"}}}, "both"},
        {"$if($or(%a%,%b%),either,neither)", {{"b", {"B"}}}, "either"},
        {"$if($not(%a%),no a,a)", none, "no a"},
        {"$if($upper(%a%),y,n)|$if($upper(x),y,n)", {{"a", {"A"}}}, "y|n"},
        // Quoting and the characters that are text where they stand.
        {"'%artist% [x] $if'", tagged, "%artist% [x] $if"},
        {"it''s 50'%'", none, "it's 50%"},
        {"$if(%a%,'a, (b)',c)", {{"a", {"x"}}}, "a, (b)"},
        {"Song (live), take 2", none, "Song (live), take 2"},
        {"<ERROR>", none, "<ERROR>"},
        // Text functions.
        {"$upper(%a%)|$lower(%a%)", {{"a", {"äBc ς аЯёЏ ×ßÿ"}}}, "ÄBC Σ АЯЁЏ ×ßÿ|äbc ς аяёџ ×ßÿ"},
        {"$len(%a%)|$left(%a%,2)|$right(%a%,2)|$right(%a%,9)", {{"a", {"äbc"}}}, "3|äb|bc|äbc"},
        {"$num(%n%,3)|$num(-5,3)|$num(1234,2)|$num(x,2)|$num(12ab,0)", {{"n", {"7"}}}, "007|-05|1234|00|12"},
        {"$pad(%a%,5)|$pad(%a%,5,.-)|$pad(%a%,1)", {{"a", {"ab"}}}, "ab   |ab...|ab"},
        {"[$trim(  %a%  )]", {{"a", {"a b"}}}, "a b"},
        // The playback state window's pattern, paused with a length and playing without one.
        {playback_state_pattern, paused_with_length, "MOD | 1411 kbps | 44100 Hz | stereo | 1:02 / 3:04 | paused"},
        {playback_state_pattern, {{"playback_time", {"0:00"}}}, "? | ? kbps | ? Hz | ? | 0:00"},
    };
    for (const example& e : examples) EXPECT_EQ(format(e.pattern, e.fields), e.expected) << e.pattern;
}

TEST(TitleFormat, PatternsThatDoNotCompileNameTheirPosition) {
    struct bad_pattern {
        std::string pattern;
        const char* message;
        size_t position;
    };
    const bad_pattern bad[] = {
        {"[%a%", "unclosed '[' opened at 1", 1},
        {"abcd[%a%[x]", "unclosed '[' opened at 5", 5},
        {"x]", "unexpected ']' at 2", 2},
        {"[$if(%a%,b])", "unexpected ']' at 11", 11},
        {"%title", "unclosed '%' opened at 1", 1},
        {"a%%", "empty field name at 2", 2},
        {"'abc", "unclosed quote opened at 1", 1},
        {"x$", "expected a function name after '$' at 2", 2},
        {"$if x", "expected '(' after $if at 4", 4},
        {"$foo(a)", "unknown function $foo at 1", 1},
        {"$my_if2(a)", "unknown function $my_if2 at 1", 1},
        {"ab$if(%a%,b", "unclosed '(' of $if opened at 6", 6},
        {"$if(a)", "wrong number of arguments for $if (2 or 3 expected, 1 given) at 1", 1},
        {"$if(a,b,c,)", "wrong number of arguments for $if (2 or 3 expected, 4 given) at 1", 1},
        {"$not()", "wrong number of arguments for $not (1 expected, 0 given) at 1", 1},
        {"$and()", "wrong number of arguments for $and (1 or more expected, 0 given) at 1", 1},
        {"äö[x", "unclosed '[' opened at 3", 3},  // positions count characters
        {std::string(100000, '['), "sections and functions nested deeper than 100 at 101", 101},
    };
    for (const bad_pattern& b : bad) {
        try {
            compiled_pattern pattern(b.pattern);
            ADD_FAILURE() << b.pattern << " compiled";
        } catch (const syntax_error& e) {
            EXPECT_STREQ(e.what(), b.message) << b.pattern.substr(0, 40);
            EXPECT_EQ(e.position(), b.position) << b.pattern.substr(0, 40);
        }
    }
}

// Patterns come from users: what is not a syntax error must compile and format without a deep stack.
TEST(TitleFormat, DeepAndLongPatternsStayWithinBounds) {
    const field_map a{{"a", {"A"}}}, none{};
    std::string deepest;
    for (size_t i = 0; i < 100; ++i) deepest += i % 2 ? "[" : "$if2(";
    deepest += "%a%";
    for (size_t i = 100; i-- > 0;) deepest += i % 2 ? "]" : ",-)";
    EXPECT_EQ(format(deepest, a), "A");
    EXPECT_EQ(format(deepest, none), "-");
    EXPECT_THROW(compiled_pattern("[" + deepest + "]"), syntax_error);

    std::string functions;
    for (size_t i = 0; i < 100000; ++i) functions += "$not(";
    EXPECT_THROW(compiled_pattern{functions}, syntax_error);

    std::string wide;
    for (size_t i = 0; i < 100000; ++i) wide += "[%a%]";
    EXPECT_EQ(format(wide, a), std::string(100000, 'A'));
    EXPECT_EQ(format("$pad(x,99999)$num(1,1000000000)", none).size(), 2000u);
}

TEST(TitleFormat, DurationsReadAsMinutesAndSeconds) {
    const std::pair<double, const char*> durations[] = {
        {0, "0:00"},     {59.99, "0:59"},        {60, "1:00"},
        {3599, "59:59"}, {3600, "1:00:00"},      {36061, "10:01:01"},
        {-5, "0:00"},    {std::nan(""), "0:00"}, {std::numeric_limits<double>::infinity(), "277777777:46:40"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(minihost::titleformat::format_duration(seconds), text);
}

}  // namespace
