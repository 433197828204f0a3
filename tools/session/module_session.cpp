#include "module_session.h"

#include <cstring>
#include <limits>
#include <vector>

module_session::module_session() : context_(new module_context) { std::memset(context_.get(), 0, sizeof *context_); }

module_session::~module_session() { module_free(context_.get()); }

i32 module_session::load(const u8* data, size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<i32>::max())) return -1;
    return module_load(data, static_cast<i32>(size), context_.get());
}

void module_session::start() {
    context_->master_volume = 64;
    module_start(context_.get());
    module_set_output_format(context_.get());
}

i32 module_session::measure(module_pass& pass) const { return module_song_length(context_.get(), &pass); }

i32 module_session::seek(uint64_t frame) { return module_seek(context_.get(), frame); }

void module_session::render_chunk(i16* stereo) { render_frames(stereo, chunk_frames); }

void module_session::render_frames(i16* stereo, i32 frames) {
    context_->output_buffer = stereo;
    context_->output_size = frames * frame_bytes;
    module_render(context_.get());
}

void render_song(module_session& session, uint64_t frames, const pcm_sink& sink) {
    i16 chunk[module_session::chunk_frames * 2];
    for (uint64_t done = 0; done < frames; done += module_session::chunk_frames) {
        session.render_chunk(chunk);
        uint64_t wanted = frames - done;
        sink(chunk, wanted < module_session::chunk_frames ? static_cast<size_t>(wanted) : module_session::chunk_frames);
    }
}

bool trace_song(module_session& session, uint64_t frames, const std::function<void(const traced_row&)>& sink) {
    const module_context& context = session.context();
    std::vector<i16> tick_audio;
    uint64_t done = 0;
    while (done < frames) {
        if (context.samples_per_tick <= 0) return false;
        i32 to_boundary = context.samples_per_tick - context.tick_position;
        if (to_boundary < 1) to_boundary = 1;
        if (done + to_boundary > frames) break;
        // The row pass runs when this tick ends, after the tick counter passes
        // speed + pattern_delay; it reads the position as it stands now.
        if (context.tick + 1 >= context.speed + context.pattern_delay)
            sink(traced_row{done + to_boundary, context.order, context.row, context.samples_per_tick});
        tick_audio.resize(static_cast<size_t>(to_boundary) * 2);
        session.render_frames(tick_audio.data(), to_boundary);
        done += to_boundary;
    }
    return true;
}
