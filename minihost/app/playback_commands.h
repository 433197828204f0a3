// minihost.exe playback: a playlist played through the host's player, its events printed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/playback.h"
#include "minihost/app/command_line.h"

namespace minihost {

// FILE... [--seconds N] [--fast] [--menu PATH] [--close-after S]
int playback_command(command_context& context, const arguments_t& arguments);

struct playback_options {
    std::vector<std::string> files;  // UTF-8 paths, played in this order
    double seconds = 0;              // stop after this much audio; 0: when the playlist ends
    bool fast = false;               // as fast as decoding goes, instead of in real time
    std::string menu;                // the main-menu command run once playback has started; none when empty
    double close_after = 0;          // seconds after which the windows opened close; 0: they stay
};

// False with `error` set when the arguments make no valid playback command.
bool parse_playback_arguments(const arguments_t& arguments, playback_options& options, std::string& error);

// Prints every play event as a line "[playback] EVENT: DETAILS" to `out` at once.
class play_event_printer final : public play_callback {
public:
    play_event_printer(host_api& api, std::ostream& out) : api_(api), out_(out) {}

    void on_playback_starting(int command, bool paused) override;
    void on_playback_new_track(metadb_handle* track) override;
    void on_playback_stop(int reason) override;
    void on_playback_seek(double seconds) override;
    void on_playback_pause(bool paused) override;
    void on_playback_edited(metadb_handle* track) override;
    void on_playback_dynamic_info(const file_info& info) override;
    void on_playback_dynamic_info_track(const file_info& info) override;
    void on_playback_time(double seconds) override;
    void on_volume_change(float decibels) override;

private:
    void line(const std::string& text);
    std::string track_text(metadb_handle* track);

    host_api& api_;
    std::ostream& out_;
};

}  // namespace minihost
