#include "sample/dsp/dsp_popup.h"

#include <cmath>
#include <cstdio>

namespace ambrel {

int dsp_popup_slider_position(float gain_db) {
    // Limited in floating point first, so that no gain is too large for an int.
    const double rounded = std::floor(static_cast<double>(gain_db) + 0.5);
    if (std::isnan(rounded)) return -dsp_popup_lowest_gain;
    const double limited = rounded < dsp_popup_lowest_gain    ? dsp_popup_lowest_gain
                           : rounded > dsp_popup_highest_gain ? dsp_popup_highest_gain
                                                              : rounded;
    return static_cast<int>(limited) - dsp_popup_lowest_gain;
}

float dsp_popup_gain_at(int position) { return static_cast<float>(position + dsp_popup_lowest_gain); }

std::string dsp_popup_label(float gain_db) {
    char text[64];
    // Adding zero turns a negative zero into zero, which has no sign to show.
    std::snprintf(text, sizeof text, "%.7f dB", static_cast<double>(gain_db) + 0.0);
    return text;
}

}  // namespace ambrel
