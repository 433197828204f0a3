// minihost's own services and command line around the menus: tracks, digests, menu trees, web
// mappings, script lines and the process runner.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <thread>

#include "host/digest.h"
#include "host/file_info_impl.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "minihost/app/command_line.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/menu_tree.h"
#include "minihost/host/threaded_process.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"

namespace {

using minihost::menu_node;
using test_support::started_host;

TEST(Tracks, OneHandlePerLocationWithTheInformationOfItsInput) {
    started_host run("tracks");
    minihost::track_cache& tracks = run.host.tracks();
    const std::string song = minihost::canonical_track_path(test_support::demo_song("demo.xm"));
    EXPECT_EQ(tracks.handle(song, 0).get(), tracks.handle(song, 0).get());
    EXPECT_NE(tracks.handle(song, 0).get(), tracks.handle(song, 1).get());

    metadb_handle_list changed;
    const size_t observer = tracks.add_observer([&](const metadb_handle_list& list) { changed = list; });
    std::string failure = "stale";
    abort_callback_dummy abort;
    const metadb_handle_list added = tracks.add_file(song, abort, failure);
    ASSERT_EQ(added.get_count(), 1u);
    EXPECT_EQ(added[0].get(), tracks.handle(song, 0).get());
    EXPECT_EQ(changed.get_count(), 1u);
    file_info_impl info;
    ASSERT_TRUE(added[0]->get_info(info));

    // What the host is told later replaces what it read, and observers hear of it.
    info.meta_set("title", "Told later");
    tracks.update(added[0], info);
    file_info_impl kept;
    ASSERT_TRUE(tracks.handle(song, 0)->get_info(kept));
    EXPECT_STREQ(kept.meta_get("title", 0), "Told later");
    // Read anew, the track has the input's information again.
    tracks.reload(added[0], abort);
    ASSERT_TRUE(added[0]->get_info(kept));
    EXPECT_EQ(kept.meta_get("title", 0), nullptr);
    tracks.remove_observer(observer);
    changed.remove_all();
    tracks.update(added[0], info);
    EXPECT_TRUE(changed.empty());
    // Components reach the same handles through the host's metadb service.
    metadb_handle_ptr through_service;
    service_lookup_one_t<metadb>(run.host)->handle_create(through_service, {song.c_str(), 0});
    EXPECT_EQ(through_service.get(), added[0].get());

    const metadb_handle_list missing = tracks.add_file(song + ".gone", abort, failure);
    EXPECT_NE(failure, "");
    ASSERT_EQ(missing.get_count(), 1u);
    EXPECT_FALSE(missing[0]->get_info(info));
}

TEST(Digest, MatchesTheReferenceVectorsWholeAndInParts) {
    started_host run("digest");
    auto hasher = service_lookup_one_t<hasher_md5>(run.host);
    // From the test suite of RFC 1321: empty, short, padding into a second block.
    const std::pair<std::string, const char*> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"}};
    for (const auto& [text, md5] : vectors) {
        for (size_t split : {size_t(0), text.size() / 3}) {
            auto state = hasher->create_state();
            state->process(text.data(), split);
            state->process(text.data() + split, text.size() - split);
            const digest_value digest = state->finish();
            std::string hex;
            for (uint8_t byte : digest.bytes) {
                char two[3];
                std::snprintf(two, sizeof two, "%02x", byte);
                hex += two;
            }
            EXPECT_EQ(hex, md5) << '"' << text << "\" split at " << split;
        }
    }
    auto spent = hasher->create_state();
    spent->finish();
    EXPECT_THROW(spent->finish(), zorb::exception);
    EXPECT_THROW(spent->process("a", 1), zorb::exception);
}

menu_node command(const std::string& name, int& runs, uint32_t flags = 0) {
    menu_node entry = minihost::menu_entry(menu_node::command);
    entry.text = entry.name = name;
    entry.flags = flags;
    entry.run = [&runs] { ++runs; };
    return entry;
}

menu_node popup(const std::string& name, std::vector<menu_node> children) {
    menu_node entry = minihost::menu_entry(menu_node::popup);
    entry.text = entry.name = name;
    entry.children = std::move(children);
    return entry;
}

TEST(MenuTree, PathsNameCommandsFromAnyLevelAndNamesMayHoldSlashes) {
    int runs = 0;
    menu_node root = popup("", {popup("A", {command("I/O test", runs), popup("B", {command("x", runs)})}),
                                popup("C", {command("x", runs), command("Off", runs, minihost::menu_flag_disabled)})});
    const std::pair<const char*, const char*> lookups[] = {
        {"I/O test", "(no failure)"}, {"B/x", "(no failure)"},
        {"A/B/x", "(no failure)"},    {"x", "x names several entries; give more of the path:\n  A/B/x\n  C/x"},
        {"A/B", "A/B is a sub-menu"}, {"A/x", "No command named A/x"}};
    for (const auto& [path, failure] : lookups)
        EXPECT_EQ(test_support::failure_text([&] { minihost::find_menu_command(root, path, "command"); }), failure)
            << path;
    minihost::run_menu_command(minihost::find_menu_command(root, "A/B/x", ""), "A/B/x");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(test_support::failure_text(
                  [&] { minihost::run_menu_command(minihost::find_menu_command(root, "Off", ""), "Off"); }),
              "Off is disabled");
    EXPECT_EQ(runs, 1);
}

TEST(MenuTree, PartsAreOrderedByPriorityAndEmptyGroupsLeftOut) {
    int runs = 0;
    const auto guid_of = [](uint32_t number) { return GUID{number, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}; };
    const GUID top = guid_of(1), popup_group = guid_of(2), section = guid_of(3), empty_group = guid_of(4),
               looped_a = guid_of(5), looped_b = guid_of(6);
    auto part_of = [&](const GUID& parent, double priority, std::vector<menu_node> entries) {
        minihost::menu_part part;
        part.parent = parent;
        part.priority = priority;
        part.entries = std::move(entries);
        return part;
    };
    auto group_of = [&](const GUID& guid, const GUID& parent, double priority, const char* popup_name) {
        minihost::menu_part part = part_of(parent, priority, {});
        part.is_group = true;
        part.guid = guid;
        part.popup = popup_name != nullptr;
        part.text = popup_name ? popup_name : "";
        return part;
    };
    const std::vector<minihost::menu_part> parts = {
        part_of(top, 5, {command("late", runs)}),
        group_of(popup_group, top, 1, "Popup"),
        part_of(popup_group, 0, {command("inside", runs)}),
        group_of(section, top, 2, nullptr),
        part_of(section, 0, {command("s1", runs), command("s2", runs)}),
        part_of(top, 1, {command("tied", runs)}),
        group_of(empty_group, top, 0, "Empty"),
        group_of(looped_a, looped_b, 0, "Loop A"),
        group_of(looped_b, looped_a, 0, "Loop B"),
        part_of(looped_a, 0, {command("lost", runs)}),
    };
    menu_node root = minihost::menu_entry(menu_node::popup);
    root.children = minihost::arrange_menu(parts, top);
    std::ostringstream out;
    minihost::print_menu_tree(root, out);
    EXPECT_EQ(out.str(), "Popup\n  inside\ntied\n----\ns1\ns2\n----\nlate\n");
}

TEST(WebMap, SplitsBeforeTheTargetUrlAndTheFirstMatchWins) {
    const std::tuple<const char*, bool, const char*, const char*> cases[] = {
        {"http://a/?x=1&y=2=https://b/?z=3", true, "http://a/?x=1&y=2", "https://b/?z=3"},
        {"http://a/=ftp://b/", false, "", ""}};
    for (const auto& [text, taken, from, to] : cases) {
        minihost::web_mapping mapping;
        std::string error;
        EXPECT_EQ(minihost::parse_web_mapping(text, mapping, error), taken) << text;
        if (taken) {
            EXPECT_EQ(mapping.from + " " + mapping.to, std::string(from) + " " + to);
        }
    }
    const std::vector<minihost::web_mapping> map = {{"http://a/", "http://to-a/"}, {"*", "http://any/"}};
    EXPECT_EQ(minihost::resolve_web_url(map, "http://a/"), "http://to-a/");
    EXPECT_EQ(minihost::resolve_web_url(map, "http://c/"), "http://any/");
    EXPECT_EQ(minihost::resolve_web_url({}, "http://c/"), "http://c/");
}

TEST(ScriptLines, WordsCommandsAndTheirOwnOptions) {
    using words_t = std::vector<std::string>;
    const std::pair<const char*, words_t> splits[] = {
        {"say \"he said \\\"hi\\\"\" \"\"", {"say", "he said \"hi\"", ""}}, {"say \\\" x", {"say", "\"", "x"}}};
    for (const auto& [text, expected] : splits) {
        words_t words;
        std::string error;
        ASSERT_TRUE(minihost::split_script_line(text, words, error)) << text;
        EXPECT_EQ(words, expected) << text;
    }
    std::vector<std::string> words;
    std::string error;
    EXPECT_FALSE(minihost::split_script_line("menu run \"open", words, error));

    minihost::script_line line;
    const std::pair<words_t, const char*> refusals[] = {
        {{"menu", "list", "--config", "x.cfg"}, "--config goes on minihost's own command line, not on a script line"},
        {{"script", "other.txt"}, "a script cannot run another script"},
        {{"frobnicate"}, "unknown command frobnicate"}};
    for (const auto& [words, refused] : refusals) {
        EXPECT_FALSE(minihost::parse_script_line(words, line, error));
        EXPECT_EQ(error, refused);
    }
}

// Work that ends in each way a process's run can end: what the runner reports under the process's
// title, and what on_done hears.
TEST(ProcessRunner, ReportsWhatRunRaisesUnderTheTitleButNotAnAbort) {
    enum class ending { returns, raises_text, raises_other, aborts };
    struct work : threaded_process_callback {
        explicit work(ending how) : how(how) {}
        void on_init(host_window) override {}
        void run(threaded_process_status&, abort_callback& abort) override {
            if (how == ending::raises_text) throw velmora_io::exception_io("Disk removed");
            if (how == ending::raises_other) throw 7;
            if (how == ending::aborts) {
                while (!abort.is_aborting()) std::this_thread::yield();
                abort.check();
            }
        }
        void on_done(host_window, bool was_aborted) override { aborted = was_aborted ? 1 : 0; }
        ending how;
        int aborted = -1;
    };
    const std::tuple<ending, const char*, int> endings[] = {{ending::returns, "", 0},
                                                            {ending::raises_text, "Copying: Disk removed", 0},
                                                            {ending::raises_other, "Copying: Unknown failure", 0},
                                                            {ending::aborts, "", 1}};
    test_support::started_host started("process-runner");
    for (const auto& [how, reported, aborted] : endings) {
        std::string heard;
        minihost::process_runner runner(
            started.host, [&](const std::string& title, const std::string& text) { heard += title + ": " + text; });
        service_ptr_t<work> callback(new service_impl_t<work>(how));
        ASSERT_TRUE(runner.start(callback, threaded_process::flag_show_abort, nullptr, "Copying", false));
        if (how == ending::aborts) {
            EXPECT_TRUE(runner.abort_all());
        }
        runner.finish_all();
        EXPECT_EQ(heard, reported);
        EXPECT_EQ(callback->aborted, aborted);
        EXPECT_EQ(runner.running(), 0u);
    }
}

// Nested opens are counted: the guard lifts only when the last one closes, and a close without an
// open does not lift a later open.
TEST(ModalDialogGuard, RefusesWhileADialogIsOpenAndIgnoresAnUnpairedClose) {
    ASSERT_TRUE(ModalDialog_CanCreateNew());
    ModalDialog_Switch(false);  // unpaired: ignored
    ModalDialog_Switch(true);
    ModalDialog_Switch(true);
    EXPECT_FALSE(ModalDialog_CanCreateNew());
    ModalDialog_PokeExisting();
    ModalDialog_Switch(false);
    EXPECT_FALSE(ModalDialog_CanCreateNew());
    ModalDialog_Switch(false);
    EXPECT_TRUE(ModalDialog_CanCreateNew());
}

}  // namespace
