// The sample commands of the context and main menus in minihost's menus, the component in-process;
// those on the host's worker threads (copy, tag writes, peak scan) with the file locks they take.
#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <tuple>

#include "host/digest.h"
#include "host/file_info_impl.h"
#include "host/file_lock.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "sample/commands/capture_state.h"
#include "sample/commands/context_commands.h"
#include "sample/commands/file_commands.h"
#include "sample/commands/main_commands.h"
#include "sample/commands/peak_scan.h"
#include "tests/component/sample_fixture.h"

namespace {

using minihost::progress_change;
using namespace test_support;

std::string hex_of(const GUID& guid) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&guid);
    std::string text;
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) text += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return text;
}

class WorkerCommands : public test_support::component_test {
protected:
    WorkerCommands() : component_test("worker") {}
    void SetUp() override {
        host.add_service(console_receiver::class_guid, console);
        component_test::SetUp();
        console->clear();
        std::filesystem::create_directories(zorb::native_path(folder.file("out")));
    }

    // A file of `size` bytes counting up from 0, in the scratch folder; its track path.
    std::string make_file(const std::string& name, size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i);
        test_support::write_bytes(folder.file(name), bytes);
        return minihost::canonical_track_path(folder.file(name));
    }
    // Tracks made by the host for these locations; an empty path stands for a track that is gone.
    metadb_handle_list tracks(std::initializer_list<std::pair<std::string, uint32_t>> locations) {
        metadb_handle_list list;
        for (const auto& [path, subsong] : locations)
            list.add_item(path.empty() ? metadb_handle_ptr() : host.tracks().handle(path, subsong));
        return list;
    }
    // Runs the context item on the selection and waits for what it started, as a command does.
    void run(const std::string& item, const metadb_handle_list& selection, const std::string& chosen_folder = {}) {
        minihost::command_settings settings;
        settings.folder = chosen_folder;
        host.set_settings(settings);
        test_support::run_context_item(host, item, selection);
        host.processes().finish_all();
    }
    std::string shown(const std::string& track_path) { return minihost::local_path_of(track_path); }
    // A 16-bit stereo WAV file at 8000 Hz of `samples` with `tags`; its track path.
    std::string make_wav(const std::string& name, std::vector<int64_t> samples = std::vector<int64_t>(4000),
                         const test_support::tags_t& tags = {}) {
        test_support::wave_shape shape;
        shape.rate = 8000;
        return minihost::canonical_track_path(test_support::write_wav(folder.file(name), shape, samples, tags));
    }
    metadb_handle_list added(const std::string& path) { return test_support::added_tracks(host, path); }

    service_ptr_t<test_support::capture_console> console = test_support::make_capture_console();
    test_support::popup_recorder popups{host};
    test_support::progress_recorder progress{host};
};

using ComponentMenus = WorkerCommands;

TEST_F(WorkerCommands, CopyLogsEachFileOnceAndCopiesItWhole) {
    const std::string wav = make_file("a.wav", 300), empty = make_file("empty.txt", 0);
    run("Copy files", tracks({{empty, 0}, {wav, 0}, {wav, 1}}), folder.file("out"));
    std::string header = "Header bytes:";  // the first 256 of the 300 bytes
    for (int i = 0; i < 256; ++i) header += {' ', "0123456789ABCDEF"[i >> 4], "0123456789ABCDEF"[i & 15]};
    // The local time of the files is the machine's: only its form is checked.
    std::vector<std::string> lines = console->lines();
    for (std::string& line : lines)
        line = std::regex_replace(line, std::regex(R"(^Last modified: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d$)"),
                                  "Last modified: TIME");
    EXPECT_EQ(lines, (std::vector<std::string>{"File: " + shown(wav), "Size: 300 B", "Last modified: TIME",
                                               "Content type: audio/wav", header, "File is local",
                                               "File: " + shown(empty), "Size: 0 B", "Last modified: TIME",
                                               "Content type: text/plain", "File is local"}));
    EXPECT_EQ(test_support::read_bytes(folder.file("out/a.wav")), test_support::read_bytes(folder.file("a.wav")));
    EXPECT_TRUE(std::filesystem::exists(zorb::native_path(folder.file("out/empty.txt"))));
    EXPECT_EQ(
        progress.started(),
        (std::vector<test_support::progress_recorder::started_process>{{"Sample Component: Copying Files", 0x15}}));
    EXPECT_EQ(progress.values(progress_change::main), (std::vector<unsigned>{0, 2500}));
    EXPECT_EQ(progress.endings(), std::vector<bool>{false});
    EXPECT_TRUE(popups.popups().empty());
}

// The files it could not copy are named in a popup: tests/win/menu_test.cpp.
TEST_F(WorkerCommands, CopyLeavesAFileInItsOwnFolderAlone) {
    const std::string wav = make_file("a.wav", 40);
    // The folder as a person may give it, ending in its separator: the path is the file's own.
    run("Copy files", tracks({{wav, 0}}), folder.file("") + minihost::local_path_separator);
    ASSERT_FALSE(console->lines().empty());
    EXPECT_EQ(console->lines().back(), "Input and output paths are the same - not copying!");
    EXPECT_EQ(test_support::read_bytes(folder.file("a.wav")).size(), 40u);
    EXPECT_TRUE(popups.popups().empty());
}

TEST_F(WorkerCommands, CopyDoesNothingWithoutAFolderOrBesideAnOpenDialogAndAnAbortKeepsWhatItCopied) {
    const std::string first = make_file("1.wav", 100), second = make_file("2.wav", 100), third = make_file("3.wav", 0);
    run("Copy files", tracks({{first, 0}}));  // the command line's folder picker answers nothing
    ModalDialog_Switch(true);
    run("Copy files", tracks({{first, 0}}), folder.file("out"));
    ModalDialog_Switch(false);
    EXPECT_TRUE(progress.started().empty());
    EXPECT_TRUE(console->lines().empty());

    progress.abort_when = [&](const progress_change& change) { return change.text == shown(second); };
    run("Copy files", tracks({{third, 0}, {first, 0}, {second, 0}}), folder.file("out"));
    EXPECT_EQ(test_support::read_bytes(folder.file("out/1.wav")).size(), 100u);
    EXPECT_FALSE(std::filesystem::exists(zorb::native_path(folder.file("out/2.wav"))));
    EXPECT_FALSE(std::filesystem::exists(zorb::native_path(folder.file("out/3.wav"))));
    EXPECT_EQ(progress.endings(), std::vector<bool>{true});
}

TEST_F(WorkerCommands, TagWritesOfModulesFailPerTrackAndReportTheirCode) {
    const std::string song = minihost::canonical_track_path(test_support::demo_song("demo.mod"));
    run("Alter tags (low level)", tracks({{song, 0}, {song, 1}}));
    const std::string line = "\"" + shown(song) + "\"";
    EXPECT_EQ(popups.popups(), (std::vector<shown_popup>{{"Information",
                                                          "Could not update: " + line +
                                                              ", reason: Unsupported file format\n"
                                                              "Could not update: " +
                                                              line + " / index: 1, reason: Unexpected subsong index\n",
                                                          popup_icon_information}}));
    EXPECT_EQ(test_support::lines_starting(*console, "kiv_sample will"),
              (std::vector<std::string>{"kiv_sample will update tags on: " + line,
                                        "kiv_sample will update tags on: " + line + " / index: 1"}));

    run("Alter tags", tracks({{song, 0}}));
    EXPECT_EQ(console->lines().back(), "Tag update finished, code: 2");
    ASSERT_EQ(popups.popups().size(), 2u);
    EXPECT_EQ(popups.popups()[1].title, "Tag update");
}

TEST_F(WorkerCommands, ScanOfATrackWithoutLengthShowsNoSecondaryProgressAndStopsWhenAborted) {
    const std::string song = minihost::canonical_track_path(test_support::demo_song("demo.s3m"));
    std::atomic<bool> started{false};
    progress.abort_when = [&](const progress_change& change) {
        started = started || change.kind == progress_change::item;
        return false;
    };
    std::thread aborter([&] {
        while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        host.processes().abort_all();
    });
    run("Calculate peak", tracks({{song, 0}}));  // a module plays on until aborted
    aborter.join();
    EXPECT_EQ(progress.values(progress_change::secondary), std::vector<unsigned>{0});
    EXPECT_EQ(progress.endings(), std::vector<bool>{true});
    EXPECT_EQ(test_support::failure_text([] { ambrel::start_peak_scan({}); }), "Invalid parameters");
}

TEST_F(WorkerCommands, PeakScanReportsTheLargestSampleWithSevenDecimals) {
    const std::tuple<const char*, std::vector<int64_t>, const char*> cases[] = {
        {"silence", std::vector<int64_t>(4000), "0.0000000"},
        {"the lowest sample is full scale", {1, -32768, 32767, 0}, "1.0000000"}};
    size_t shown_before = 0;
    for (const auto& [name, samples, value] : cases) {
        SCOPED_TRACE(name);
        const std::string path = make_wav(std::string(name) + ".wav", samples);
        run("Calculate peak", added(path));
        ASSERT_EQ(popups.popups().size(), ++shown_before);
        EXPECT_EQ(popups.popups().back(),
                  (shown_popup{"Peak scan result",
                               std::string("Value: ") + value + "\n\nScanned items:\n\"" + shown(path) + "\"\n",
                               popup_icon_information}));
    }
    EXPECT_EQ(progress.started().front(),
              (test_support::progress_recorder::started_process{"Sample component: peak scan", 0x19}));
}

TEST_F(WorkerCommands, PeakScanOfThreeTracksListsEachAndMovesTheBarsByTrackAndTime) {
    const std::string loud = make_wav("loud.wav", {0, 20000, 0, 0}), quiet = make_wav("quiet.wav", {100, -200});
    // The second track is one the host has read nothing of: without a length its time bar stays.
    run("Calculate peak", {added(loud)[0], host.tracks().handle(quiet, 0), added(loud)[0]});
    EXPECT_EQ(progress.values(progress_change::main), (std::vector<unsigned>{0, 1666, 3333}));
    // Each of the two tracks of 2 frames at 8000 Hz is decoded in one block: its whole length.
    EXPECT_EQ(progress.values(progress_change::secondary), (std::vector<unsigned>{0, 5000, 0, 0, 5000}));
    const std::string line_loud = "\"" + shown(loud) + "\"\n";
    EXPECT_EQ(popups.popups(), (std::vector<shown_popup>{{"Peak scan result",
                                                          "Value: 0.6103516\n\nScanned items:\n" + line_loud + "\"" +
                                                              shown(quiet) + "\"\n" + line_loud,
                                                          popup_icon_information}}));
}

TEST_F(WorkerCommands, PeakScanStopsAtTheFirstTrackThatFailsAndShowsOnlyTheFailure) {
    const std::string good = make_wav("good.wav", {0, 1000}), later = make_wav("later.wav", {0, 2000});
    const std::string broken = folder.file("broken.wav");
    test_support::write_bytes(broken, test_support::riff({test_support::chunk("data", {1, 2, 3, 4})}));
    run("Calculate peak",
        {added(good)[0], host.tracks().handle(minihost::canonical_track_path(broken), 0), added(later)[0]});
    EXPECT_EQ(progress.values(progress_change::main), (std::vector<unsigned>{0, 1666}));
    ASSERT_EQ(popups.popups().size(), 1u);
    EXPECT_EQ(popups.popups()[0].icon, popup_icon_error);
    EXPECT_TRUE(popups.popups()[0].message.starts_with("Peak scan failure: ")) << popups.popups()[0].message;
    EXPECT_EQ(popups.popups()[0].message.find("Value"), std::string::npos);
}

TEST_F(WorkerCommands, BothTagCommandsWriteTheCommentKeepTheRestAndTellTheHost) {
    const struct {
        const char* item;
        const char* comment;
        const char* console_line;  // the command's last console line
    } cases[] = {{"Alter tags", "kiv_sample was here", "Tag update finished, code: 0"},
                 {"Alter tags (low level)", "kiv_sample lowlevel tags write demo was here", nullptr}};
    const std::vector<int64_t> samples(2000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        console->clear();
        const std::string path = make_wav("tagged.wav", samples, {{"INAM", "Title"}, {"ICMT", "old one"}});
        const metadb_handle_list selection = added(path),
                                 beside = added(make_wav("other.wav", samples, {{"INAM", "Other"}}));
        // The same track twice: written twice by the low-level command, once by the host. Each file
        // gets its own tracks' tags.
        run(c.item, {selection[0], selection[0], beside[0]});

        EXPECT_TRUE(popups.popups().empty());
        for (const auto& [track, title] : {std::pair{selection[0], "Title"}, std::pair{beside[0], "Other"}}) {
            file_info_impl cached;
            ASSERT_TRUE(track->get_info(cached));
            EXPECT_STREQ(cached.meta_get("comment", 0), c.comment);
            EXPECT_EQ(cached.meta_get("comment", 1), nullptr);  // the old one replaced
            EXPECT_STREQ(cached.meta_get("title", 0), title);
        }
        if (c.console_line) {
            EXPECT_EQ(console->lines(), std::vector<std::string>{c.console_line});
        } else {
            for (const char* lead : {"kiv_sample will update tags on: ", "Last-modified before tag update: ",
                                     "Last-modified after tag update: "})
                EXPECT_EQ(test_support::lines_starting(*console, lead).size(), 3u) << lead;
            EXPECT_EQ(progress.started().back(),
                      (test_support::progress_recorder::started_process{"Sample Component: Updating Tags", 0x15}));
        }
    }
}

TEST_F(WorkerCommands, AbortedLowLevelTagWriteStillHandsOverWhatItWrote) {
    const std::string first = make_wav("1.wav"), second = make_wav("2.wav");
    const metadb_handle_list one = added(first), two = added(second);
    progress.abort_when = [&](const progress_change& change) { return change.text == shown(second); };
    run("Alter tags (low level)", {one[0], two[0]});
    file_info_impl cached;
    ASSERT_TRUE(one[0]->get_info(cached));
    EXPECT_STREQ(cached.meta_get("comment", 0), "kiv_sample lowlevel tags write demo was here");
    ASSERT_TRUE(two[0]->get_info(cached));
    EXPECT_EQ(cached.meta_get("comment", 0), nullptr);
}

TEST_F(WorkerCommands, FileLocksShareReadingExcludeWritingAndRefuseToWaitForTheirOwnThread) {
    using mode = file_lock_manager::lock_mode;
    auto locks = service_lookup_one_t<file_lock_manager>(host);
    const std::string path = folder.file("locked.wav");
    // The same file named another way: a file:// URL with a redundant part.
    const std::string other_name = "file://" + folder.file("./locked.wav");
    abort_callback_dummy never;
    // Whether a request waits, on another thread, until the held lock goes.
    const std::tuple<mode, mode, bool> cases[] = {{file_lock_manager::mode_read, file_lock_manager::mode_read, false},
                                                  {file_lock_manager::mode_read, file_lock_manager::mode_write, true},
                                                  {file_lock_manager::mode_write, file_lock_manager::mode_read, true}};
    for (const auto& [held_mode, asked_mode, waits] : cases) {
        SCOPED_TRACE(testing::Message() << held_mode << " then " << asked_mode);
        service_ptr held = locks->acquire(path.c_str(), held_mode, never);
        std::atomic<bool> granted{false};
        std::thread other([&] {
            const service_ptr taken = locks->acquire(other_name.c_str(), asked_mode, never);
            granted = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(granted.load(), !waits);
        held.reset();
        other.join();
        EXPECT_TRUE(granted.load());
        // On the holder's own thread the request fails at once rather than wait for ever.
        held = locks->acquire(path.c_str(), held_mode, never);
        const std::string failure =
            test_support::failure_text([&] { locks->acquire(other_name.c_str(), asked_mode, never); });
        EXPECT_EQ(failure == "(no failure)", !waits) << failure;
        held.reset();
    }
    // A wait ends with the abort.
    const service_ptr writer = locks->acquire(path.c_str(), file_lock_manager::mode_write, never);
    std::string waited;
    std::thread other([&] {
        abort_callback_impl abort;
        std::thread aborter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            abort.abort();
        });
        waited = test_support::failure_text([&] { locks->acquire(path.c_str(), file_lock_manager::mode_read, abort); });
        aborter.join();
    });
    other.join();
    EXPECT_EQ(waited, "User abort");
}

TEST_F(ComponentMenus, TestCommandCountsTheSelectionAndWritesOneLinePerTrack) {
    const auto first_item = [&](const metadb_handle_list& selection) {
        const minihost::menu_node menu = minihost::build_context_menu(host, selection, contextmenu_caller_playlist);
        return menu.children.at(0).text + "/" + menu.children.at(0).children.at(0).text;
    };
    EXPECT_EQ(first_item(tracks({{"a.mod", 0}})), "Sample component/Test command : 1 item selected");
    EXPECT_EQ(first_item(tracks({{"a.mod", 0}, {"", 0}})), "Sample component/Test command : 2 items selected");

    run("Sample component/Test command",
        tracks({{"file://C:\\music\\a.mod", 0}, {"file://C:\\music\\b.xm", 2}, {"", 0}, {"ftp://x/c.s3m", 0}}));
    EXPECT_EQ(popups.popups(), (std::vector<shown_popup>{{"Blah",
                                                          "This is a test command.\nParameters:\n"
                                                          "\"C:\\music\\a.mod\"\n"
                                                          "\"C:\\music\\b.xm\" / index: 2\n"
                                                          "[invalid location]\n"
                                                          "\"ftp://x/c.s3m\"\n",
                                                          popup_icon_information}}));
    // A request for a node of the command other than the command itself does nothing.
    auto items = service_create_at_t<contextmenu_item>(host, 0);
    ASSERT_TRUE(items);
    items->item_execute_simple(0, contextmenu_caller_now_playing, tracks({{"a.mod", 0}}), contextmenu_caller_playlist);
    EXPECT_EQ(popups.popups().size(), 1u);
}

#ifndef _WIN32
// Without windows the demo windows cannot open (under Wine they do: tests/win/gui_test.cpp,
// dialog_test.cpp and threads_demo_test.cpp), and they say so instead of doing nothing.
TEST_F(ComponentMenus, DemoWindowsReportThatTheyAreNotImplementedWithoutWindows) {
    const metadb_handle_list selection = tracks({{"a.mod", 0}});
    EXPECT_EQ(test_support::failure_text([&] { run("UI and threads demo", selection); }), "Feature not implemented");
    for (const char* command : {"Playback state demo", "Simple CListControl demo", "Owner-data CListControl demo",
                                "Advanced CListControl demo"})
        EXPECT_EQ(failure_text([&] { run_main_command(host, command); }), "Feature not implemented") << command;
}
#endif

// The dynamic items run from the menu in tests/win/menu_test.cpp.
TEST_F(ComponentMenus, MainCommandsRunAndCaptureIsTickedWhileCaptureRuns) {
    test_support::run_main_command(host, "Sample component/Test command");
    EXPECT_EQ(popups.popups(),
              (std::vector<shown_popup>{{"Blah", "This is a sample menu command.", popup_icon_information}}));
    for (const bool active : {true, false}) {
        ambrel::set_capture_active(active);
        const minihost::menu_node menu = minihost::build_main_menu(host);
        const minihost::menu_node& capture = minihost::find_menu_command(menu, "Playback stream capture demo", "");
        EXPECT_EQ(capture.flags, active ? minihost::menu_flag_checked : 0u);
        EXPECT_EQ(minihost::find_menu_command(menu, "I/O test", "").flags, 0u);
    }
}

TEST_F(ComponentMenus, TheGroupsPrioritiesOrderTheBarAndHostCommandsCarryTheirDescriptions) {
    // Help's command comes first, yet Help stays last.
    host.host_commands().add({mainmenu_groups_help, GUID{1, 0, 0, {}}, "About", "", [] {}, {}});
    host.host_commands().add({mainmenu_groups_file, GUID{2, 0, 0, {}}, "Open", "Opens a file", [] {}, {}});
    const minihost::menu_node menu = minihost::build_main_menu(host);
    std::string bar;
    for (const minihost::menu_node& entry : menu.children) bar += entry.name + "|";
    EXPECT_EQ(bar, "File|Tools|Help|");
    EXPECT_EQ(minihost::find_menu_command(menu, "File/Open", "").description, "Opens a file");
    zorb::string8 description;
    EXPECT_FALSE(host.host_commands()
                     .service_for(mainmenu_groups_help)
                     .query_as<mainmenu_commands>()
                     ->get_description(0, description));
}

TEST_F(ComponentMenus, DynamicItemsAreDigestsOfTheirNumberSearchedDepthFirst) {
    service_ptr_t<mainmenu_commands_v2> dynamic;
    for (size_t i = 0; i < service_count_t<mainmenu_commands>(host) && !dynamic; ++i)
        if (auto commands = service_create_at_t<mainmenu_commands>(host, i).query_as<mainmenu_commands_v2>())
            if (commands->is_command_dynamic(0)) dynamic = commands;
    ASSERT_TRUE(dynamic);
    zorb::string8 shown;
    uint32_t flags = ~0u;
    EXPECT_TRUE(dynamic->get_display(0, shown, flags));
    EXPECT_EQ(flags, 0u);  // neither ticked nor greyed, whatever the caller's variable held
    service_ptr_t<mainmenu_node> group = dynamic->dynamic_instantiate(0);
    ASSERT_EQ(group->get_children_count(), 11u);
    EXPECT_EQ(group->get_child(9)->get_type(), mainmenu_node::type_separator);
    // MD5 of the number as 4 little-endian bytes, worked out apart from this code.
    EXPECT_EQ(hex_of(group->get_child(4)->get_guid()), "edcfae989540fd42e4b8556d5b723bb6");
    EXPECT_THROW(group->get_child(0)->get_child(0), zorb::exception_invalid_params);
    EXPECT_THROW(group->get_child(11), zorb::exception_invalid_params);

    EXPECT_TRUE(dynamic->dynamic_execute(0, group->get_child(10)->get_guid(), {}));
    EXPECT_FALSE(dynamic->dynamic_execute(0, GUID{}, {}));
    EXPECT_EQ(popups.popups(),
              (std::vector<shown_popup>{{"Information", "Invoked test menu item #6", popup_icon_information}}));
}

#ifndef _WIN32
// Under Wine the web client is WinHTTP's, against a loopback server (tests/win/menu_test.cpp).
TEST_F(ComponentMenus, NetworkTestWithoutAWebClientReportsTheMissingService) {
    test_support::run_main_command(host, "Sample component/I/O test");
    EXPECT_EQ(popups.popups(), (std::vector<shown_popup>{{"Information", "Network test failure:\nService not found",
                                                          popup_icon_information}}));
}

TEST(MenuIndexes, BeyondTheLastCommandAreProgrammingErrors) {
    zorb::string8 out;
    service_impl_single_t<ambrel::myitem> context;
    service_impl_single_t<ambrel::mainmenu_commands_sample> main;
    EXPECT_DEATH(context.get_item_name(6, out), "uBugCheck");
    EXPECT_DEATH(main.get_command(7), "uBugCheck");
    EXPECT_FALSE(main.get_description(7, out));
}
#endif

}  // namespace
