// minihost's title formatting, and its media library, index manager, title-formatting service and
// properties rows on WAV files written by the test, with the component in-process.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>

#include "host/file_info_impl.h"
#include "host/service_lookup.h"
#include "minihost/host/host_records.h"
#include "minihost/host/index_manager.h"
#include "minihost/host/titleformat.h"
#include "minihost/host/track_format.h"
#include "minihost/host/track_properties.h"
#include "tests/component/sample_fixture.h"

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

TEST(TitleFormat, PatternsOverFields) {
    struct example {
        const char* pattern;
        field_map fields;
        const char* expected;
    };
    const field_map tagged{{"artist", {"Ann"}}, {"title", {"Tune"}}, {"album", {"Disc"}}};
    const field_map none{};
    const example examples[] = {
        {"%artist% - %title%", none, "? - ?"},
        {"%album artist% - %album%", tagged, "Ann - Disc"},
        {"%genre%", {{"genre", {"Rock", "Pop", "Folk"}}}, "Rock, Pop, Folk"},
        {"%genre%", {{"genre", {"", "Pop"}}}, "Pop"},
        {"[%date%]", {{"date", {""}}}, ""},
        // Optional sections, nested.
        {"%title%[ (%date%)]", {{"title", {"Tune"}}, {"date", {"1999"}}}, "Tune (1999)"},
        {"[%artist% - %title%]", {{"title", {"Tune"}}}, "? - Tune"},
        {"[text alone]", tagged, ""},
        {"<[%a%[ / %b%]]>", {{"b", {"B"}}}, "<? / B>"},
        // $if and friends, with and without values.
        {"$if(%a%,yes,no)", {{"a", {"x"}}}, "yes"},
        {"$if(%a%,yes)", none, ""},
        {"$If(%a%,[%b%],-)", {{"a", {"x"}}}, ""},
        {"$if2(%a%,%b%)", {{"b", {"B"}}}, "B"},
        {"$if($and(%a%,%b%),both,not both)", {{"a", {"A"}}}, "not both"},
        {"$if($and(%a%,%b%),both,not both)", {{"a", {"A"}}, {"b", {"B"}}}, "both"},
        {"$if($or(%a%,%b%),either,neither)", {{"b", {"B"}}}, "either"},
        {"$if($not(%a%),no a,a)", none, "no a"},
        {"$if($upper(%a%),y,n)|$if($upper(x),y,n)", {{"a", {"A"}}}, "y|n"},
        // Quoting and the characters that are text where they stand.
        {"'%artist% [x] $if'", tagged, "%artist% [x] $if"},
        {"it''s 50'%'", none, "it's 50%"},
        {"$if(%a%,'a, (b)',c)", {{"a", {"x"}}}, "a, (b)"},
        // Text functions.
        {"$upper(%a%)|$lower(%a%)", {{"a", {"äBc ς аЯёЏ ×ßÿ"}}}, "ÄBC Σ АЯЁЏ ×ßÿ|äbc ς аяёџ ×ßÿ"},
        {"$len(%a%)|$left(%a%,2)|$right(%a%,2)|$right(%a%,9)", {{"a", {"äbc"}}}, "3|äb|bc|äbc"},
        {"$num(%n%,3)|$num(-5,3)|$num(1234,2)|$num(x,2)|$num(12ab,0)", {{"n", {"7"}}}, "007|-05|1234|00|12"},
        {"$pad(%a%,5)|$pad(%a%,5,.-)|$pad(%a%,1)", {{"a", {"ab"}}}, "ab   |ab...|ab"},
        {"[$trim(  %a%  )]", {{"a", {"a b"}}}, "a b"}};
    for (const example& e : examples) EXPECT_EQ(format(e.pattern, e.fields), e.expected) << e.pattern;
}

TEST(TitleFormat, PatternsThatDoNotCompileNameTheirPosition) {
    struct bad_pattern {
        std::string pattern;
        const char* message;
        size_t position;
    };
    const bad_pattern bad[] = {{"[%a%", "unclosed '[' opened at 1", 1},
                               {"[$if(%a%,b])", "unexpected ']' at 11", 11},
                               {"%title", "unclosed '%' opened at 1", 1},
                               {"a%%", "empty field name at 2", 2},
                               {"'abc", "unclosed quote opened at 1", 1},
                               {"x$", "expected a function name after '$' at 2", 2},
                               {"$if x", "expected '(' after $if at 4", 4},
                               {"$my_if2(a)", "unknown function $my_if2 at 1", 1},
                               {"ab$if(%a%,b", "unclosed '(' of $if opened at 6", 6},
                               {"$if(a)", "wrong number of arguments for $if (2 or 3 expected, 1 given) at 1", 1},
                               {"äö[x", "unclosed '[' opened at 3", 3},  // positions count characters
                               {std::string(100000, '['), "sections and functions nested deeper than 100 at 101", 101}};
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
TEST(TitleFormat, DurationsReadAsMinutesAndSecondsCutNotRounded) {
    const std::pair<double, const char*> durations[] = {{59.99, "0:59"},   {60, "1:00"}, {3599, "59:59"},
                                                        {3600, "1:00:00"}, {-5, "0:00"}, {std::nan(""), "0:00"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(minihost::titleformat::format_duration(seconds), text);
    EXPECT_EQ(minihost::titleformat::format_duration(std::numeric_limits<double>::infinity()), "277777777:46:40");
}

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

using test_support::tags_t;

// A WAV file of 441 silent stereo frames with `tags`.
void write_song(const std::string& path, const tags_t& tags) {
    test_support::write_wav(path, std::vector<int64_t>(2 * 441), tags);
}

bool is_wav(const std::string& path) { return path.ends_with(".wav"); }

// Keys each track by the number its title holds.
struct title_number_client : metadb_index_client {
    metadb_index_hash hash_track(const file_info& info, const playable_location&) override {
        const char* title = info.meta_get("title", 0);
        if (title == nullptr) throw zorb::exception("no title");
        return std::stoull(title);
    }
};

class Library : public ::testing::Test {
protected:
    void SetUp() override { test_support::start_component(host); }
    std::string song(const std::string& name) const { return folder.file("songs/" + name); }
    std::string shown(const std::string& name) {
        zorb::string8 text;
        filesystem::g_get_display_path(host, minihost::canonical_track_path(song(name)).c_str(), text);
        return text.str();
    }
    std::vector<std::string> library_paths(minihost::media_library& library) {
        std::vector<std::string> paths;
        for (const metadb_handle_ptr& track : library.tracks())
            paths.push_back(minihost::file_name_of(track->get_path()));
        return paths;
    }

    test_support::scratch_folder folder{test_support::test_folder_name("library")};
    minihost::host host{minihost::profile(folder.file("profile"))};
};

TEST_F(Library, AddsFoldersRecursivelyKeepsTheListAndRemovesFolders) {
    write_song(song("b.wav"), {{"INAM", "1"}});
    write_song(song("a/z.wav"), {{"INAM", "2"}});
    write_song(song("a/deeper/y.wav"), {{"INAM", "3"}});
    std::ofstream(zorb::native_path(song("a/notes.txt"))) << "not a song";
    minihost::media_library& library = host.library();

    const metadb_handle_list added = library.add({folder.file("songs")}, is_wav, nullptr);
    EXPECT_EQ(added.get_count(), 3u);
    EXPECT_EQ(library_paths(library), (std::vector<std::string>{"y.wav", "z.wav", "b.wav"}));
    // Again, and a file named another way: nothing new.
    EXPECT_EQ(library.add({song("a/../b.wav"), folder.file("songs")}, is_wav, nullptr).get_count(), 0u);
    EXPECT_THROW(library.add({song("nothing-here.wav")}, is_wav, nullptr), zorb::exception);

    // Another session on the same profile finds them, with their information.
    minihost::track_cache other_tracks(host);
    minihost::media_library other(other_tracks, host.profile().file("library.txt"));
    other.load(nullptr);
    EXPECT_EQ(library_paths(other), library_paths(library));
    file_info_impl info;
    ASSERT_TRUE(other.tracks()[2]->get_info(info));
    EXPECT_STREQ(info.meta_get("title", 0), "1");

    // One after the other, two sessions keep both their changes.
    write_song(song("c.wav"), {});
    write_song(song("d.wav"), {});
    other.add({song("c.wav")}, is_wav, nullptr);
    library.add({song("d.wav")}, is_wav, nullptr);
    EXPECT_EQ(library_paths(library), (std::vector<std::string>{"y.wav", "z.wav", "b.wav", "c.wav", "d.wav"}));

    EXPECT_EQ(library.remove({song("a")}), 2u);  // the folder and what lies under it
    EXPECT_EQ(library.remove({song("a")}), 0u);
    other.load(nullptr);
    EXPECT_EQ(library_paths(other), (std::vector<std::string>{"b.wav", "c.wav", "d.wav"}));
}

TEST_F(Library, IndexManagerKeysLibraryTracksAndDropsUnseenDataAfterTheRetention) {
    write_song(song("two.wav"), {{"INAM", "2"}});
    write_song(song("two-again.wav"), {{"INAM", "2"}});
    write_song(song("untitled.wav"), {});
    host.library().add({folder.file("songs")}, is_wav, nullptr);

    uint64_t now = 1000 * minihost::store_ticks_per_day;
    minihost::index_store_options options;
    options.clock = [&] { return now; };
    auto manager = minihost::make_index_manager(host.library(), folder.file("index.log"), options);
    const GUID index = {0x11, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const uint64_t period = 28 * minihost::store_ticks_per_day;
    manager->add(service_ptr_t<metadb_index_client>(new service_impl_t<title_number_client>()), index, period);
    EXPECT_THROW(manager->add(service_ptr_t<metadb_index_client>(new service_impl_t<title_number_client>()), index, 0),
                 zorb::exception_invalid_params);

    for (const uint8_t key : {1, 2, 3}) manager->set_user_data(index, key, &key, 1);
    metadb_handle_list tracks;
    manager->get_ml_handles(index, 2, tracks);
    EXPECT_EQ(tracks.get_count(), 2u);
    tracks.remove_all();
    manager->get_ml_handles(index, 1, tracks);
    EXPECT_TRUE(tracks.empty());

    now += 27 * minihost::store_ticks_per_day;
    EXPECT_EQ(manager->start_up_scan(), 0u);
    now += 3 * minihost::store_ticks_per_day;  // 30 days after the writes, 3 after key 2 was last seen
    EXPECT_EQ(manager->start_up_scan(), 2u);
    metadb_index_hash_list keys;
    manager->get_all_hashes(index, keys);
    EXPECT_EQ(keys, metadb_index_hash_list{2});
}

TEST_F(Library, PatternsSeeLocationTechnicalAndMetaFields) {
    write_song(song("Song One.wav"), {{"IART", "Ann"}, {"INAM", "One"}, {"IPRD", "First"}});
    const metadb_handle_ptr track = test_support::added_tracks(host, song("Song One.wav"))[0];
    const std::pair<const char*, std::string> cases[] = {
        {"%filename%|%filename_ext%", "Song One|Song One.wav"},
        {"%path%", shown("Song One.wav")},
        {"%codec% %samplerate% %channels% %length%", "PCM 44100 2 0:00"},
        {"%ARTIST%[ %genre%][ %playback_time%]$if(%ispaused%, paused)", "Ann"}};
    for (const auto& [pattern, expected] : cases)
        EXPECT_EQ(minihost::format_track(host, pattern, track), expected) << pattern;
    const std::string failure = test_support::failure_text([&] { minihost::format_track(host, "ab[%artist%", track); });
    EXPECT_NE(failure.find("at 3"), std::string::npos) << failure;  // where the unclosed section begins
}

TEST_F(Library, HostRowsShowCommonValuesAndVariousOnes) {
    write_song(song("x.wav"), {{"IART", "Ann"}, {"IPRD", "First"}});
    write_song(song("y.wav"), {{"IART", "Bob"}, {"IPRD", "First"}, {"IGNR", "Folk"}});
    const metadb_handle_list both = {test_support::added_tracks(host, song("x.wav"))[0],
                                     test_support::added_tracks(host, song("y.wav"))[0]};
    const std::string text = minihost::property_text(minihost::track_property_rows(host, both));
    const std::string folder_shown = shown("x.wav").substr(0, shown("x.wav").size() - 6);
    const std::string size = std::to_string(std::filesystem::file_size(zorb::native_path(song("x.wav"))) +
                                            std::filesystem::file_size(zorb::native_path(song("y.wav")))) +
                             " bytes";
    EXPECT_EQ(text.substr(0, text.find("  Last modified")),
              "Metadata\n  artist: <various>\n  album: First\n  genre: <various>\n"
              "Location\n  Items selected: 2\n  File name: <various>\n  Folder name: " +
                  folder_shown + "\n  File path: <various>\n  Subsong index: 0\n  File size: " + size + "\n");
}

TEST_F(Library, LastModifiedIsTheFileTimesUtcDateOnEitherSideOfMarch) {
    const std::pair<int64_t, const char*> times[] = {{946684799, "1999-12-31 23:59:59"},  // seconds since 1970
                                                     {946684800, "2000-01-01 00:00:00"},
                                                     {1709251199, "2024-02-29 23:59:59"}};
    for (const auto& [seconds, date] : times) {
        const std::string name = std::to_string(seconds) + ".wav";
        write_song(song(name), {});
        std::filesystem::last_write_time(
            zorb::native_path(song(name)),
            std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds(seconds)}));
        const std::string text =
            minihost::property_text(minihost::track_property_rows(host, test_support::added_tracks(host, song(name))));
        EXPECT_NE(text.find(std::string("  Last modified: ") + date + "\n"), std::string::npos) << text;
    }
}

}  // namespace
