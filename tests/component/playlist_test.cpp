// The host's playlist, the plain parts of the main window, and the list-control demos' rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "host/file_info_impl.h"
#include "host/playlist.h"
#include "host/service_lookup.h"
#include "minihost/gui/element_layout.h"
#include "minihost/gui/folder_scan.h"
#include "minihost/gui/main_layout.h"
#include "minihost/gui/playlist_columns.h"
#include "minihost/host/input_registry.h"
#include "sample/listcontrol/task_rows.h"
#include "sample/listcontrol/track_rows.h"
#include "sample/listcontrol/virtual_rows.h"
#include "tests/component/sample_fixture.h"
#include "zorb/files.h"
#include "zorb/time_text.h"

namespace {

using minihost::box;
using minihost::playlist;
using minihost::playlist_entry;

std::string song_path(const char* name) { return minihost::canonical_track_path(test_support::demo_song(name)); }

class Playlist : public ::testing::Test {
protected:
    void SetUp() override { test_support::start_component(*host); }
    // The host stopped (the playlist kept) and a new one started on the same profile.
    void restart() {
        host->stop();
        host = std::make_unique<minihost::host>(minihost::profile(folder.file("profile")));
        SetUp();
    }
    std::vector<std::string> paths(const playlist& list) {
        std::vector<std::string> out;
        for (const playlist_entry& each : minihost::playlist_entries(list))
            out.push_back(minihost::file_name_of(each.path) + (each.selected ? "+" : "") +
                          (each.subsong ? "/" + std::to_string(each.subsong) : ""));
        return out;
    }
    metadb_handle_list tracks(std::initializer_list<const char*> names) {
        metadb_handle_list out;
        for (const char* name : names) out.add_item(host->tracks().handle(name, 0));
        return out;
    }

    test_support::scratch_folder folder{"playlist"};
    std::unique_ptr<minihost::host> host = std::make_unique<minihost::host>(minihost::profile(folder.file("profile")));
};

TEST_F(Playlist, SelectionAndFocusFollowTheirTracksAndObserversHearWhatChanged) {
    playlist list;
    std::vector<playlist::change> heard;
    list.add_observer([&](playlist::change what) { heard.push_back(what); });
    EXPECT_EQ(list.add(tracks({"a", "b", "c", "d", "e"})), 0u);
    list.add({metadb_handle_ptr()});  // empty entries are passed over: nothing changes
    list.select_only({1, 3, 9});
    list.set_focus(3);
    list.set_focus(7);  // past the end: ignored
    list.remove({0, 0, 2, 42});
    EXPECT_EQ(paths(list), (std::vector<std::string>{"b+", "d+", "e"}));
    EXPECT_EQ(list.focus(), 1u);
    EXPECT_EQ(list.selected_items().get_count(), 2u);
    list.set_selected(1, 99, false);
    list.remove({1});  // the focused track goes, and the focus with it
    EXPECT_EQ(list.focus(), playlist::none);
    using change = playlist::change;
    EXPECT_EQ(heard, (std::vector<change>{change::items, change::selection, change::selection, change::items,
                                          change::selection, change::items}));
}

TEST_F(Playlist, FileTextReadsBackAndDamagedLinesAreSkipped) {
    const std::vector<playlist_entry> entries = {{"file://C:\\music\\a b.mod", 0, true}, {"file:///x/y.xm", 3, false}};
    std::vector<playlist_entry> read;
    size_t skipped = 9;
    ASSERT_TRUE(minihost::parse_playlist_file(minihost::playlist_file_text(entries), read, skipped));
    EXPECT_EQ(read, entries);
    EXPECT_EQ(skipped, 0u);
    const std::string damaged =
        "minihost playlist 1\r\n"
        "+\t1\tkept.mod\r\n"
        "*\t0\tbad sign.mod\n"
        "-\tx\tbad number.mod\n"
        "-\t2\n"
        "-\t4294967296\ttoo large.mod\n"
        "\n"
        "-\t0\tlast.xm";
    ASSERT_TRUE(minihost::parse_playlist_file(damaged, read, skipped));
    EXPECT_EQ(read, (std::vector<playlist_entry>{{"kept.mod", 1, true}, {"last.xm", 0, false}}));
    EXPECT_EQ(skipped, 4u);
    EXPECT_FALSE(minihost::parse_playlist_file("minihost playlist 2\n-\t0\ta.mod\n", read, skipped));
}

TEST_F(Playlist, KeptInTheProfileBetweenRunsWithTracksWhoseFilesAreGone) {
    const std::string gone = song_path("no-such-song.mod");
    playlist& list = host->playlist();
    list.add(test_support::added_tracks(*host, song_path("demo.mod")));
    list.add({host->tracks().handle(gone, 2)});
    list.add(test_support::added_tracks(*host, song_path("demo.xm")));
    list.select_only({1, 2});
    restart();
    playlist& again = host->playlist();
    EXPECT_EQ(paths(again), (std::vector<std::string>{"demo.mod", "no-such-song.mod+/2", "demo.xm+"}));
    EXPECT_EQ(again.focus(), 1u);
    file_info_impl info;
    EXPECT_TRUE(again.item(0)->get_info(info));   // read anew through the input
    EXPECT_FALSE(again.item(1)->get_info(info));  // nothing to read, but not lost

    // Components see it through playlist_manager.
    auto manager = service_lookup_one_t<playlist_manager>(*host);
    EXPECT_EQ(manager->get_item_count(), 3u);
    EXPECT_FALSE(manager->get_item(3));
    EXPECT_TRUE(manager->is_item_selected(1));
    metadb_handle_list selected = tracks({"stale"});
    manager->get_selected_items(selected);
    ASSERT_EQ(selected.get_count(), 2u);
    EXPECT_EQ(selected[1].get(), again.item(2).get());

    // A playlist only looked at is not written again; a file that is no playlist is reported, not read.
    const std::string file = host->profile().playlist_file();
    test_support::write_bytes(file, {'x'});
    restart();
    EXPECT_EQ(host->playlist().size(), 0u);
    host->stop();
    EXPECT_EQ(test_support::read_bytes(file), std::vector<uint8_t>{'x'});
}

TEST_F(Playlist, CellsShowTheFileTheFormatAndTheTechnicalFieldsWithUnits) {
    const metadb_handle_ptr song = test_support::added_tracks(*host, song_path("demo.s3m"))[0];
    const metadb_handle_ptr unknown = host->tracks().handle("file:///music/Song.Mod", 3);
    std::vector<std::string> known_cells, unknown_cells;
    for (size_t column = 0; column < minihost::playlist_columns().size(); ++column) {
        known_cells.push_back(minihost::playlist_cell(*song, column));
        unknown_cells.push_back(minihost::playlist_cell(*unknown, column));
    }
    file_info_impl info;
    ASSERT_TRUE(song->get_info(info));
    EXPECT_EQ(known_cells,
              (std::vector<std::string>{"demo.s3m", "S3M", zorb::length_text(info.get_length()), "44100 Hz", "2", "16",
                                        "1411 kbps", minihost::local_path_of(song_path("demo.s3m"))}));
    EXPECT_EQ(unknown_cells,
              (std::vector<std::string>{"Song.Mod [subsong 3]", "MOD", "", "", "", "", "", "/music/Song.Mod"}));
}

TEST(MainLayout, BandsKeepTheirHeightsAndThePlaylistGivesWayFirst) {
    // The window's height, the bands' heights top and bottom, and the boxes they get.
    const std::tuple<int, std::vector<int>, std::vector<int>, box, std::vector<box>, std::vector<box>> cases[] = {
        {300, {30}, {50, 40}, {0, 30, 200, 190}, {{0, 0, 200, 30}}, {{0, 190, 200, 240}, {0, 240, 200, 280}}},
        {15, {30}, {10}, {0, 0, 200, 0}, {{0, 0, 200, 0}}, {{0, 0, 200, 0}}}};
    for (const auto& [height, top, bottom, playlist_box, top_boxes, bottom_boxes] : cases) {
        const minihost::main_layout layout = minihost::arrange_main_window(200, height, top, bottom, 20);
        EXPECT_EQ(layout.playlist, playlist_box) << height;
        EXPECT_EQ(layout.top_bands, top_boxes) << height;
        EXPECT_EQ(layout.bottom_bands, bottom_boxes) << height;
        EXPECT_EQ(layout.status, (box{0, std::max(height - 20, 0), 200, height})) << height;
    }
}

TEST(MainLayout, KeptPlaceReadsBackAndComesBackOntoTheScreen) {
    using minihost::window_placement;
    window_placement read;
    const window_placement place{-1200, 40, 800, 500, true};
    ASSERT_TRUE(minihost::parse_placement(minihost::placement_text(place), read));
    EXPECT_EQ(read, place);
    for (const char* bad : {"1 2 3 4", "1 2 0 4 0", "1 2 3 4 2", "1 2 3 4 0 5"})
        EXPECT_FALSE(minihost::parse_placement(bad, read)) << bad;
    const minihost::box screen{0, 0, 1024, 738};
    EXPECT_EQ(minihost::fit_on_screen(place, screen), (window_placement{0, 40, 800, 500, true}));
    EXPECT_EQ(minihost::fit_on_screen({900, 600, 800, 500, false}, screen),
              (window_placement{224, 238, 800, 500, false}));
}

TEST(FolderScan, FindsTheWantedFilesOfEverySubfolderInPathOrder) {
    test_support::scratch_folder folder("folder-scan");
    for (const char* name : {"b.mod", "A.xm", "notes.txt", "sub/c.S3M", "sub/deeper/a.mod", "Sub2/z.mod"}) {
        std::filesystem::create_directories(zorb::native_path(folder.file(name)).parent_path());
        std::ofstream(zorb::native_path(folder.file(name))) << "x";
    }
    const auto modules = [](const std::string& path) { return minihost::extension_of(path) != "txt"; };
    std::vector<std::string> names;
    const std::string root = folder.file("");
    for (const std::string& path : minihost::files_in_folder(root, modules)) {
        std::string name = path.substr(root.size());
        std::replace(name.begin(), name.end(), '\\', '/');
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A.xm", "b.mod", "sub/c.S3M", "sub/deeper/a.mod", "Sub2/z.mod"}));
    EXPECT_THROW(minihost::files_in_folder(folder.file("missing"), modules), zorb::exception);
}

// The main window's element area.
constexpr uint32_t unlimited = ui_element_min_max_info::unlimited;
constexpr int frame = minihost::element_area_frame;

ui_element_min_max_info limits(uint32_t min_width, uint32_t max_width, uint32_t min_height = 0,
                               uint32_t max_height = unlimited) {
    return {min_width, max_width, min_height, max_height};
}

TEST(ElementArea, HeightWithinTheElementsLimits) {
    const int preferred = minihost::element_area_preferred_height;
    const std::pair<std::vector<ui_element_min_max_info>, int> cases[] = {
        {{}, 0},
        {{limits(0, unlimited)}, preferred + 2 * frame},
        {{limits(0, unlimited, 0, 100), limits(0, unlimited)}, 100 + 2 * frame},
        // A minimum above another's maximum wins.
        {{limits(0, unlimited, 300), limits(0, unlimited, 0, 100)}, 300 + 2 * frame}};
    for (const auto& [each, height] : cases) EXPECT_EQ(minihost::element_area_height(each), height) << each.size();
}

TEST(ElementArea, WidthSharedWithinLimits) {
    const int inner = 600 - 3 * frame;  // two elements
    // The area's width, the elements' limits and the widths they get.
    const std::tuple<int, std::vector<ui_element_min_max_info>, std::vector<int>> cases[] = {
        {600, {limits(0, unlimited), limits(0, unlimited)}, {inner / 2, inner - inner / 2}},
        // One held at its maximum: the other takes the rest.
        {600, {limits(0, 100), limits(0, unlimited)}, {100, inner - 100}},
        // Too narrow for the minimums: they keep them.
        {100, {limits(80, unlimited), limits(90, unlimited)}, {80, 90}}};
    for (const auto& [width, elements, widths] : cases) {
        const std::vector<box> boxes = minihost::arrange_elements(width, 200, elements);
        ASSERT_EQ(boxes.size(), widths.size());
        int x = frame;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].left, x) << width << " #" << i;
            EXPECT_EQ(boxes[i].right - boxes[i].left, widths[i]) << width << " #" << i;
            x = boxes[i].right + frame;
        }
    }
}

TEST(ElementArea, LayoutRecordsStopAtDamage) {
    const GUID first = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}}, second = {12, 13, 14, {15, 16, 17, 18, 19, 20, 21, 22}};
    std::vector<uint8_t> bytes = minihost::layout_bytes({{first, {}}, {second, {3, 0, 0, 0}}, {first, {9}}});
    bytes.pop_back();  // the last record cut short
    const std::vector<ui_element_config> read = minihost::parse_layout(bytes);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].get_guid(), second);
    EXPECT_EQ(read[1].bytes(), (std::vector<uint8_t>{3, 0, 0, 0}));
}

// The rows of the simple list-control demo (tests/win drives the other two for real).
TEST(TrackRows, SortByAColumnInNaturalOrderKeepsEqualRowsInOrderAndTellsWhereEachWent) {
    ambrel::track_rows rows(
        {{"b.mod", "Same", "MOD", "10:00"}, {"a.xm", "same", "XM", "2:05"}, {"c.s3m", "Other", "S3M", "1:02:03"}});
    EXPECT_EQ(rows.sort(1, true), (std::vector<size_t>{1, 2, 0}));  // "same" and "Same" are equal: kept in order
    EXPECT_EQ(rows.cell_text(0, 0), "c.s3m");
    EXPECT_EQ(rows.sort(3, true), (std::vector<size_t>{2, 1, 0}));  // by length: 2:05, 10:00, 1:02:03
    EXPECT_EQ(rows.cell_text(0, 0) + rows.cell_text(1, 0) + rows.cell_text(2, 0), "a.xmb.modc.s3m");
    rows.sort(0, false);
    EXPECT_EQ(rows.cell_text(0, 0), "c.s3m");
    EXPECT_EQ(rows.copy_text({2, 0, 2}), "c.s3m\tOther\tS3M\t1:02:03\r\na.xm\tsame\tXM\t2:05\r\n");
    // Runs of digits compare by value.
    const std::tuple<const char*, const char*, int> cases[] = {
        {"track2", "track10", -1}, {"Abc", "abd", -1}, {"a007", "a7", 0}, {"a7b", "a7", 1}};
    for (const auto& [a, b, sign] : cases) {
        const int compared = ambrel::natural_compare(a, b);
        EXPECT_EQ((compared > 0) - (compared < 0), sign) << a << " vs " << b;
    }
}

// The list-control demos' rows: the edges the demos' windows do not reach.
using ambrel::list_source;

TEST(VirtualRows, TypingANumberFindsTheFirstRowFromTheStartWhoseNumberBeginsSo) {
    const ambrel::virtual_rows rows;
    const std::tuple<const char*, size_t, size_t> cases[] = {
        {"5", 0, 4},
        {"12", 20, 119},         // 12 lies behind row 20: the next number starting so is 120
        {"12", 119, 119},        // the start itself may match
        {"1000000", 5, 999999},  // the last row, found without walking the others
        {"2", 999990, 1},        // nothing after the start: round to the top
        {"1000001", 0, list_source::npos},
        {"0", 0, list_source::npos},
        {"1a", 0, list_source::npos}};
    for (const auto& [typed, start, row] : cases)
        EXPECT_EQ(rows.find_row(typed, start), row) << typed << " from " << start;
    EXPECT_EQ(rows.cell_text(999999, 1), "Virtual item 1000000");
    EXPECT_EQ(rows.cell_text(999999, 3), "0x0F4240");
    // A short list answers within its own rows.
    EXPECT_EQ(ambrel::virtual_rows(15).find_row("1", 3), 9u);  // 10
    EXPECT_EQ(ambrel::virtual_rows(15).find_row("2", 3), 1u);  // 20 and on lie past the end: round to 2
}

ambrel::task_rows tasks(std::initializer_list<const char*> names) {
    std::vector<ambrel::task_row> rows;
    for (const char* name : names) rows.push_back({name, false, 1});
    return ambrel::task_rows(std::move(rows));
}

std::string names(const ambrel::task_rows& rows) {
    std::string out;
    for (const ambrel::task_row& row : rows.rows()) out += row.name;
    return out;
}

TEST(TaskRows, MovingRowsIntoAGapKeepsTheirOrder) {
    // Rows moved, the gap, the order afterwards and where the moved rows went.
    const std::tuple<std::vector<size_t>, size_t, const char*, std::vector<size_t>> cases[] = {
        {{1}, 4, "acdbe", {3}},          // down, before e
        {{0, 2}, 5, "bdeac", {3, 4}},    // to the end
        {{4, 1}, 2, "abecd", {1, 2}},    // order kept whatever order they are named in
        {{1, 2}, 2, "abcde", {1, 2}},    // into their own gap: nothing moves
        {{1, 1, 9}, 99, "acdeb", {4}}};  // repeats and rows past the end are ignored
    for (const auto& [moved, gap, order, positions] : cases) {
        ambrel::task_rows rows = tasks({"a", "b", "c", "d", "e"});
        EXPECT_EQ(rows.move(moved, gap), positions) << order;
        EXPECT_EQ(names(rows), order);
    }
}

TEST(TaskRows, RenameTickCycleAndRemove) {
    ambrel::task_rows rows = tasks({"a", "b", "c"});
    EXPECT_TRUE(rows.rename(1, "  New name\t"));
    EXPECT_FALSE(rows.rename(2, " \t "));
    EXPECT_FALSE(rows.rename(3, "past the end"));
    EXPECT_EQ(names(rows), "aNew namec");
    rows.set_checked(0, true);
    rows.set_checked(2, true);
    rows.set_checked(2, false);
    EXPECT_EQ(rows.checked_count(), 1u);
    EXPECT_TRUE(rows.is_checked(0));
    std::vector<std::string> priorities;
    for (int i = 0; i < 4; ++i) {
        priorities.push_back(rows.cell_text(1, ambrel::task_rows::priority_column));
        rows.cycle_priority(1);
    }
    EXPECT_EQ(priorities, (std::vector<std::string>{"Normal", "High", "Low", "Normal"}));
    rows.remove({0, 0, 7});
    EXPECT_EQ(names(rows), "New namec");
    EXPECT_EQ(rows.cell_text(1, 2), "2");  // the position column counts as the rows stand now
    EXPECT_EQ(rows.checked_count(), 0u);
    // Type-to-find walks the rows from the start, round to the top, letters without case.
    EXPECT_EQ(rows.find_row("c", 0), 1u);
    EXPECT_EQ(rows.find_row("NEW", 1), 0u);
    EXPECT_EQ(rows.find_row("x", 0), list_source::npos);
}

}  // namespace
