// The playback state demo: a modeless dialog that shows the host's playback as a line formatted by
// an editable pattern, drives playback with six buttons and shows the host's context menu for the
// playing track under a command of its own. The logic lives here; the dialog is
// playback_state_win32.cpp.
#pragma once

#include <string>

#include "host/contextmenu.h"
#include "host/playback.h"

namespace ambrel {

constexpr char playback_state_default_pattern[] =
    "%codec% | %bitrate% kbps | %samplerate% Hz | %channels% | %playback_time%[ / %length%]$if(%ispaused%, | "
    "paused,)";

// The dialog's state line: its pattern compiled once, until the pattern changes, and formatted
// against the playing track. User-interface thread.
class playback_state_line {
public:
    explicit playback_state_line(service_ptr_t<playback_control> control) : control_(std::move(control)) {}

    // The pattern was edited: the next render compiles it anew.
    void forget_pattern() { compiled_.reset(); }
    // The line for `pattern`: what it formats to against the playing track; "<ERROR>" when it does
    // not compile; "Opening..." while a track opens and "Stopped." when nothing plays.
    std::string render(const std::string& pattern);

private:
    service_ptr_t<playback_control> control_;
    service_ptr_t<titleformat_object> compiled_;
};

// The buttons' control ids.
constexpr int playback_button_play = 1004, playback_button_pause = 1005, playback_button_stop = 1006,
              playback_button_previous = 1007, playback_button_next = 1008, playback_button_random = 1009;

// Does what button `id` asks of `control`: true, or false when `id` is no playback button.
bool press_playback_button(int id, playback_control& control);

// The popup's own command and where the host's context menu starts in it.
constexpr unsigned playback_menu_test_command = 1, playback_menu_host_base = 2;

// The status-line text for the highlighted popup item `id`: the test command's text, or the
// description the host's menu `host_menu` (may be null: none) gives for its command. False when
// the item has none.
bool playback_menu_status(unsigned id, contextmenu_manager* host_menu, std::string& out);

// Opens a playback state dialog beside the host's main window; any number may be open. Raises
// zorb::exception_not_implemented where there are no windows.
void open_playback_state_demo();

}  // namespace ambrel
