#include "sample/dsp/dsp_sample.h"

#include <cmath>

#include "host/shared.h"
#include "sample/dsp/dsp_popup.h"

namespace ambrel {

float dsp_sample_gain_from_preset(const dsp_preset& preset) {
    try {
        dsp_preset_parser parser(preset);
        const float gain_db = parser.read_float_le();
        // NaN or an infinite gain would turn every sample into NaN or infinity.
        return std::isfinite(gain_db) ? gain_db : 0.0f;
    } catch (const velmora_io::exception_io_data_truncation&) {
        return 0.0f;
    }
}

void dsp_sample_make_preset(float gain_db, dsp_preset& out) {
    dsp_preset_builder builder;
    builder.write_float_le(gain_db);
    builder.finish(dsp_sample_guid, out);
}

float dsp_sample_factor(float gain_db) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(gain_db) * 0.05));
}

bool dsp_sample::process_chunk(audio_chunk* chunk, abort_callback&) {
    const size_t count = chunk->get_sample_count() * chunk->get_channels();
    audio_math::scale(chunk->get_data(), count, chunk->get_data(), dsp_sample_factor(gain_db_));
    return true;
}

void dsp_sample::g_show_config_popup(const dsp_preset& preset, host_window parent, preset_edit_callback& callback) {
    run_dsp_popup(preset, parent, callback);
}
}  // namespace ambrel
