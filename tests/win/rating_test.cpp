// Ratings through minihost.exe and the real DLL under Wine: the media library, the rating commands,
// patterns, the dump and the properties, in one script session and again in a second process.
#include <windows.h>
// The list view's declarations need the window types above.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "minihost/host/properties_window.h"
#include "tests/component/wave_builder.h"
#include "tests/win/component_run.h"
#include "zorb/unicode.h"

namespace {

using namespace test_support;

void write_song(const std::string& path, const std::vector<std::pair<std::string, std::string>>& tags) {
    const bytes_t file = wave_file(wave_shape{}, bytes_t(64, 0), tags);
    std::ofstream(zorb::native_path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(RatingCommands, RatingsSurviveTheSessionAndShowInTheDumpAndTheProperties) {
    scratch_folder folder("rating-wine");
    std::filesystem::create_directories(zorb::native_path(folder.file("songs")));
    const std::string a1 = folder.file("songs\\a1.wav"), a2 = folder.file("songs\\a2.wav");
    write_song(a1, {{"IART", "Ann"}, {"INAM", "One"}, {"IPRD", "First"}});
    write_song(a2, {{"IART", "Ann"}, {"INAM", "Two"}, {"IPRD", "First"}});
    const std::string profile = "--profile " + folder.file("profile") + " ";
    const std::string pattern = "\"%kiv_sample_track_rating% %kiv_sample_album_comment%\"";

    const std::string script = folder.file("rate.txt");
    std::ofstream(zorb::native_path(script), std::ios::binary)
        << "library add " + folder.file("songs") + "\n" + "context run \"Cycle track rating\" " + a1 + "\n" +
               "context run \"Cycle track rating\" " + a1 + "\n" + "context run \"Cycle album comment\" " + a1 + "\n" +
               "format " + pattern + " " + a1 + "\n";
    const minihost_run first = run_minihost_with_status(profile + "script " + script, true);
    EXPECT_EQ(first.status, 0) << first.output;
    EXPECT_NE(first.output.find("2 tracks added\n"), std::string::npos) << first.output;
    EXPECT_EQ(count_of(first.output, "[kiv_sample rating] 1 entries updated\n"), 3u) << first.output;
    EXPECT_NE(first.output.find("\n2 kiv\n"), std::string::npos) << first.output;

    const minihost_run second = run_minihost_with_status(profile + "format " + pattern + " " + a1 + " " + a2, true);
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("\n2 kiv\n? kiv\n"), std::string::npos) << second.output;

    const std::string dump = run_minihost(profile + "menu run \"Sample component/Dump rating database\"");
    EXPECT_NE(dump.find("[popup] kiv_sample rating dump: ==== TRACK RATING DUMP ====\n"
                        "The database contains 1 hashes.\n"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find(" : rating 2, 1 matching track(s)\n\"" + a1 + "\"\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find(" : no rating, comment: kiv, 2 matching track(s)\n\"" + a1 + "\"\n\"" + a2 + "\"\n"),
              std::string::npos)
        << dump;

    const std::string properties = run_minihost(profile + "properties " + a1 + " " + a2);
    EXPECT_NE(properties.find("Sample Component\n  Average Track Rating: 2.000\n  Minimum Track Rating: 2\n"
                              "  Maximum Track Rating: 2\n  Average Album Rating: N/A\n"
                              "  Minimum Album Rating: N/A\n  Maximum Album Rating: N/A\n  Album Comment: kiv\n"),
              std::string::npos)
        << properties;
    EXPECT_NE(properties.find("Metadata\n  artist: Ann\n  title: <various>\n  album: First\n"), std::string::npos)
        << properties;

    const std::string listed = run_minihost(profile + "library list");
    EXPECT_NE(listed.find(a1 + "\n" + a2 + "\n2 tracks in the library\n"), std::string::npos) << listed;
    const minihost_run removed = run_minihost_with_status(profile + "library remove " + folder.file("songs"));
    EXPECT_EQ(removed.status, 0) << removed.output;
    EXPECT_NE(removed.output.find("\n2 files removed\n"), std::string::npos) << removed.output;
    EXPECT_NE(run_minihost(profile + "library list").find("0 tracks in the library\n"), std::string::npos);
}

std::string cell(HWND list, int row, int column) {
    wchar_t text[256] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return zorb::utf8_from_wide(text);
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
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), LRESULT(expected.size()));
    for (size_t row = 0; row < expected.size(); ++row) {
        EXPECT_EQ(cell(list, int(row), 0), expected[row].first) << row;
        EXPECT_EQ(cell(list, int(row), 1), expected[row].second) << row;
    }
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
    EXPECT_NE(refused.output.find("--close-after needs a number of seconds"), std::string::npos) << refused.output;
    EXPECT_NE(refused.status, 0);
}

}  // namespace
