// The playback bar of minihost's main window: a band above the playlist with the buttons Play,
// Pause, Stop, Previous, Next and Random and a line that shows what plays and where it is (no
// seeking). Play plays the playlist from its first selected track (the first one without a
// selection) through the host's player, its DSP chain and the sound card (or, without one, a
// silent output that keeps real time). The player is driven from the window's timer, so the
// window, its menus and the component's windows stay live while music plays.
#pragma once

#include <memory>
#include <string>

#include "minihost/host/dsp_chain.h"
#include "minihost/host/host.h"

namespace minihost {

class CMainWindow;

// The position line: "Stopped.", or "Playing: NAME  0:05 / 0:31" (" / length" only when it is
// known; "Paused: ..." while paused).
std::string playback_position_text(const std::string& name, bool playing, bool paused, double seconds,
                                   double length);

class CPlaybackBar {
public:
    // The buttons' ids, in their order on the bar.
    static constexpr int play_id = 300, pause_id = 301, stop_id = 302, previous_id = 303, next_id = 304,
                         random_id = 305, position_id = 306;

    // `chain` (kept by the caller, may be null) is the DSP chain played through.
    CPlaybackBar(host& running, CMainWindow& main, dsp_chain* chain);
    ~CPlaybackBar();
    CPlaybackBar(const CPlaybackBar&) = delete;
    CPlaybackBar& operator=(const CPlaybackBar&) = delete;

    // Creates the band in the main window (which must exist). Raises zorb::exception when it cannot.
    void create();
    // What a button does, by its id; false for an id that is no button.
    bool press(int id);
    // Plays on for up to `budget_ms` milliseconds of decoding, then brings the position line up to date.
    void play_on(unsigned budget_ms);

    host_window window() const { return window_; }
    const std::string& position_text() const { return position_; }

    intptr_t handle(unsigned message, uintptr_t wparam, intptr_t lparam);

private:
    void refresh_position();
    intptr_t handle_message(unsigned message, uintptr_t wparam, intptr_t lparam);

    host& running_;
    CMainWindow& main_;
    dsp_chain* chain_;
    host_window window_ = nullptr;
    std::string position_;
    bool output_set_ = false;
};

}  // namespace minihost
