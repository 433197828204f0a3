// The playback state demo's logic: the state line over minihost's player, the buttons' requests to
// the playback control and the status texts of its context menu.
#include <gtest/gtest.h>

#include <tuple>

#include "host/service_lookup.h"
#include "sample/commands/playback_state.h"
#include "tests/component/sample_fixture.h"

namespace {

class PlaybackState : public test_support::component_test {
protected:
    PlaybackState() : component_test("playback-state") {}
    void TearDown() override { host.stop(); }

    // Starts a 16-bit stereo 44100 Hz WAV file of `seconds` and plays it for `played` seconds.
    void play_for(double seconds, double played) {
        const std::string path =
            test_support::write_wav(folder.file("song.wav"), std::vector<int64_t>(size_t(seconds * 44100) * 2));
        metadb_handle_list list;
        list.add_item(host.tracks().handle(path, 0));
        host.playback().set_playlist(list);
        host.playback().start(play_command_default, false);
        while (host.playback().position() < played && host.playback().step()) {
        }
    }
    ambrel::playback_state_line line() {
        return ambrel::playback_state_line(service_lookup_one_t<playback_control>(host));
    }
};

TEST_F(PlaybackState, TheLineShowsWhatPlaysStoppedOrAnError) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {ambrel::playback_state_default_pattern, "Stopped.", "PCM | 1411 kbps | 44100 Hz | 2 | 0:01 / 0:03",
         "PCM | 1411 kbps | 44100 Hz | 2 | 0:01 / 0:03 | paused"},
        {"", "Stopped.", "", ""},  // formats to nothing, which is not "not formatted"
        {"$if(", "Stopped.", "<ERROR>", "<ERROR>"}};
    for (const auto& [pattern, stopped, playing, paused] : cases) {
        SCOPED_TRACE(pattern);
        ambrel::playback_state_line state = line();
        host.playback().stop(play_stop_user);
        EXPECT_EQ(state.render(pattern), stopped);
        play_for(3, 1.5);
        EXPECT_EQ(state.render(pattern), playing);
        host.playback().pause(true);
        EXPECT_EQ(state.render(pattern), paused);
    }
}

// Between the starting event and the new track the player plays nothing it can format yet. The
// pattern is compiled once: another text changes nothing until the edit is reported.
TEST_F(PlaybackState, TheLineSaysOpeningWhileTheTrackOpensAndCompilesAnEditedPatternOnlyOnceForgotten) {
    struct on_starting final : play_callback_impl_base {
        void on_playback_starting(int, bool) override { seen = state->render("%samplerate%"); }
        ambrel::playback_state_line* state = nullptr;
        std::string seen;
    } listener;
    ambrel::playback_state_line state = line();
    listener.state = &state;
    host.playback().register_callback(&listener, play_callback_flag_starting, false);
    play_for(1, 0.1);
    host.playback().unregister_callback(&listener);
    EXPECT_EQ(listener.seen, "Opening...");
    EXPECT_EQ(state.render("%samplerate%"), "44100");
    EXPECT_EQ(state.render("%channels%"), "44100");
    state.forget_pattern();
    EXPECT_EQ(state.render("%channels%"), "2");
}

// Records what the buttons ask.
class recording_control : public playback_control {
public:
    bool get_now_playing(metadb_handle_ptr& out) override {
        out = {};
        return false;
    }
    void start(int command, bool paused) override {
        calls.push_back("start " + std::to_string(command) + (paused ? " paused" : ""));
    }
    void stop() override { calls.push_back("stop"); }
    bool is_playing() override { return true; }
    bool is_paused() override { return paused_; }
    void pause(bool paused) override {
        calls.push_back(paused ? "pause" : "resume");
        paused_ = paused;
    }
    double playback_get_position() override { return 0; }
    bool playback_format_title(titleformat_hook*, zorb::string_base&, const service_ptr_t<titleformat_object>&,
                               titleformat_text_filter*, int) override {
        return false;
    }
    std::vector<std::string> calls;

private:
    bool paused_ = false;
};

TEST(PlaybackStateButtons, EachButtonAsksItsCommandAndPauseToggles) {
    // 1010, the context-menu area, is no playback button.
    const std::pair<int, const char*> cases[] = {
        {1004, "start 1"}, {1005, "pause"},   {1006, "stop"}, {1007, "start 3"},
        {1008, "start 2"}, {1009, "start 5"}, {1010, ""},     {2, ""}};
    for (const auto& [id, call] : cases) {
        service_impl_t<recording_control> control;
        EXPECT_EQ(ambrel::press_playback_button(id, control), *call != 0) << id;
        EXPECT_EQ(control.calls, *call ? std::vector<std::string>{call} : std::vector<std::string>{}) << id;
    }
    service_impl_t<recording_control> control;
    ambrel::press_playback_button(1005, control);
    ambrel::press_playback_button(1005, control);
    EXPECT_EQ(control.calls, (std::vector<std::string>{"pause", "resume"}));
    EXPECT_FALSE(control.is_paused());
}

TEST_F(PlaybackState, MenuItemsShowTheTestTextOrTheHostCommandsDescription) {
    auto manager = service_lookup_one_t<contextmenu_manager>(host);
    metadb_handle_list tracks;
    tracks.add_item(host.tracks().handle(folder.file("a.wav"), 0));
    manager->init_context(tracks, 0);
    zorb::string8 first;
    ASSERT_TRUE(manager->get_description_by_id(0, first));
    // The text shown for each id, with and without the host's menu; null: none.
    const std::tuple<unsigned, contextmenu_manager*, const char*> cases[] = {
        {1, nullptr, "This is a test command."},
        {1, manager.get(), "This is a test command."},
        {2, manager.get(), first.get_ptr()},
        {2, nullptr, nullptr},
        {0, manager.get(), nullptr},
        {100000, manager.get(), nullptr}};
    for (const auto& [id, menu, shown] : cases) {
        std::string text = "unchanged";
        EXPECT_EQ(ambrel::playback_menu_status(id, menu, text), shown != nullptr) << id;
        EXPECT_EQ(text, shown != nullptr ? shown : "unchanged") << id;
    }
}

}  // namespace
