// The host's player: a playlist played track after track through the inputs, the DSP chain, the
// capture callbacks and an audio output, with the playback control, the play callbacks and their
// manager and the stream capture as its services (patterns come from the host's compiler,
// track_format.h).
//
// Whoever plays drives it: each step() decodes and plays one chunk on the calling thread, which is
// the host's main thread, so the play callbacks hear every event there, in order, as it happens.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/input.h"
#include "host/playback.h"
#include "minihost/host/host_records.h"

namespace minihost {

class dsp_chain;
class track_cache;

// Where played audio goes: interleaved 16-bit samples.
class audio_output {
public:
    virtual ~audio_output() = default;
    // Plays `frames` frames; may block while the output is ahead of real time. Raises
    // velmora_io::exception_io when the device fails.
    virtual void write(const int16_t* samples, size_t frames, unsigned rate, unsigned channels) = 0;
    // Holds or resumes what is queued.
    virtual void pause(bool paused) { (void)paused; }
    // Drops what is queued (at stop).
    virtual void flush() {}
};

// Takes every chunk at once: playing as fast as decoding goes (for tests and rendering).
std::unique_ptr<audio_output> make_fast_output();
// Plays nothing but keeps real time, for machines without a sound device.
std::unique_ptr<audio_output> make_silent_output();
// The system's wave output; null when the system has no output device.
std::unique_ptr<audio_output> make_system_output();

// Seconds of a frame count at `rate`; 0 when the rate is 0.
double frames_to_seconds(uint64_t frames, unsigned rate);

class playback_engine {
public:
    playback_engine(host_api& api, track_cache& tracks);
    ~playback_engine();
    playback_engine(const playback_engine&) = delete;
    playback_engine& operator=(const playback_engine&) = delete;

    // The services the host registers: playback_control, play_callback_manager,
    // playback_stream_capture (one each).
    service_ptr control_service();
    service_ptr callback_manager_service();
    service_ptr capture_service();

    // The tracks start chooses from; the cursor goes to `first` (the first track when it is past the
    // end). Stops nothing.
    void set_playlist(const metadb_handle_list& tracks, size_t first = 0);
    const metadb_handle_list& playlist() const { return playlist_; }
    // The DSPs the chunks go through (may be null: none); kept by the caller while playing.
    void set_dsp_chain(dsp_chain* chain) { chain_ = chain; }
    void set_output(std::unique_ptr<audio_output> output);
    // Playback stops (as asked by the user) once this many seconds were played since start, over
    // every track, to the frame: 5 seconds of a 44100 Hz stream are 220500 frames. 0: no limit.
    void set_time_limit(double seconds) { time_limit_ = seconds; }

    // The component's static play callbacks, taken once its services are up and dropped before
    // they end.
    void attach_static_callbacks();
    void detach_static_callbacks();

    // Plays one chunk of the track playing: decode, DSP chain, capture callbacks, output, and the
    // events that follow (time, next track, end of the playlist). False when nothing plays or it is
    // paused. A track that fails to decode is reported on standard error and skipped.
    bool step();

    // The playback control's operations.
    void start(int command, bool paused);
    void stop(int reason);
    void pause(bool paused);
    bool is_playing() const { return static_cast<bool>(decoder_) || opening_; }
    bool is_paused() const { return paused_ && is_playing(); }
    metadb_handle_ptr now_playing() const { return is_playing() ? playing_ : metadb_handle_ptr(); }
    double position() const;
    uint64_t frames_played() const { return frames_played_; }
    // The pattern over the track playing: false when nothing plays or it is still opening.
    bool format_title(const service_ptr_t<titleformat_object>& pattern, std::string& out);

    // The play callback manager's and the stream capture's operations.
    void register_callback(play_callback* callback, unsigned flags, bool forward_state);
    void unregister_callback(play_callback* callback);
    void add_capture(playback_stream_capture_callback* callback);
    void remove_capture(playback_stream_capture_callback* callback);

private:
    struct registration {
        play_callback* callback;
        unsigned flags;
    };
    template <typename Event>
    void raise(unsigned flag, Event&& event);
    void deliver_capture(const audio_chunk& chunk);
    bool open_track(size_t index);
    void close_track();
    void end_playback(int reason);
    bool next_index(int command, size_t& index);

    host_api& api_;
    track_cache& tracks_;
    service_ptr control_, manager_, capture_;
    metadb_handle_list playlist_;
    size_t cursor_ = 0;  // the playlist index that start(default) plays
    dsp_chain* chain_ = nullptr;
    std::unique_ptr<audio_output> output_;
    double time_limit_ = 0;

    metadb_handle_ptr playing_;
    service_ptr_t<input_decoder> decoder_;
    bool opening_ = false;  // between the starting and the new-track events
    bool paused_ = false;
    uint64_t track_frames_ = 0;     // played of the track playing
    unsigned track_rate_ = 0;       // its rate, for the time
    uint64_t frames_played_ = 0;    // since start, over every track
    double seconds_played_ = 0;     // the same in seconds, each chunk at its rate
    uint64_t next_time_event_ = 0;  // the whole second the next time event reports
    audio_chunk_impl chunk_;
    std::vector<int16_t> pcm_;
    size_t tracks_observer_ = 0;

    std::vector<registration> callbacks_;
    std::vector<service_ptr_t<play_callback_static>> static_callbacks_;
    // Held while a chunk goes to the capture callbacks, so that removing one waits for its call.
    std::recursive_mutex capture_mutex_;
    std::vector<playback_stream_capture_callback*> captures_;
};

}  // namespace minihost
