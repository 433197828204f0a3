#include "sample/commands/playback_state.h"

#include "helpers/client.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "zorb/exception.h"

namespace ambrel {

namespace {

// False, and `out` empty, when `pattern` does not compile.
bool compiles(titleformat_compiler& compiler, service_ptr_t<titleformat_object>& out, const char* pattern) {
    try {
        compiler.compile(out, pattern);
        return true;
    } catch (const zorb::exception&) {
        out.reset();
        return false;
    }
}

}  // namespace

std::string playback_state_line::render(const std::string& pattern) {
    if (!compiled_) {
        auto compiler = service_lookup_one_t<titleformat_compiler>(host());
        if (!compiles(*compiler, compiled_, pattern.c_str()) && !compiles(*compiler, compiled_, "<ERROR>"))
            uBugCheck("kiv_ambrel: the playback state's fallback pattern does not compile");
    }
    zorb::string8 text;
    if (control_->playback_format_title(nullptr, text, compiled_, nullptr, 3)) return text.get_ptr();
    return control_->is_playing() ? "Opening..." : "Stopped.";
}

bool press_playback_button(int id, playback_control& control) {
    switch (id) {
        case playback_button_play:
            control.start(play_command_default, false);
            return true;
        case playback_button_pause:
            control.pause(!control.is_paused());
            return true;
        case playback_button_stop:
            control.stop();
            return true;
        case playback_button_previous:
            control.start(play_command_previous, false);
            return true;
        case playback_button_next:
            control.start(play_command_next, false);
            return true;
        case playback_button_random:
            control.start(play_command_random, false);
            return true;
        default:
            return false;
    }
}

bool playback_menu_status(unsigned id, contextmenu_manager* host_menu, std::string& out) {
    if (id == playback_menu_test_command) {
        out = "This is a test command.";
        return true;
    }
    zorb::string8 description;
    if (id < playback_menu_host_base || host_menu == nullptr ||
        !host_menu->get_description_by_id(id - playback_menu_host_base, description))
        return false;
    out = description.get_ptr();
    return true;
}

}  // namespace ambrel
