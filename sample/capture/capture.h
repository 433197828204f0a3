// The playback stream capture: while on, everything the host plays goes into WAV files in a folder
// the user chose, a new file at every change of the stream's format and after every stop.
#pragma once

#include <string>

#include "host/identity.h"
#include "host/playback.h"
#include "sample/capture/wav_writer.h"

namespace ambrel {

// The chunks the host plays, written by the capture's writer. Called by the host's capture
// service, one chunk at a time, on the thread that plays.
class playback_stream_capture_callback_impl final : public playback_stream_capture_callback {
public:
    void on_chunk(const audio_chunk& chunk) override;
};

// Main thread. Asks for a folder (through the modal dialog guard) and starts, or stops when on.
void capture_toggle();
// Starts when off and the host is not shutting down, with files going to `folder`.
void capture_start(const std::string& folder);
// Stops when on: unregisters the callback, then closes the file. Raises what the close raises.
void capture_stop();
// Closes the file being written, if any; capture stays on and the next chunk starts a new one.
void capture_close_file();
// The folder the files go to; kept while the component lives.
const std::string& capture_folder();

// True when the host counts as shutting down: it says so while its services are up, or they were up
// and have ended.
bool host_is_shutting_down();

// "capture-" + a new random GUID in upper case + ".wav", in `folder` (joined by a backslash unless
// it ends in one).
std::string new_capture_path(const std::string& folder);

class initquit_psc : public initquit {
public:
    void on_init() override {}
    void on_quit() override { capture_stop(); }
};

// Hears only playback stopping, which closes the file.
class play_callback_psc : public play_callback_static, private play_callback_impl_base {
public:
    unsigned get_flags() override { return play_callback_flag_stop; }
    play_callback* get_callback() override { return this; }

private:
    void on_playback_stop(int) override { capture_close_file(); }
};

}  // namespace ambrel
