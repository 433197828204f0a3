// The commands that work on the host's worker threads (copying files, the two tag writes, the
// peak scan), run from the context menu on files of the test's own, with the component in-process
// and what the processes show recorded; and the host's runner, file locks and shared functions
// they stand on.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <thread>
#include <tuple>

#include "host/file_info_impl.h"
#include "host/file_lock.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "sample/commands/file_commands.h"
#include "sample/commands/peak_scan.h"
#include "tests/component/sample_fixture.h"

namespace {

using minihost::progress_change;
using test_support::shown_popup;

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
    metadb_handle_list tracks(std::initializer_list<std::pair<std::string, uint32_t>> locations) {
        metadb_handle_list list;
        for (const auto& [path, subsong] : locations) list.add_item(host.tracks().handle(path, subsong));
        return list;
    }
    // Runs the context item on the selection and waits for what it started, as a command does.
    void run(const char* item, const metadb_handle_list& selection, const std::string& chosen_folder = {}) {
        minihost::command_settings settings;
        settings.folder = chosen_folder;
        host.set_settings(settings);
        test_support::run_context_item(host, item, selection);
        host.processes().finish_all();
    }
    std::string shown(const std::string& track_path) { return minihost::local_path_of(track_path); }
    // A 16-bit stereo WAV file of `samples` (a quarter second at 8000 Hz unless given), with
    // `tags`; its track path.
    std::string make_wav(const std::string& name, std::vector<int64_t> samples = std::vector<int64_t>(4000),
                         const test_support::tags_t& tags = {}) {
        test_support::wave_shape shape;
        shape.rate = 8000;
        return minihost::canonical_track_path(test_support::write_wav(folder.file(name), shape, samples, tags));
    }
    metadb_handle_list added(const std::string& path) { return test_support::added_tracks(host, path); }
    std::vector<std::string> lines_starting(const std::string& lead) {
        return test_support::lines_starting(*console, lead);
    }

    service_ptr_t<test_support::capture_console> console = test_support::make_capture_console();
    test_support::popup_recorder popups{host};
    test_support::progress_recorder progress{host};
};

TEST_F(WorkerCommands, CopyLogsEachFileOnceAndCopiesItWhole) {
    const std::string wav = make_file("a.wav", 300), empty = make_file("empty.txt", 0);
    run("Copy files", tracks({{empty, 0}, {wav, 0}, {wav, 1}}), folder.file("out"));
    std::string header;
    for (int i = 0; i < 256; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", i);
        header += byte;
    }
    // The local time of the files is the machine's: only its form is checked.
    std::vector<std::string> lines = console->lines();
    for (std::string& line : lines)
        line = std::regex_replace(line, std::regex(R"(^Last modified: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d$)"),
                                  "Last modified: TIME");
    EXPECT_EQ(lines, (std::vector<std::string>{"File: " + shown(wav), "Size: 300 B", "Last modified: TIME",
                                               "Content type: audio/wav", "Header bytes: " + header, "File is local",
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

TEST_F(WorkerCommands, CopyLeavesAFileInItsOwnFolderAloneAndNamesTheFilesItCouldNotCopy) {
    const std::string wav = make_file("a.wav", 40);
    // The folder as a person may give it, ending in its separator: the path is the file's own.
    run("Copy files", tracks({{wav, 0}}), folder.file("") + minihost::local_path_separator);
    ASSERT_FALSE(console->lines().empty());
    EXPECT_EQ(console->lines().back(), "Input and output paths are the same - not copying!");
    EXPECT_EQ(test_support::read_bytes(folder.file("a.wav")).size(), 40u);
    EXPECT_TRUE(popups.popups().empty());

    const std::string missing = minihost::canonical_track_path(folder.file("gone.wav"));
    run("Copy files", tracks({{missing, 0}, {wav, 0}}), folder.file("out"));
    EXPECT_EQ(
        popups.popups(),
        (std::vector<shown_popup>{{"Information", "Could not copy: " + shown(missing) + ", reason: Object not found\n",
                                   popup_icon_information}}));
    EXPECT_EQ(test_support::read_bytes(folder.file("out/a.wav")).size(), 40u);
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
    EXPECT_TRUE(popups.popups().empty());
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
    EXPECT_EQ(lines_starting("kiv_sample will"),
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
    EXPECT_TRUE(popups.popups().empty());
    EXPECT_EQ(test_support::failure_text([] { ambrel::start_peak_scan({}); }), "Invalid parameters");
}

TEST_F(WorkerCommands, PeakScanReportsTheLargestSampleWithSevenDecimals) {
    // Each case's name, its 16-bit samples and the value shown.
    const std::tuple<const char*, std::vector<int64_t>, const char*> cases[] = {
        {"silence", std::vector<int64_t>(4000), "0.0000000"},
        {"the lowest sample is full scale", {1, -32768, 32767, 0}, "1.0000000"},
        {"one step", {0, 1, -1, 0}, "0.0000305"}};
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
    EXPECT_EQ(popups.popups()[0].title, "Information");
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
        const std::string other = make_wav("other.wav", samples, {{"INAM", "Other"}});
        const metadb_handle_list selection = added(path), beside = added(other);
        // The same track twice: written twice by the low-level command, once by the host.
        run(c.item, {selection[0], selection[0], beside[0]});

        EXPECT_TRUE(popups.popups().empty());
        for (const auto& [track, title] : {std::pair{selection[0], "Title"}, std::pair{beside[0], "Other"}}) {
            file_info_impl cached;
            ASSERT_TRUE(track->get_info(cached));
            EXPECT_STREQ(cached.meta_get("comment", 0), c.comment);
            EXPECT_EQ(
                cached.meta_find("comment") == SIZE_MAX ? 0 : cached.meta_enum_value_count(cached.meta_find("comment")),
                1u);
            EXPECT_STREQ(cached.meta_get("title", 0), title);
        }
        if (c.console_line) {
            EXPECT_EQ(console->lines(), std::vector<std::string>{c.console_line});
        } else {
            for (const char* lead : {"kiv_sample will update tags on: ", "Last-modified before tag update: ",
                                     "Last-modified after tag update: "})
                EXPECT_EQ(lines_starting(lead).size(), 3u) << lead;
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
    EXPECT_TRUE(popups.popups().empty());
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

}  // namespace
