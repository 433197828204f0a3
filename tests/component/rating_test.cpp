// The rating database: its stored bytes, cycles and texts, and the road through minihost's index
// manager and media library with the component in-process: commands, fields, dump, property rows.
#include <gtest/gtest.h>

#include <tuple>

#include "host/service_lookup.h"
#include "minihost/app/library_commands.h"
#include "minihost/host/track_format.h"
#include "minihost/host/track_properties.h"
#include "sample/rating/rating_record.h"
#include "sample/rating/rating_services.h"
#include "sample/rating/rating_store.h"
#include "tests/component/sample_fixture.h"

namespace {

using ambrel::rating_record;
using bytes = std::vector<uint8_t>;

TEST(RatingRecord, StoredBytesRoundTripAndTolerateDamage) {
    // Stored bytes and the record they hold; `exact` when writing that record gives those bytes.
    const std::tuple<bytes, uint32_t, const char*, bool> cases[] = {
        {{0, 0, 0, 0}, 0, "", true},  // writing never removes a key's data
        {{4, 3, 2, 1, 1, 0, 0, 0, 'x'}, 0x01020304, "x", true},
        {{2, 0, 0}, 0, "", false},
        {{2, 0, 0, 0, 7, 0, 0}, 0, "", false},                // the length field cut short
        {{2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b'}, 0, "", false},   // a length beyond the bytes
        {{2, 0, 0, 0, 1, 0, 0, 0, 'a', 'b'}, 2, "a", false},  // a trailing byte ignored
        {{5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 0, "", false}};
    for (const auto& [stored, rating, comment, exact] : cases) {
        const rating_record record{rating, comment};
        EXPECT_EQ(ambrel::decode_record(stored.data(), stored.size()), record) << stored.size() << " bytes";
        if (exact) {
            EXPECT_EQ(ambrel::encode_record(record), stored) << comment;
        }
    }
}

TEST(RatingRecord, CyclesAndKeyTexts) {
    const std::pair<uint32_t, uint32_t> ratings[] = {{0, 1}, {4, 5}, {5, 0}, {0xFFFFFFFF, 0}};
    for (const auto& [current, next] : ratings) EXPECT_EQ(ambrel::next_rating(current), next) << current;
    const std::pair<const char*, const char*> comments[] = {
        {"", "kiv"}, {"kiv", "bar"}, {"bar", ""}, {"x", ""}, {"KIV", ""}};
    for (const auto& [current, next] : comments) EXPECT_EQ(ambrel::next_comment(current), next) << current;

    EXPECT_EQ(ambrel::key_text_16(171), "00000000000000AB");
    EXPECT_EQ(ambrel::key_text_dump(171), "000000AB");
    EXPECT_EQ(ambrel::key_text_dump(0x123456789), "123456789");

    digest_value digest{};
    for (int i = 0; i < 16; ++i) digest.bytes[i] = uint8_t(i + 1);
    EXPECT_EQ(ambrel::key_of_digest(digest), 0x0807060504030201ull ^ 0x100F0E0D0C0B0A09ull);
    digest.bytes[15] = 0x80;
    EXPECT_EQ(ambrel::key_of_digest(digest) >> 56, 0x08u ^ 0x80u);
}

TEST(RatingRecord, SummaryAveragesHalvesUpAndFindsTheCommonComment) {
    // Each summary as "average|minimum|maximum|comment".
    const std::pair<std::vector<rating_record>, const char*> cases[] = {
        {{{2, ""}, {2, ""}, {1, ""}}, "1.667|1|2|"},
        {{{0, "x"}, {3, ""}}, "3.000|3|3|<various>"},
        {{{0, "x"}, {0, "x"}}, "N/A|N/A|N/A|x"},
        {{{0, "x"}, {0, "y"}, {0, "x"}}, "N/A|N/A|N/A|<various>"}};
    for (const auto& [records, expected] : cases) {
        ambrel::rating_summary summary;
        for (const rating_record& record : records) summary.take(record);
        EXPECT_EQ(summary.average_text() + "|" + summary.minimum_text() + "|" + summary.maximum_text() + "|" +
                      summary.comment,
                  expected);
    }
    // 17/16 = 1.0625: the half goes up.
    ambrel::rating_summary sixteenths;
    sixteenths.take({2, ""});
    for (int i = 0; i < 15; ++i) sixteenths.take({1, ""});
    EXPECT_EQ(sixteenths.average_text(), "1.063");
}

class RatingSession {
public:
    explicit RatingSession(const std::string& profile) : host(minihost::profile(profile)) {
        host.add_service(console_receiver::class_guid, console);
        test_support::start_component(host);
    }
    ~RatingSession() { host.stop(); }

    metadb_handle_list tracks(const std::vector<std::string>& files) {
        metadb_handle_list list;
        for (const std::string& file : files)
            for (const metadb_handle_ptr& track : test_support::added_tracks(host, file)) list.add_item(track);
        return list;
    }
    void run_context(const std::string& item, const metadb_handle_list& selection) {
        test_support::run_context_item(host, item, selection);
    }
    std::string format(const std::string& pattern, const metadb_handle_ptr& track) {
        return minihost::format_track(host, pattern, track);
    }
    std::vector<std::string> lines() { return test_support::lines_starting(*console, "[kiv_sample rating] "); }

    service_ptr_t<test_support::capture_console> console = test_support::make_capture_console();
    minihost::host host;
    test_support::popup_recorder recorder{host};
};

class Rating : public ::testing::Test {
protected:
    Rating() {
        const std::vector<int64_t> silence(32);
        test_support::write_wav(song("a1.wav"), silence, {{"IART", "Ann"}, {"INAM", "One"}, {"IPRD", "First"}});
        test_support::write_wav(song("a2.wav"), silence, {{"IART", "Ann"}, {"INAM", "Two"}, {"IPRD", "First"}});
        test_support::write_wav(song("b1.wav"), silence, {{"IART", "Bob"}, {"INAM", "One"}, {"IPRD", "Second"}});
        test_support::write_wav(song("a1-copy.wav"), silence, {{"IART", "Ann"}, {"INAM", "One"}, {"IPRD", "Other"}});
    }
    std::string song(const std::string& name) const { return folder.file("songs/" + name); }
    std::string profile() const { return folder.file("profile"); }

    test_support::scratch_folder folder{test_support::test_folder_name("rating")};
};

// Rated in one session, read in the next from the index files.
TEST_F(Rating, CommandsFieldsDumpAndPropertiesShareTheKeysOfTrackAndAlbumAndSurviveARestart) {
    {
        RatingSession first(profile());
        first.host.library().add(
            {folder.file("songs")}, [](const std::string& path) { return path.ends_with(".wav"); }, nullptr);
        const metadb_handle_list a1 = first.tracks({song("a1.wav")});
        for (const char* item : {"Cycle track rating", "Cycle track rating", "Cycle album comment"})
            first.run_context(item, a1);
    }
    RatingSession session(profile());
    const metadb_handle_list all = session.tracks({song("a1.wav"), song("a2.wav"), song("a1-copy.wav")});
    EXPECT_EQ(session.format("%kiv_sample_track_rating% %kiv_sample_album_comment%", all[0]), "2 kiv");
    // a2 is another title of the same album; the copy the same artist and title on another album.
    EXPECT_EQ(session.format("[%kiv_sample_track_rating%]|%kiv_sample_album_comment%", all[1]), "|kiv");
    EXPECT_EQ(session.format("%kiv_sample_track_rating%|[%kiv_sample_album_comment%]", all[2]), "2|");
    EXPECT_EQ(session.format("%kiv_sample_track_hash%", all[0]), session.format("%kiv_sample_track_hash%", all[2]));

    test_support::run_main_command(session.host, "Dump rating database");
    // The library holds a1 and its copy under one track key, a1 and a2 under one album key.
    ASSERT_EQ(session.recorder.popups().size(), 1u);
    const std::string dump = session.recorder.popups()[0].message;
    for (const std::string& line :
         std::vector<std::string>{"The database contains 1 hashes.\n", " : rating 2, 2 matching track(s)\n",
                                  " : no rating, comment: kiv, 2 matching track(s)\n", "a1-copy.wav\"\n", "a2.wav\"\n",
                                  session.format("%path%", all[0]) + "\"\n"})
        EXPECT_NE(dump.find(line), std::string::npos) << line << " in\n" << dump;

    const std::string rows = minihost::property_text(minihost::track_property_rows(session.host, all));
    for (const char* row :
         {"  Average Track Rating: 2.000\n", "  Maximum Album Rating: N/A\n", "  Album Comment: <various>\n"})
        EXPECT_NE(rows.find(row), std::string::npos) << row << " in\n" << rows;
}

TEST_F(Rating, CyclesFollowTheFirstTrackAndCountSharedKeysOnce) {
    RatingSession session(profile());
    const metadb_handle_list songs = session.tracks({song("a1.wav"), song("b1.wav"), song("a1-copy.wav")});
    const metadb_handle_list b_first{songs[1], songs[0], songs[2]};
    const auto ratings = [&] {
        return session.format("[%kiv_sample_track_rating%]", songs[0]) + "," +
               session.format("[%kiv_sample_track_rating%]", songs[1]);
    };
    session.run_context("Cycle track rating", {songs[0], songs[2]});  // one key for both
    EXPECT_EQ(ratings(), "1,");
    for (int i = 0; i < 4; ++i) session.run_context("Cycle track rating", {songs[0]});
    EXPECT_EQ(ratings(), "5,");
    session.run_context("Cycle track rating", b_first);  // b1 has none: every key becomes 1
    EXPECT_EQ(ratings(), "1,1");
    for (int i = 0; i < 4; ++i) session.run_context("Cycle track rating", {songs[1]});
    session.run_context("Cycle track rating", b_first);  // b1 at 5: every key goes to 0
    EXPECT_EQ(ratings(), ",");
    session.run_context("Cycle track rating", {songs[0], songs[2]});
    session.run_context("Cycle track rating", {songs[0], songs[2]});
    const std::vector<std::string> lines = session.lines();
    EXPECT_EQ(lines.front(), "[kiv_sample rating] 1 entries updated");
    EXPECT_EQ(lines.at(5), "[kiv_sample rating] 2 entries updated");   // b1 first, both to 1
    EXPECT_EQ(lines.at(10), "[kiv_sample rating] 2 entries updated");  // b1 at 5, both to 0
}

TEST_F(Rating, AStoredSevenCyclesToNoneAndUnchangedKeysReportZero) {
    RatingSession session(profile());
    std::vector<std::pair<GUID, metadb_index_hash_list>> refreshed;
    session.host.index_manager().set_refresh_observer([&](const GUID& index, const metadb_index_hash_list& keys) {
        refreshed.push_back({index, keys});
    });
    const metadb_handle_list a1 = session.tracks({song("a1.wav")});
    const metadb_handle_list gone_first{session.tracks({song("missing.wav")})[0], a1[0]};
    const uint64_t key = std::stoull(session.format("%kiv_sample_track_hash%", a1[0]), nullptr, 16);

    ambrel::write_record(ambrel::guid_track_index, key, {7, "keep"});
    session.run_context("Cycle track rating", a1);
    EXPECT_EQ(ambrel::read_record(ambrel::guid_track_index, key), (rating_record{0, "keep"}));
    // The first track has no key, so the new rating is 1, which the key holds already.
    ambrel::write_record(ambrel::guid_track_index, key, {1, ""});
    session.run_context("Cycle track rating", gone_first);
    EXPECT_EQ(ambrel::read_record(ambrel::guid_track_index, key), (rating_record{1, ""}));
    ambrel::write_record(ambrel::guid_track_index, key, {3, "kiv"});
    session.run_context("Cycle track comment", a1);
    EXPECT_EQ(ambrel::read_record(ambrel::guid_track_index, key), (rating_record{3, "bar"}));

    EXPECT_EQ(session.lines(), (std::vector<std::string>{"[kiv_sample rating] 1 entries updated",
                                                         "[kiv_sample rating] 0 entries updated",
                                                         "[kiv_sample rating] 1 entries updated"}));
    ASSERT_EQ(refreshed.size(), 2u);  // none for the command that changed nothing
    for (const auto& [index, keys] : refreshed) {
        EXPECT_EQ(index, ambrel::guid_track_index);
        EXPECT_EQ(keys, metadb_index_hash_list{key});
    }
}

TEST_F(Rating, TracksWithoutInformationHaveNoKeyAndNoSelectionNoRating) {
    RatingSession session(profile());
    const metadb_handle_list gone = session.tracks({song("missing.wav")});
    session.run_context("Cycle album rating", gone);
    EXPECT_EQ(session.lines(),
              (std::vector<std::string>{
                  "[kiv_sample rating] Could not hash any of the tracks due to unavailable metadata, bailing"}));
    EXPECT_EQ(session.format("[%kiv_sample_album_hash%]", gone[0]), "");
    // An empty selection offers no item and does nothing.
    metadb_handle_list none;
    ambrel::cycle_rating(ambrel::guid_track_index, none);
    EXPECT_EQ(session.lines().size(), 1u);
    const std::string rows = minihost::property_text(minihost::track_property_rows(session.host, none));
    EXPECT_NE(rows.find("  Average Track Rating: N/A\n"), std::string::npos) << rows;
    EXPECT_EQ(rows.find("Album Comment"), std::string::npos) << rows;
}

TEST_F(Rating, ARegistrationFailureUnregistersBothAndPrintsOneLine) {
    minihost::host host{minihost::profile(profile())};
    auto console = test_support::make_capture_console();
    host.add_service(console_receiver::class_guid, console);
    // The album index is taken already, so the component's second registration fails.
    struct fixed_client : metadb_index_client {
        metadb_index_hash hash_track(const file_info&, const playable_location&) override { return 1; }
    };
    host.index_manager().add(service_ptr_t<metadb_index_client>(new service_impl_t<fixed_client>()),
                             ambrel::guid_album_index, 0);
    test_support::start_component(host);
    EXPECT_EQ(test_support::lines_starting(*console, "[kiv_sample rating] "),
              (std::vector<std::string>{"[kiv_sample rating] Critical initialization failure: Invalid parameters"}));
    EXPECT_FALSE(host.index_manager().is_registered(ambrel::guid_track_index));
    EXPECT_FALSE(host.index_manager().is_registered(ambrel::guid_album_index));
    host.stop();
}

}  // namespace
