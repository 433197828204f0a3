// Ratings through minihost.exe and the real DLL under Wine: the media library, the rating commands
// and patterns in one script session and again in a second process, and the properties window.
#include <gtest/gtest.h>

#include "minihost/host/properties_window.h"
#include "tests/component/wave_builder.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

void write_song(const std::string& path, const std::vector<std::pair<std::string, std::string>>& tags) {
    write_file(path, {wave_file(wave_shape{}, bytes_t(64, 0), tags)});
}

TEST(RatingCommands, RatingsSurviveTheSessionInTheIndexFilesAndGoWithTheLibrary) {
    scratch_folder folder("rating-wine");
    std::filesystem::create_directories(zorb::native_path(folder.file("songs")));
    const std::string a1 = folder.file("songs\\a1.wav"), a2 = folder.file("songs\\a2.wav");
    write_song(a1, {{"IART", "Ann"}, {"INAM", "One"}, {"IPRD", "First"}});
    write_song(a2, {{"IART", "Ann"}, {"INAM", "Two"}, {"IPRD", "First"}});
    const std::string profile = "--profile " + folder.file("profile") + " ";
    const std::string pattern = "\"%kiv_sample_track_rating% %kiv_sample_album_comment%\"";

    const std::string script = folder.file("rate.txt");
    const std::string cycle = "context run \"Cycle track rating\" " + a1 + "\n";
    std::ofstream(zorb::native_path(script), std::ios::binary) << "library add " + folder.file("songs") + "\n" + cycle +
                                                                      cycle + "context run \"Cycle album comment\" " +
                                                                      a1 + "\nformat " + pattern + " " + a1 + "\n";
    const minihost_run first = run_minihost_with_status(profile + "script " + script, true);
    EXPECT_EQ(first.status, 0) << first.output;
    EXPECT_TRUE(contains(first.output, "2 tracks added\n"));
    EXPECT_EQ(count_of(first.output, "[kiv_sample rating] 1 entries updated\n"), 3u) << first.output;
    EXPECT_TRUE(contains(first.output, "\n2 kiv\n"));

    const minihost_run second = run_minihost_with_status(profile + "format " + pattern + " " + a1 + " " + a2, true);
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_TRUE(contains(second.output, "\n2 kiv\n? kiv\n"));
    const std::string properties = run_minihost(profile + "properties " + a1 + " " + a2);
    EXPECT_TRUE(contains(properties, "  Average Track Rating: 2.000\n"));

    const std::string listed = run_minihost(profile + "library list");
    EXPECT_TRUE(contains(listed, a1 + "\n" + a2 + "\n2 tracks in the library\n"));
    const minihost_run removed = run_minihost_with_status(profile + "library remove " + folder.file("songs"));
    EXPECT_EQ(removed.status, 0) << removed.output;
    EXPECT_TRUE(contains(removed.output, "\n2 files removed\n"));
    EXPECT_TRUE(contains(run_minihost(profile + "library list"), "0 tracks in the library\n"));
}

TEST(PropertiesWindow, ListsEachGroupOnceAboveItsRowsAndCloses) {
    minihost::CPropertiesWindow window({{"Metadata", 0, "artist", "Ann"},
                                        {"Metadata", 1, "title", "<various>"},
                                        {"Sample Component", 0, "Average Track Rating", "1.500"},
                                        {"Sample Component", 13, "Album Comment", "kiv"}});
    window.create(nullptr, false);
    // A caption and a frame around the client area.
    RECT outer, client;
    GetWindowRect(static_cast<HWND>(window.window()), &outer);
    GetClientRect(static_cast<HWND>(window.window()), &client);
    EXPECT_GE(outer.bottom - outer.top - client.bottom, GetSystemMetrics(SM_CYCAPTION));
    HWND list = static_cast<HWND>(window.list());
    const std::vector<std::pair<std::string, std::string>> expected = {{"Metadata", ""},
                                                                       {"    artist", "Ann"},
                                                                       {"    title", "<various>"},
                                                                       {"Sample Component", ""},
                                                                       {"    Average Track Rating", "1.500"},
                                                                       {"    Album Comment", "kiv"}};
    std::vector<std::pair<std::string, std::string>> shown;
    for (int row = 0; row < int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); ++row)
        shown.emplace_back(list_cell(list, row, 0), list_cell(list, row, 1));
    EXPECT_EQ(shown, expected);
    SendMessageW(static_cast<HWND>(window.window()), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(window.window(), nullptr);
}

TEST(PropertiesWindow, TheCommandShowsItAndEndsWhenClosed) {
    scratch_folder folder("properties-window");
    const std::string song = folder.file("a1.wav");
    write_song(song, {{"IART", "Ann"}});
    const std::string profile = "--profile " + folder.file("profile") + " ";
    const minihost_run shown = run_minihost_with_status(profile + "properties --window --close-after 1 " + song, true);
    EXPECT_EQ(shown.status, 0) << shown.output;
    const minihost_run refused = run_minihost_with_status(profile + "properties --window --close-after " + song, true);
    EXPECT_TRUE(contains(refused.output, "--close-after needs a number of seconds"));
    EXPECT_NE(refused.status, 0);
}

}  // namespace
