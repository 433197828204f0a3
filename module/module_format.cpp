#include <cstdlib>
#include <cstring>

#include "loader.h"

namespace {

const char* const shared_author = "kiv_ambrel module library";
const char* const xm_author = "kiv_ambrel module library, XM loader";
const char* const shared_copyright = "Copyright (c) kiv_ambrel developers";
const char* const mod_copyright = "Copyright (c) kiv_ambrel developers; Amiga periods after ProTracker";

u32 s3m_id() { return module_format_s3m; }
u32 xm_id() { return module_format_xm; }
u32 mod_id() { return module_format_mod; }
const char* s3m_name() { return "Future Crew Screamtracker 3"; }
const char* xm_name() { return "Triton FastTracker II Extended Module"; }
const char* mod_name() { return "Amiga Pro/Soundtracker"; }
const char* s3m_version() { return "v0.01b"; }
const char* xm_version() { return "v0.01b"; }
const char* mod_version() { return "v0.03b"; }
const char* shared_author_text() { return shared_author; }
const char* xm_author_text() { return xm_author; }
const char* shared_copyright_text() { return shared_copyright; }
const char* mod_copyright_text() { return mod_copyright; }

}  // namespace

const module_format module_formats[] = {
    {s3m_load, s3m_probe, s3m_id, s3m_name, shared_author_text, s3m_version, shared_copyright_text},
    {xm_load, xm_probe, xm_id, xm_name, xm_author_text, xm_version, shared_copyright_text},
    {mod_load, mod_probe, mod_id, mod_name, shared_author_text, mod_version, mod_copyright_text},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

i32 module_load(const u8* data, i32 size, module_context* context) {
    if (!context || !data || size < 1 || context->loaded) return -1;
    const module_format* chosen = nullptr;
    for (const module_format* format = module_formats; !chosen; ++format) {
        if (!format->load || !format->probe) return -1;
        if (format->probe(data, size)) chosen = format;
    }
    i32 result = chosen->load(data, size, context);
    if (result < 0) return result;
    context->loaded = 1;
    return 0;
}

void module_release_song(module_context* context) {
    if (context->patterns) {
        for (i32 p = 0; p < context->pattern_count; ++p) {
            std::free(context->patterns[p]);
            context->patterns[p] = nullptr;
        }
        std::free(context->patterns);
    }
    if (context->instruments) {
        for (i32 i = 0; i < context->instrument_count; ++i) {
            module_instrument& instrument = context->instruments[i];
            std::free(instrument.volume_envelope.points);
            instrument.volume_envelope.points = nullptr;
            std::free(instrument.panning_envelope.points);
            instrument.panning_envelope.points = nullptr;
        }
        std::free(context->instruments);
    }
    if (context->samples) {
        for (i32 s = 0; s < context->sample_count; ++s) {
            std::free(context->samples[s].data);
            context->samples[s].data = nullptr;
        }
        std::free(context->samples);
    }
    std::free(context->pattern_rows);
    // The channels describe the song being released: their sample, instrument,
    // envelope and delayed-cell pointers lead into its blocks. They start over
    // as in a zeroed record, so that a song loaded into this record next
    // neither reads freed blocks nor inherits the old song's playing state.
    std::memset(context->channels, 0, sizeof context->channels);
    context->patterns = nullptr;
    context->instruments = nullptr;
    context->samples = nullptr;
    context->pattern_rows = nullptr;
    context->loaded = 0;
}

void module_free(module_context* context) {
    if (!context || !context->loaded) return;
    module_release_song(context);
    // The player's scratch buffer goes with the song: nothing else releases it,
    // and a context that is freed and discarded must not leak.
    std::free(context->mix_buffer);
    context->mix_buffer = nullptr;
}
