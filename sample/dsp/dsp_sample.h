// The sample gain DSP: multiplies every sample by a gain set in decibels.
#pragma once

#include <string>

#include "host/dsp.h"

namespace ambrel {

// The DSP's GUID, also the owner of its presets.
constexpr GUID dsp_sample_guid = {0x0890827B, 0x67DF, 0x4C27, {0xBA, 0x1A, 0x4F, 0x95, 0x8D, 0x0F, 0xB5, 0xD0}};
constexpr char dsp_sample_name[] = "Sample DSP";

// The gain a preset holds: its first 4 bytes as a little-endian float; 0.0 dB when it has fewer
// or they hold no finite number.
// The owner is not looked at.
float dsp_sample_gain_from_preset(const dsp_preset& preset);
// Writes a preset of this DSP holding `gain_db`.
void dsp_sample_make_preset(float gain_db, dsp_preset& out);
// The linear factor of `gain_db`: 10^(gain × 0.05), computed in double precision.
float dsp_sample_factor(float gain_db);

class dsp_sample : public dsp_impl_base_t<dsp_v2> {
public:
    explicit dsp_sample(const dsp_preset& preset) : gain_db_(dsp_sample_gain_from_preset(preset)) {}

    static void g_get_name(zorb::string_base& out) { out.set_string(dsp_sample_name); }
    static GUID g_get_guid() { return dsp_sample_guid; }
    static bool g_get_default_preset(dsp_preset& out) {
        dsp_sample_make_preset(0.0f, out);
        return true;
    }
    static bool g_have_config_popup() { return true; }
    static void g_show_config_popup(const dsp_preset& preset, host_window parent, preset_edit_callback& callback);

    void flush() override {}
    double latency_seconds() override { return 0.0; }
    bool wants_track_change_mark() override { return false; }
    void end_of_track(abort_callback&) override {}
    void end_of_playback(abort_callback&) override {}
    bool process_chunk(audio_chunk* chunk, abort_callback& abort) override;

private:
    float gain_db_;  // decibels, any finite value; fixed for the instance's life
};

// The DSP's entry service.
using dsp_sample_entry = dsp_entry_v2_impl_t<dsp_sample>;

}  // namespace ambrel
