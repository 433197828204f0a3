// Playback as the host offers it to components: the playback control, the play callbacks and their
// manager, the capture of the played stream and the integer conversion of audio chunks. The playback
// control formats with patterns of the title-formatting compiler (host/titleformat.h).
#pragma once

#include <cstdint>

#include "host/metadb.h"
#include "host/records.h"
#include "host/service.h"
#include "host/titleformat.h"
#include "zorb/string.h"

// Extra fields and a filter for formatting; the host offers none of its own and takes null.
class titleformat_hook;
class titleformat_text_filter;

// Why playback stopped, as on_playback_stop reports it.
enum play_stop_reason : int {
    play_stop_user = 0,              // stop was asked for
    play_stop_eof = 1,               // the last track of the playlist ended
    play_stop_starting_another = 2,  // another start replaces the track playing
    play_stop_shutting_down = 3,     // the host is quitting
};

// What start is asked to play.
enum play_command : int {
    play_command_default = 1,   // the track at the playlist's cursor (the first one at the start)
    play_command_next = 2,      // the one after the cursor
    play_command_previous = 3,  // the one before the cursor
    play_command_random = 5,    // any track of the playlist, another one than the cursor's when it can
};

// The events, one bit each in the flags a callback registers with.
constexpr unsigned play_callback_flag_starting = 1, play_callback_flag_new_track = 2, play_callback_flag_stop = 4,
                   play_callback_flag_seek = 8, play_callback_flag_pause = 16, play_callback_flag_edited = 32,
                   play_callback_flag_dynamic_info = 64, play_callback_flag_dynamic_info_track = 128,
                   play_callback_flag_time = 256, play_callback_flag_volume_change = 512;

// Hears what playback does. Called on the host's main thread, only for the events whose flags it
// registered with. Arguments are lent for the call. What an event raises is reported by the host
// and does not stop playback.
class play_callback {
public:
    virtual void on_playback_starting(int command, bool paused) = 0;
    virtual void on_playback_new_track(metadb_handle* track) = 0;
    virtual void on_playback_stop(int reason) = 0;  // a play_stop_reason
    virtual void on_playback_seek(double seconds) = 0;
    virtual void on_playback_pause(bool paused) = 0;
    // The playing track's information changed.
    virtual void on_playback_edited(metadb_handle* track) = 0;
    // The decoder reported new stream facts (bitrate, ...), or new track facts within the stream.
    virtual void on_playback_dynamic_info(const file_info& info) = 0;
    virtual void on_playback_dynamic_info_track(const file_info& info) = 0;
    // Once a second of playback: the time into the track in seconds.
    virtual void on_playback_time(double seconds) = 0;
    // The volume in decibels, 0 the loudest.
    virtual void on_volume_change(float decibels) = 0;

protected:
    ~play_callback() = default;
};

// A play_callback that ignores every event: derive and override the events wanted.
class play_callback_impl_base : public play_callback {
public:
    void on_playback_starting(int, bool) override {}
    void on_playback_new_track(metadb_handle*) override {}
    void on_playback_stop(int) override {}
    void on_playback_seek(double) override {}
    void on_playback_pause(bool) override {}
    void on_playback_edited(metadb_handle*) override {}
    void on_playback_dynamic_info(const file_info&) override {}
    void on_playback_dynamic_info_track(const file_info&) override {}
    void on_playback_time(double) override {}
    void on_volume_change(float) override {}

protected:
    ~play_callback_impl_base() = default;
};

// A component's callback that lives as long as the component: the host registers it at start.
class play_callback_static : public service_base {
public:
    static constexpr GUID class_guid = {0x51A3E68F, 0xCB91, 0x42B6, {0x90, 0x72, 0x42, 0x44, 0x49, 0x17, 0x09, 0x30}};
    using parent_t = service_base;

    // The play_callback_flag_... bits of the events it wants. Raises nothing.
    virtual unsigned get_flags() = 0;
    // The callback, alive as long as the service.
    virtual play_callback* get_callback() = 0;
};

// Registers callbacks for a while. A singleton; main thread. Raises nothing.
class play_callback_manager : public service_base {
public:
    static constexpr GUID class_guid = {0x78BCBFA1, 0xDFB9, 0x487F, {0xAB, 0x16, 0xCD, 0x82, 0xBF, 0x90, 0xCC, 0xF7}};
    using parent_t = service_base;

    // `callback` hears the events of `flags` until it is unregistered; with `forward_state` it first
    // hears the state playback is in (starting and new track when playing, pause when paused).
    virtual void register_callback(play_callback* callback, unsigned flags, bool forward_state) = 0;
    // From now on `callback` hears nothing, also when unregistered from within one of its events.
    virtual void unregister_callback(play_callback* callback) = 0;
};

// Drives playback. A singleton; main thread. Raises nothing unless an operation says so.
class playback_control : public service_base {
public:
    static constexpr GUID class_guid = {0xBF803668, 0x2977, 0x4C71, {0xB9, 0xAB, 0x5C, 0x77, 0xC3, 0x38, 0xC9, 0x70}};
    using parent_t = service_base;

    // The track playing into `out`: true, or false with `out` emptied when nothing plays.
    virtual bool get_now_playing(metadb_handle_ptr& out) = 0;
    // Starts the track that `command` (a play_command) chooses, paused or not; a command that
    // finds no track changes nothing.
    virtual void start(int command, bool paused) = 0;
    virtual void stop() = 0;
    virtual bool is_playing() = 0;
    virtual bool is_paused() = 0;
    // Pauses or resumes; nothing when not playing or already in that state.
    virtual void pause(bool paused) = 0;
    // Seconds played of the track playing; 0 when nothing plays.
    virtual double playback_get_position() = 0;
    // Formats `pattern` against the track playing with the playback fields (%playback_time%,
    // %ispaused%) beside the track's own: true with the text in `out`, or false (and `out` emptied)
    // when nothing plays or the track is still opening. `hook` and `filter` must be null;
    // `display_level` 0 .. 3 (3 shows everything).
    virtual bool playback_format_title(titleformat_hook* hook, zorb::string_base& out,
                                       const service_ptr_t<titleformat_object>& pattern,
                                       titleformat_text_filter* filter, int display_level) = 0;
};

// Receives every chunk the host plays, after its DSP chain, one call at a time on the thread that
// plays. The chunk is lent for the call. What it raises is reported by the host and ends nothing.
class playback_stream_capture_callback {
public:
    virtual void on_chunk(const audio_chunk& chunk) = 0;

protected:
    ~playback_stream_capture_callback() = default;
};

// The host's capture of the played stream. A singleton; main thread.
class playback_stream_capture : public service_base {
public:
    static constexpr GUID class_guid = {0x4947213E, 0xE727, 0x4C8D, {0xA8, 0x30, 0x55, 0x31, 0xF3, 0x5D, 0x5D, 0x1D}};
    using parent_t = service_base;

    // `callback` gets every chunk played from now on, until it is removed.
    virtual void add_callback(playback_stream_capture_callback* callback) = 0;
    // Once this returns, `callback` is not called again and no call to it is under way (unless the
    // call removing it is that call).
    virtual void remove_callback(playback_stream_capture_callback* callback) = 0;
};

// Audio chunks as integer samples. A singleton; any thread.
class pcm_converter : public service_base {
public:
    static constexpr GUID class_guid = {0x5AD0F3A9, 0x8A01, 0x48FC, {0x92, 0x8E, 0x81, 0x12, 0xF8, 0xCA, 0xD0, 0xB8}};
    using parent_t = service_base;

    // The samples of `chunk` times `scale` as signed little-endian integers of `bits` (16, 24 or
    // 32) bits each, whose top `valid_bits` (8 .. bits) carry the value, into `out` (resized to
    // the byte count): full scale 1.0 is 2^(valid_bits-1), rounded to nearest, clamped. `dither`
    // asks for dither, which this host does not add. Raises zorb::exception_invalid_params for
    // other sizes.
    virtual void convert_to_int(const audio_chunk& chunk, mem_block_container& out, unsigned valid_bits, unsigned bits,
                                bool dither, float scale) = 0;
};
