// The foundation utilities: UTF-8 and UTF-16, replacing a file's content, window boundaries.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/component/host_fixture.h"
#include "zorb/exception.h"
#include "zorb/files.h"
#include "zorb/unicode.h"
#include "zorb/window_boundary.h"

namespace {

TEST(Unicode, Utf8AndUtf16ConvertBothWaysAndMarkWhatIsInvalid) {
    struct conversion {
        const char* utf8;
        std::u16string utf16;
        const char* back;  // null: the same as utf8
    };
    const conversion cases[] = {
        {"", u"", nullptr},
        {"mod", u"mod", nullptr},
        {"\xC3\x84ra \xD0\x9C\xD0\x9E\xD0\x94", u"\u00C4ra \u041C\u041E\u0414", nullptr},  // Ära МОД
        {"\xE2\x82\xAC", u"\u20AC", nullptr},                                              // €
        {"\xF0\x9F\x8E\xB5", u"\U0001F3B5", nullptr},                                      // a note: a surrogate pair
        {"a\xFF"
         "b",
         u"a\uFFFDb",
         "a\xEF\xBF\xBD"
         "b"},                                                                            // a stray byte
        {"\xC0\xAF", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},                        // an overlong slash
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an encoded surrogate
        {"\xE2\x82", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},                        // cut short
    };
    for (const conversion& c : cases) {
        EXPECT_EQ(zorb::utf16_from_utf8(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(zorb::utf8_from_utf16(c.utf16), c.back ? c.back : c.utf8) << c.utf8;
    }
    // A lone surrogate in UTF-16 has no UTF-8 form of its own.
    EXPECT_EQ(zorb::utf8_from_utf16(std::u16string(1, char16_t(0xDC00)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(zorb::utf8_from_utf16(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Files, ReplacingKeepsTheOldContentUntilTheNewIsWhole) {
    test_support::scratch_folder folder("replace-file");
    const std::string path = folder.file("kept.bin");
    std::vector<uint8_t> read;
    EXPECT_FALSE(zorb::read_file(path, read));
    zorb::replace_file(path, "first", 5, "the test file");
    zorb::replace_file(path, "second!", 7, "the test file");
    ASSERT_TRUE(zorb::read_file(path, read));
    EXPECT_EQ(std::string(read.begin(), read.end()), "second!");
    EXPECT_FALSE(std::filesystem::exists(zorb::native_path(path + ".new")));
    // A target that cannot be replaced (a folder) fails with the file's name and leaves it alone.
    const std::string blocked = folder.file("blocked");
    std::filesystem::create_directories(zorb::native_path(blocked + "/inside"));
    try {
        zorb::replace_file(blocked, "x", 1, "the test file");
        FAIL() << "a folder cannot become a file";
    } catch (const zorb::exception& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("Cannot write the test file " + blocked + ": ", 0), 0u)
            << failure.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(zorb::native_path(blocked + "/inside")));
    EXPECT_FALSE(std::filesystem::exists(zorb::native_path(blocked + ".new")));
}

TEST(WindowBoundary, KeepsTheFirstFailureReportsEachAndHandsItOn) {
    std::vector<std::string> reported;
    zorb::window_boundary boundary([&](const std::string& message) { reported.push_back(message); });
    EXPECT_EQ(boundary.run(-1, [] { return 7; }), 7);
    EXPECT_FALSE(boundary.failed());
    EXPECT_EQ(boundary.run(-1, []() -> int { throw std::runtime_error("first"); }), -1);
    boundary.run([] { throw 42; });
    EXPECT_TRUE(boundary.failed());
    EXPECT_EQ(reported, (std::vector<std::string>{"first", "Unknown failure"}));
    try {
        boundary.rethrow_failure();
        FAIL() << "a failure was kept";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "first");
    }
    EXPECT_FALSE(boundary.failed());
    EXPECT_NO_THROW(boundary.rethrow_failure());
    // A report that fails itself is dropped; the failure is still kept.
    zorb::window_boundary careless([](const std::string&) { throw std::runtime_error("report"); });
    careless.run([] { throw std::runtime_error("kept"); });
    EXPECT_THROW(careless.rethrow_failure(), std::runtime_error);
}

}  // namespace
