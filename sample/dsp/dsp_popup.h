// CMyDSPPopup, the gain DSP's configuration dialog, and the arithmetic of its slider and label.
#pragma once

#include <string>

#include "host/dsp.h"

namespace ambrel {

constexpr int dsp_popup_lowest_gain = -20;  // dB at slider position 0
constexpr int dsp_popup_highest_gain = 20;  // dB at the slider's last position

// The slider position (0..40) showing `gain_db`: rounded half up, limited to -20..20 dB.
int dsp_popup_slider_position(float gain_db);
// The gain of a slider position: position − 20, in whole decibels.
float dsp_popup_gain_at(int position);
// The label text: seven decimals, a blank and "dB" ("-5.0000000 dB").
std::string dsp_popup_label(float gain_db);

// Shows the dialog modally over `parent`, starting from `preset`, and reports every slider move
// to `callback` at once. Unless the user ends it with OK, or when the dialog cannot be shown,
// `preset` is reported once more, last, so that the host returns to the gain it had. What the
// callback raises ends the dialog that way too, and is raised again once the dialog has closed.
void run_dsp_popup(const dsp_preset& preset, host_window parent, preset_edit_callback& callback);

}  // namespace ambrel
