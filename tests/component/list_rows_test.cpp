// The rows behind the list-control demos and their arithmetic: a million rows found by number, tasks
// renamed, ticked, moved and removed, tracks sorted and copied; DPI scaling and number texts.
#include <gtest/gtest.h>

#include <tuple>

#include "host/file_info_impl.h"
#include "minihost/host/host.h"
#include "sample/listcontrol/task_rows.h"
#include "sample/listcontrol/track_rows.h"
#include "sample/listcontrol/virtual_rows.h"
#include "tests/component/host_fixture.h"
#include "zorb/time_text.h"

namespace {

using ambrel::list_source;

TEST(VirtualRows, TypingANumberFindsTheFirstRowFromTheStartWhoseNumberBeginsSo) {
    const ambrel::virtual_rows rows;
    const std::tuple<const char*, size_t, size_t> cases[] = {
        {"1", 0, 0},
        {"5", 0, 4},
        {"12", 20, 119},         // 12 lies behind row 20: the next number starting so is 120
        {"12", 119, 119},        // the start itself may match
        {"999999", 0, 999998},   //
        {"1000000", 5, 999999},  // the last row, found without walking the others
        {"2", 999990, 1},        // nothing after the start: round to the top
        {"1000001", 0, list_source::npos},
        {"0", 0, list_source::npos},
        {"1a", 0, list_source::npos},
        {"", 0, list_source::npos}};
    for (const auto& [typed, start, row] : cases)
        EXPECT_EQ(rows.find_row(typed, start), row) << typed << " from " << start;
    EXPECT_EQ(rows.row_count(), 1000000u);
    EXPECT_EQ(rows.cell_text(999999, 0), "1000000");
    EXPECT_EQ(rows.cell_text(999999, 1), "Virtual item 1000000");
    EXPECT_EQ(rows.cell_text(999999, 3), "0x0F4240");
    EXPECT_NE(rows.cell_text(41, 2), rows.cell_text(42, 2));
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
        {{1}, 4, "acdbe", {3}},         // down, before e
        {{3}, 0, "dabce", {0}},         // up to the top
        {{0, 2}, 5, "bdeac", {3, 4}},   // to the end
        {{4, 1}, 2, "abecd", {1, 2}},   // order kept whatever order they are named in
        {{1, 2}, 2, "abcde", {1, 2}},   // into their own gap: nothing moves
        {{1, 1, 9}, 99, "acdeb", {4}},  // repeats and rows past the end are ignored
        {{}, 2, "abcde", {}}};
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

TEST(TrackRows, SortByAColumnKeepsEqualRowsInOrderAndTellsWhereEachWent) {
    ambrel::track_rows rows(
        {{"b.mod", "Same", "MOD", "10:00"}, {"a.xm", "same", "XM", "2:05"}, {"c.s3m", "Other", "S3M", "1:02:03"}});
    EXPECT_EQ(rows.sort(1, true), (std::vector<size_t>{1, 2, 0}));  // "same" and "Same" are equal: kept in order
    EXPECT_EQ(rows.cell_text(0, 0), "c.s3m");
    EXPECT_EQ(rows.sort(3, true), (std::vector<size_t>{2, 1, 0}));  // by length: 2:05, 10:00, 1:02:03
    EXPECT_EQ(rows.cell_text(0, 0) + rows.cell_text(1, 0) + rows.cell_text(2, 0), "a.xmb.modc.s3m");
    rows.sort(0, false);
    EXPECT_EQ(rows.cell_text(0, 0), "c.s3m");
    EXPECT_EQ(rows.copy_text({2, 0, 2}), "c.s3m\tOther\tS3M\t1:02:03\r\na.xm\tsame\tXM\t2:05\r\n");
    EXPECT_EQ(rows.copy_text({}), "");
}

TEST(TrackRows, NaturalOrderComparesRunsOfDigitsByValue) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"track2", "track10", -1}, {"2:05", "10:00", -1}, {"Abc", "abd", -1}, {"abc", "ABC", 0},
        {"a007", "a7", 0},         {"a7b", "a7", 1},      {"", "a", -1},      {"x9", "x10", -1}};
    for (const auto& [a, b, sign] : cases) {
        const int compared = ambrel::natural_compare(a, b);
        EXPECT_EQ((compared > 0) - (compared < 0), sign) << a << " vs " << b;
    }
}

TEST(TrackRows, TracksShowTheirNameTitleFormatAndLength) {
    test_support::scratch_folder folder("track-rows");
    minihost::host host(folder.file("config.bin"));
    const metadb_handle_ptr titled = host.tracks().handle("file:///music/Intro.XM", 0);
    const metadb_handle_ptr unknown = host.tracks().handle("C:\\music\\noext", 1);
    file_info_impl info;
    info.meta_add("title", "Intro");
    info.set_length(125.9);
    host.tracks().update(titled, info);
    const ambrel::track_rows rows = ambrel::track_rows::of_tracks({titled, metadb_handle_ptr(), unknown});
    ASSERT_EQ(rows.row_count(), 2u);
    EXPECT_EQ(rows.copy_text({0, 1}), "Intro.XM\tIntro\tXM\t2:05\r\nnoext\t\t\t\r\n");
    EXPECT_GT(ambrel::track_rows::sample().row_count(), 0u);
}

TEST(ListArithmetic, DpiScalingCountsAndDurations) {
    const std::tuple<int, int, int> scaled[] = {{100, 96, 100}, {100, 144, 150}, {3, 120, 4},
                                                {1, 144, 2},    {100, 0, 100},   {-3, 120, -4}};
    for (const auto& [units, dpi, pixels] : scaled)
        EXPECT_EQ(ambrel::scale_for_dpi(units, dpi), pixels) << units << " at " << dpi;
    const std::pair<uint64_t, const char*> counts[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1000000, "1,000,000"}};
    for (const auto& [count, text] : counts) EXPECT_EQ(ambrel::count_text(count), text);
    const std::pair<double, const char*> lengths[] = {
        {0, ""}, {-3, ""}, {0.5, "0:00"}, {59.99, "0:59"}, {205, "3:25"}, {3723, "1:02:03"}, {360000, "100:00:00"}};
    for (const auto& [seconds, text] : lengths) EXPECT_EQ(zorb::length_text(seconds), text) << seconds;
}

}  // namespace
