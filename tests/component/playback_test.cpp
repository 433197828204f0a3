// minihost's player (events, commands, time limit, the capture's hand-over) and the playback state
// demo's logic over it: the state line, the buttons and the status texts of its menu.
#include <gtest/gtest.h>

#include <tuple>

#include "host/service_lookup.h"
#include "sample/commands/playback_state.h"
#include "tests/component/sample_fixture.h"

namespace {

class event_log final : public play_callback {
public:
    void on_playback_starting(int command, bool paused) override {
        add("starting " + std::to_string(command) + (paused ? " paused" : ""));
    }
    void on_playback_new_track(metadb_handle* track) override {
        add("new track " + minihost::file_name_of(track->get_path()));
    }
    void on_playback_stop(int reason) override { add("stop " + std::to_string(reason)); }
    void on_playback_seek(double) override { add("seek"); }
    void on_playback_pause(bool paused) override { add(paused ? "pause on" : "pause off"); }
    void on_playback_edited(metadb_handle*) override { add("edited"); }
    void on_playback_dynamic_info(const file_info&) override { add("dynamic info"); }
    void on_playback_dynamic_info_track(const file_info&) override { add("dynamic track info"); }
    void on_playback_time(double seconds) override { add("time " + std::to_string(int(seconds))); }
    void on_volume_change(float) override { add("volume"); }

    std::vector<std::string> lines;
    std::function<void(const std::string&)> after;  // runs after each event is logged

private:
    void add(const std::string& line) {
        lines.push_back(line);
        if (after) after(line);
    }
};

class Playback : public test_support::component_test {
protected:
    Playback() : component_test("playback") {}
    void TearDown() override { host.stop(); }  // while the callbacks of the test still live

    void play(const std::vector<std::string>& paths) {
        metadb_handle_list list;
        for (const std::string& path : paths) list.add_item(host.tracks().handle(path, 0));
        engine().set_playlist(list);
    }
    minihost::playback_engine& engine() { return host.playback(); }
    void run_to_end() {
        while (engine().step()) {
        }
    }

    event_log log;
};

TEST_F(Playback, TracksPlayInOrderWithTimeEventsAndACallbackHearsOnlyTheEventsOfItsFlags) {
    play({ramp_wav("a.wav", 2, 8000, 8000 * 2 + 100), ramp_wav("b.wav", 1, 8000, 4000)});
    event_log filtered;
    engine().register_callback(&log, ~0u, false);
    engine().register_callback(&filtered, play_callback_flag_stop | play_callback_flag_new_track, false);
    engine().start(play_command_default, false);
    EXPECT_TRUE(engine().is_playing());
    run_to_end();
    EXPECT_FALSE(engine().is_playing());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"starting 1", "new track a.wav", "time 1", "time 2",
                                                   "new track b.wav", "stop 1"}));
    EXPECT_EQ(filtered.lines, (std::vector<std::string>{"new track a.wav", "new track b.wav", "stop 1"}));
    EXPECT_EQ(engine().frames_played(), 8000u * 2 + 100 + 4000);
    engine().unregister_callback(&filtered);
}

TEST_F(Playback, CommandsChooseTheTrack) {
    play({ramp_wav("a.wav", 1, 8000, 800), ramp_wav("b.wav", 1, 8000, 800), ramp_wav("c.wav", 1, 8000, 800)});
    engine().register_callback(&log, play_callback_flag_new_track | play_callback_flag_stop, false);
    // The track playing after each command; null: another one than b.
    const std::pair<int, const char*> steps[] = {{play_command_previous, "a.wav"},  // not playing: the cursor's track
                                                 {play_command_next, "b.wav"},     {play_command_next, "c.wav"},
                                                 {play_command_next, "c.wav"},  // nothing after the last: it plays on
                                                 {play_command_previous, "b.wav"}, {play_command_default, "b.wav"},
                                                 {play_command_random, nullptr}};
    for (const auto& [command, expected] : steps) {
        engine().start(command, false);
        const std::string playing = minihost::file_name_of(engine().now_playing()->get_path());
        if (expected) {
            EXPECT_EQ(playing, expected) << command;
        } else {
            EXPECT_NE(playing, "b.wav");
        }
    }
    // Replacing a track tells that it stops for another one.
    EXPECT_EQ(log.lines[1], "stop 2");
}

TEST_F(Playback, ACallbackUnregisteredDuringAnEventHearsNoMore) {
    play({ramp_wav("a.wav", 1, 8000, 8000 * 2)});
    event_log other;
    engine().register_callback(&log, ~0u, false);
    engine().register_callback(&other, ~0u, false);
    // The first one drops the second at the new track: the second hears the start only.
    log.after = [&](const std::string& line) {
        if (line.starts_with("new track")) engine().unregister_callback(&other);
    };
    engine().start(play_command_default, false);
    run_to_end();
    EXPECT_EQ(other.lines, (std::vector<std::string>{"starting 1"}));
    EXPECT_EQ(log.lines.back(), "stop 1");
}

// Counts chunks and removes itself from the capture at the third.
class self_removing_capture final : public playback_stream_capture_callback {
public:
    explicit self_removing_capture(playback_stream_capture& service) : service_(service) {}
    void on_chunk(const audio_chunk& chunk) override {
        frames += chunk.get_sample_count();
        if (++chunks == 3) service_.remove_callback(this);
    }
    size_t chunks = 0;
    uint64_t frames = 0;

private:
    playback_stream_capture& service_;
};

TEST_F(Playback, TheTimeLimitStopsAtExactlyThatManyFramesAndTheCaptureGetsEveryChunkUntilRemoved) {
    auto capture = service_lookup_one_t<playback_stream_capture>(host);
    self_removing_capture removing(*capture);
    capture->add_callback(&removing);
    capture->add_callback(&removing);  // once is enough
    play({ramp_wav("a.wav", 2, 44100, 44100), ramp_wav("b.wav", 2, 44100, 44100)});
    engine().register_callback(&log, play_callback_flag_stop, false);
    engine().set_time_limit(1.5);
    engine().start(play_command_default, false);
    run_to_end();
    EXPECT_EQ(engine().frames_played(), 66150u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"stop 0"}));
    EXPECT_EQ(removing.chunks, 3u);
    // What the capture got and what was played agree while it listened.
    EXPECT_LT(removing.frames, engine().frames_played());
}

class PlaybackState : public Playback {
protected:
    // Starts a stereo 44100 Hz WAV file of `seconds` and plays it for `played` seconds.
    void play_for(double seconds, double played) {
        play({ramp_wav("song.wav", 2, 44100, size_t(seconds * 44100))});
        engine().start(play_command_default, false);
        while (engine().position() < played && engine().step()) {
        }
    }
    ambrel::playback_state_line line() {
        return ambrel::playback_state_line(service_lookup_one_t<playback_control>(host));
    }
};

// The default pattern stopped, playing and paused: tests/win/dialog_test.cpp.
TEST_F(PlaybackState, TheLineShowsStoppedAnEmptyFormatOrAnError) {
    EXPECT_EQ(line().render(""), "Stopped.");
    play_for(3, 1.5);
    EXPECT_EQ(line().render(""), "");  // formats to nothing, which is not "not formatted"
    EXPECT_EQ(line().render("$if("), "<ERROR>");
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

TEST_F(Playback, EachStateButtonAsksItsCommandAndPauseTogglesAndHoldsThePlayer) {
    play({ramp_wav("a.wav", 1, 8000, 800), ramp_wav("b.wav", 1, 8000, 800)});
    engine().register_callback(&log, play_callback_flag_starting | play_callback_flag_pause, false);
    auto control = service_lookup_one_t<playback_control>(host);
    ambrel::press_playback_button(1004, *control);
    ambrel::press_playback_button(1005, *control);
    EXPECT_FALSE(engine().step());  // nothing plays while paused
    engine().pause(true);           // already so: no event
    // 1010, the context-menu area, is no playback button.
    for (const int id : {1005, 1006, 1007, 1008, 1009, 1010, 2})
        EXPECT_EQ(ambrel::press_playback_button(id, *control), id < 1010 && id > 2) << id;
    EXPECT_EQ(log.lines, (std::vector<std::string>{"starting 1", "pause on", "pause off", "starting 3", "starting 2",
                                                   "starting 5"}));
    EXPECT_FALSE(engine().is_paused());
}

TEST_F(PlaybackState, MenuItemsShowTheTestTextOrTheHostCommandsDescription) {
    auto manager = service_lookup_one_t<contextmenu_manager>(host);
    metadb_handle_list tracks;
    tracks.add_item(host.tracks().handle(folder.file("a.wav"), 0));
    manager->init_context(tracks, 0);
    zorb::string8 first;
    ASSERT_TRUE(manager->get_description_by_id(0, first));
    // The text shown for each id, with and without the host's menu; null: none.
    const std::tuple<unsigned, contextmenu_manager*, const char*> cases[] = {{1, nullptr, "This is a test command."},
                                                                             {2, manager.get(), first.get_ptr()},
                                                                             {2, nullptr, nullptr},
                                                                             {0, manager.get(), nullptr}};
    for (const auto& [id, menu, shown] : cases) {
        std::string text = "unchanged";
        EXPECT_EQ(ambrel::playback_menu_status(id, menu, text), shown != nullptr) << id;
        EXPECT_EQ(text, shown != nullptr ? shown : "unchanged") << id;
    }
}

}  // namespace
