#include "peer_players.h"

#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

namespace {
constexpr int32_t peer_rate = 44100;
}

openmpt_player::~openmpt_player() {
    if (module_) openmpt_module_destroy(module_);
}

bool openmpt_player::open(const uint8_t* data, size_t size, bool loop_forever) {
    if (module_) return false;
    int error = 0;
    module_ =
        openmpt_module_create_from_memory2(data, size, nullptr, nullptr, nullptr, nullptr, &error, nullptr, nullptr);
    if (!module_) return false;
    openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 1);
    openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    openmpt_module_set_repeat_count(module_, loop_forever ? -1 : 0);
    return true;
}

size_t openmpt_player::render(int16_t* stereo, size_t frames) {
    return module_ ? openmpt_module_read_interleaved_stereo(module_, peer_rate, frames, stereo) : 0;
}

int32_t openmpt_player::order() const { return openmpt_module_get_current_order(module_); }
int32_t openmpt_player::row() const { return openmpt_module_get_current_row(module_); }
double openmpt_player::duration_seconds() const { return openmpt_module_get_duration_seconds(module_); }
int32_t openmpt_player::channels() const { return openmpt_module_get_num_channels(module_); }
int32_t openmpt_player::orders() const { return openmpt_module_get_num_orders(module_); }
int32_t openmpt_player::patterns() const { return openmpt_module_get_num_patterns(module_); }
int32_t openmpt_player::instruments() const { return openmpt_module_get_num_instruments(module_); }
int32_t openmpt_player::samples() const { return openmpt_module_get_num_samples(module_); }

xmp_player::~xmp_player() {
    if (!context_) return;
    xmp_context context = static_cast<xmp_context>(context_);
    if (playing_) xmp_end_player(context);
    if (loaded_) xmp_release_module(context);
    xmp_free_context(context);
}

bool xmp_player::open(const uint8_t* data, size_t size) {
    if (context_) return false;
    xmp_context context = xmp_create_context();
    if (!context) return false;
    context_ = context;
    if (xmp_load_module_from_memory(context, data, static_cast<long>(size)) != 0) return false;
    loaded_ = true;
    if (xmp_start_player(context, peer_rate, 0) != 0) return false;
    playing_ = true;
    // libxmp 4.5 offers no switch for its click-removal ramp; interpolation is the one setting it has.
    xmp_set_player(context, XMP_PLAYER_INTERP, XMP_INTERP_NEAREST);
    return true;
}

size_t xmp_player::render(int16_t* stereo, size_t frames) {
    if (!playing_) return 0;
    // A loop count of 0 keeps the song playing for ever.
    if (xmp_play_buffer(static_cast<xmp_context>(context_), stereo, static_cast<int>(frames * 4), 0) != 0) return 0;
    return frames;
}
