// The foundation utilities: UTF-8 and UTF-16, replacing a file, window boundaries, number texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"
#include "zorb/exception.h"
#include "zorb/files.h"
#include "zorb/text_format.h"
#include "zorb/time_text.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace {

TEST(Unicode, Utf8AndUtf16ConvertBothWaysAndMarkWhatIsInvalid) {
    // UTF-8, its UTF-16 and the UTF-8 that comes back (null: the same).
    const std::tuple<const char*, std::u16string, const char*> cases[] = {
        {"\xC3\x84ra \xD0\x9C\xD0\x9E\xD0\x94", u"\u00C4ra \u041C\u041E\u0414", nullptr},  // Ära МОД
        {"\xF0\x9F\x8E\xB5", u"\U0001F3B5", nullptr},                                      // a note: a surrogate pair
        {"\xFF", u"\uFFFD", "\xEF\xBF\xBD"},                                               // a stray byte
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},   // an encoded surrogate
        {"\xC0\xAF", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},                         // an overlong slash
        {"\xE2\x82", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"}                          // cut short
    };
    for (const auto& [utf8, utf16, back] : cases) {
        EXPECT_EQ(zorb::utf16_from_utf8(utf8), utf16) << utf8;
        EXPECT_EQ(zorb::utf8_from_utf16(utf16), back ? back : utf8) << utf8;
    }
    // A lone surrogate in UTF-16 has no UTF-8 form of its own.
    EXPECT_EQ(zorb::utf8_from_utf16(std::u16string(1, char16_t(0xDC00)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(Files, ReplacingKeepsTheOldContentUntilTheNewIsWhole) {
    test_support::scratch_folder folder("replace-file");
    const std::string path = folder.file("kept.bin");
    std::vector<uint8_t> read;
    zorb::replace_file(path, "first", 5, "the test file");
    zorb::replace_file(path, "second!", 7, "the test file");
    ASSERT_TRUE(zorb::read_file(path, read));
    EXPECT_EQ(std::string(read.begin(), read.end()), "second!");
    // A target that cannot be replaced (a folder) fails with the file's name and leaves it alone.
    const std::string blocked = folder.file("blocked");
    std::filesystem::create_directories(zorb::native_path(blocked + "/inside"));
    const std::string failure =
        test_support::failure_text([&] { zorb::replace_file(blocked, "x", 1, "the test file"); });
    EXPECT_EQ(failure.rfind("Cannot write the test file " + blocked + ": ", 0), 0u) << failure;
    EXPECT_TRUE(std::filesystem::is_directory(zorb::native_path(blocked + "/inside")));
}

TEST(WindowBoundary, KeepsTheFirstFailureReportsEachAndHandsItOn) {
    std::vector<std::string> reported;
    zorb::window_boundary boundary([&](const std::string& message) { reported.push_back(message); });
    EXPECT_EQ(boundary.run(-1, [] { return 7; }), 7);
    EXPECT_EQ(boundary.run(-1, []() -> int { throw std::runtime_error("first"); }), -1);
    boundary.run([] { throw 42; });
    EXPECT_TRUE(boundary.failed());
    EXPECT_EQ(reported, (std::vector<std::string>{"first", "Unknown failure"}));
    EXPECT_EQ(test_support::failure_text([&] { boundary.rethrow_failure(); }), "first");
    EXPECT_FALSE(boundary.failed());
    // A report that fails itself is dropped; the failure is still kept.
    zorb::window_boundary careless([](const std::string&) { throw std::runtime_error("report"); });
    careless.run([] { throw std::runtime_error("kept"); });
    EXPECT_THROW(careless.rethrow_failure(), std::runtime_error);
}

TEST(TextFormat, FixedPointRoundsHalfUpAndPutsThePointBeforeTheLastDecimals) {
    const double infinity = std::numeric_limits<double>::infinity();
    const std::tuple<double, unsigned, const char*> cases[] = {{12.34567891, 7, "12.3456789"},
                                                               {0.00000006, 7, "0.0000001"},
                                                               {-0.25, 3, "-0.250"},
                                                               {-0.0, 2, "0.00"},
                                                               {2.5, 0, "3"},
                                                               {-infinity, 7, "-inf"},
                                                               {std::nan(""), 7, "nan"}};
    for (const auto& [value, decimals, text] : cases) EXPECT_EQ(zorb::format_fixed(value, decimals), text) << value;
    // A value with more digits than the text may hold is cut at 63 characters.
    const std::string huge = zorb::format_fixed(-1e300, 7);
    EXPECT_EQ(huge.size(), 63u);
    EXPECT_EQ(huge.substr(0, 2), "-1");
}

TEST(TextFormat, ShortSizeKeepsThreeSignificantDigitsAndCarriesIntoTheNextUnit) {
    // 10239 is 9.999 KB, which rounds to 10.0; 1048575 is 1023.999 KB.
    const std::pair<uint64_t, const char*> cases[] = {{1023, "1023 B"},
                                                      {1024, "1.00 KB"},
                                                      {10234, "9.99 KB"},
                                                      {10239, "10.0 KB"},
                                                      {102400, "100 KB"},
                                                      {1048575, "1.00 MB"},
                                                      {uint64_t(4096) << 40, "4096 TB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(zorb::format_file_size_short(bytes), text) << bytes;
}

TEST(TextFormat, LengthsCutToWholeSecondsAndEmptyForNone) {
    const std::pair<double, const char*> lengths[] = {
        {0, ""}, {0.5, "0:00"}, {59.99, "0:59"}, {3723, "1:02:03"}, {360000, "100:00:00"}};
    for (const auto& [seconds, text] : lengths) EXPECT_EQ(zorb::length_text(seconds), text) << seconds;
}

TEST(TextFormat, FileTimesInUtcAndInvalidOnes) {
    constexpr uint64_t unix_epoch = 116444736000000000ull;
    constexpr uint64_t second = 10000000;
    // 2024-02-29 23:59:59, a leap day; the fraction of a second is dropped.
    EXPECT_EQ(zorb::format_file_time_utc(unix_epoch + 1709251199 * second + second / 2), "2024-02-29 23:59:59");
    EXPECT_EQ(zorb::format_file_time_utc(~uint64_t(0)), "<invalid timestamp>");
    EXPECT_EQ(zorb::format_file_time_local(~uint64_t(0)), "<invalid timestamp>");
}

}  // namespace
