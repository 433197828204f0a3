// A module played the way the module input plays it: the context is zeroed,
// the file image loaded, master volume 64, playback started and the output
// format set, then module_render is asked for 4096 bytes at a time. Shared by
// the ambrel tool and the oracle tests so that both hear the same thing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "module.h"

class module_session {
public:
    static constexpr i32 output_rate = 44100;  // Hz
    static constexpr i32 frame_bytes = 4;      // 16-bit stereo
    static constexpr i32 chunk_bytes = 4096;   // one decode call of the module input
    static constexpr i32 chunk_frames = chunk_bytes / frame_bytes;

    module_session();
    ~module_session();
    module_session(const module_session&) = delete;
    module_session& operator=(const module_session&) = delete;

    // module_load's result (0, -1, -2); -1 also for an image above 2 GiB.
    // A session loads once.
    i32 load(const u8* data, size_t size);
    // master_volume 64, module_start, module_set_output_format.
    void start();
    const module_context& context() const { return *context_; }
    // module_song_length of the loaded song: its first pass.
    i32 measure(module_pass& pass) const;
    // module_seek: the started session moves to output frame `frame` of the first pass.
    i32 seek(uint64_t frame);

    // One 4096-byte module_render call: chunk_frames interleaved stereo frames.
    void render_chunk(i16* stereo);
    // One module_render call of exactly `frames` frames. The song does not
    // depend on how its time is cut into calls, so the tracer uses this to
    // stop at tick boundaries.
    void render_frames(i16* stereo, i32 frames);

private:
    std::unique_ptr<module_context> context_;
};

typedef std::function<void(const i16* stereo, size_t frames)> pcm_sink;

// Renders `frames` frames of a started session in 4096-byte calls and hands
// them to `sink` in order; the surplus of the last call is dropped.
void render_song(module_session& session, uint64_t frames, const pcm_sink& sink);

struct traced_row {
    uint64_t frame;   // output frame at which the row's first tick begins to sound
    i32 order;        // index into orders
    i32 row;          // row of that order's pattern
    i32 tick_frames;  // samples_per_tick when the row was read, frames
};

// Follows a started session tick by tick for `frames` output frames and hands
// every row the sequencer reads to `sink`. A row pass reads orders[order] and
// row as they stand before the call that completes the previous row's last
// tick, so rendering up to each tick boundary is enough to see it. Returns
// false when the song stops advancing (no tick length), true otherwise.
bool trace_song(module_session& session, uint64_t frames, const std::function<void(const traced_row&)>& sink);
