#include "minihost/app/playback_commands.h"

#include <cstdio>

#include "host/filesystem.h"
#include "minihost/app/dsp_commands.h"
#include "minihost/host/dsp_chain.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/titleformat.h"
#include "minihost/host/window_session.h"

namespace minihost {
namespace {

const char* stop_reason_text(int reason) {
    switch (reason) {
        case play_stop_user:
            return "stopped";
        case play_stop_eof:
            return "end of playlist";
        case play_stop_starting_another:
            return "starting another";
        case play_stop_shutting_down:
            return "shutting down";
        default:
            return "unknown reason";
    }
}

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

void play_event_printer::line(const std::string& text) {
    out_ << "[playback] " << text << '\n';
    out_.flush();
}

std::string play_event_printer::track_text(metadb_handle* track) {
    if (track == nullptr) return "[invalid location]";
    zorb::string8 display;
    filesystem::g_get_display_path(api_, track->get_path(), display);
    std::string text = "\"" + std::string(display.get_ptr()) + "\"";
    if (track->get_subsong_index() != 0) text += " / index: " + std::to_string(track->get_subsong_index());
    return text;
}

void play_event_printer::on_playback_starting(int command, bool paused) {
    line("starting: command " + std::to_string(command) + (paused ? ", paused" : ""));
}
void play_event_printer::on_playback_new_track(metadb_handle* track) { line("new track: " + track_text(track)); }
void play_event_printer::on_playback_stop(int reason) { line(std::string("stop: ") + stop_reason_text(reason)); }
void play_event_printer::on_playback_seek(double seconds) { line("seek: " + number_text(seconds)); }
void play_event_printer::on_playback_pause(bool paused) { line(paused ? "pause: on" : "pause: off"); }
void play_event_printer::on_playback_edited(metadb_handle* track) { line("edited: " + track_text(track)); }
void play_event_printer::on_playback_dynamic_info(const file_info&) { line("dynamic info"); }
void play_event_printer::on_playback_dynamic_info_track(const file_info&) { line("dynamic track info"); }
void play_event_printer::on_playback_time(double seconds) { line("time: " + titleformat::format_duration(seconds)); }
void play_event_printer::on_volume_change(float decibels) { line("volume: " + number_text(decibels) + " dB"); }

bool parse_playback_arguments(const arguments_t& arguments, playback_options& options, std::string& error) {
    options = {};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--fast") {
            options.fast = true;
        } else if (argument == "--seconds") {
            double seconds = 0;
            if (i + 1 == arguments.size() || !parse_number(arguments[i + 1], seconds) || !(seconds > 0)) {
                error = "--seconds needs a number above 0";
                return false;
            }
            options.seconds = seconds;
            ++i;
        } else if (argument == "--menu" || argument == "--close-after") {
            if (i + 1 == arguments.size()) {
                error = argument + " needs a value";
                return false;
            }
            const std::string& value = arguments[++i];
            if (argument == "--menu") {
                options.menu = value;
            } else if (!parse_number(value, options.close_after) || !(options.close_after > 0)) {
                error = "--close-after needs a number of seconds above 0";
                return false;
            }
        } else if (argument.starts_with("--")) {
            error = "unexpected argument " + argument;
            return false;
        } else {
            options.files.push_back(argument);
        }
    }
    if (options.files.empty()) {
        error = "playback needs a file";
        return false;
    }
    return true;
}

int playback_command(command_context& context, const arguments_t& arguments) {
    playback_options options;
    std::string error;
    if (!parse_playback_arguments(arguments, options, error)) throw usage_error(error);
    host& running = context.running;
    abort_callback_dummy abort;
    metadb_handle_list playlist;
    int status = 0;
    for (const std::string& path : options.files) {
        std::string failure;
        const metadb_handle_list tracks = running.tracks().add_file(path, abort, failure);
        if (!failure.empty()) {
            std::fprintf(stderr, "minihost: %s: %s\n", path.c_str(), failure.c_str());
            status = 1;
            continue;
        }
        for (const metadb_handle_ptr& track : tracks) playlist.add_item(track);
    }
    if (playlist.empty()) return 1;

    dsp_chain chain(running);
    load_play_chain(running, {}, running.profile().dsp_chain_file(), chain);
    std::unique_ptr<audio_output> output = options.fast ? make_fast_output() : make_system_output();
    if (!output) output = make_silent_output();

    playback_engine& engine = running.playback();
    play_event_printer printer(running, context.out);
    engine.set_playlist(playlist);
    engine.set_dsp_chain(&chain);
    engine.set_output(std::move(output));
    engine.set_time_limit(options.seconds);
    engine.register_callback(&printer, ~0u, false);
    try {
        engine.start(play_command_default, false);
        if (!options.menu.empty()) {
            run_menu_command(find_menu_command(build_main_menu(running), options.menu, "main-menu command"),
                             options.menu);
            close_windows_after(options.close_after);
        }
        // The windows a command opened live on: playback goes on, paused or ended, until they close.
        for (;;) {
            const bool played = engine.step();
            const bool windows_open = pump_window_messages();
            if (played) continue;
            if (!windows_open) break;
            wait_for_window_messages(50);
        }
        engine.stop(play_stop_user);  // a callback that paused it leaves it paused: it ends here
    } catch (...) {
        engine.stop(play_stop_user);
        engine.unregister_callback(&printer);
        engine.set_dsp_chain(nullptr);
        throw;
    }
    context.out << "[playback] " << engine.frames_played() << " frames played\n";
    engine.unregister_callback(&printer);
    engine.set_dsp_chain(nullptr);
    engine.set_time_limit(0);
    return status;
}

}  // namespace minihost
