// minihost's media library, index manager, title-formatting service and properties rows, on WAV
// files written by the test, with the component in-process.
#include <gtest/gtest.h>

#include <fstream>

#include "host/file_info_impl.h"
#include "host/service_lookup.h"
#include "minihost/host/host_records.h"
#include "minihost/host/index_manager.h"
#include "minihost/host/track_format.h"
#include "minihost/host/track_properties.h"
#include "tests/component/sample_fixture.h"

namespace {

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
    std::string shown(const std::string& name) const {
        zorb::string8 text;
        filesystem::g_get_display_path(host_ref(), minihost::canonical_track_path(song(name)).c_str(), text);
        return text.str();
    }
    host_api& host_ref() const { return const_cast<minihost::host&>(host); }
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
    const std::string store_path = folder.file("index.log");
    auto manager = minihost::make_index_manager(host.library(), store_path, options);
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

    // A restart reads the same; an index no longer registered keys nothing.
    auto again = minihost::make_index_manager(host.library(), store_path, options);
    again->get_all_hashes(index, keys);
    EXPECT_EQ(keys, metadb_index_hash_list{2});
    minihost::mem_block_impl data;
    again->get_user_data(index, 2, data);
    ASSERT_EQ(data.get_size(), 1u);
    EXPECT_EQ(*static_cast<uint8_t*>(data.get_ptr()), 2);
    again->get_user_data(index, 3, data);
    EXPECT_EQ(data.get_size(), 0u);
    tracks.remove_all();
    again->get_ml_handles(index, 2, tracks);
    EXPECT_TRUE(tracks.empty());
}

TEST_F(Library, PatternsSeeLocationTechnicalMetaAndProviderFields) {
    write_song(song("Song One.wav"), {{"IART", "Ann"}, {"INAM", "One"}, {"IPRD", "First"}});
    const metadb_handle_ptr track = test_support::added_tracks(host, song("Song One.wav"))[0];
    const std::pair<const char*, std::string> cases[] = {
        {"%filename%|%filename_ext%", "Song One|Song One.wav"},
        {"%path%", shown("Song One.wav")},
        {"%codec% %samplerate% %channels% %length%", "PCM 44100 2 0:00"},
        {"%album artist% - %album%", "Ann - First"},
        {"%ARTIST%[ %genre%][ %playback_time%]$if(%ispaused%, paused)", "Ann"},
        {"%genre%", "?"},
        {"[%kiv_sample_track_rating%]$len(%KIV_SAMPLE_TRACK_HASH%)", "16"}};
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
    EXPECT_NE(text.find("General\n  Duration: 0:00\n  codec: PCM\n"), std::string::npos) << text;
}

}  // namespace
