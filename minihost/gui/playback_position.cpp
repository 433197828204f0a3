#include "minihost/gui/playback_bar.h"
#include "zorb/time_text.h"

namespace minihost {

std::string playback_position_text(const std::string& name, bool playing, bool paused, double seconds,
                                   double length) {
    if (!playing) return "Stopped.";
    std::string text = (paused ? "Paused: " : "Playing: ") + name + "  " +
                       zorb::time_text(seconds > 0 ? static_cast<uint64_t>(seconds) : 0);
    const std::string total = zorb::length_text(length);
    if (!total.empty()) text += " / " + total;
    return text;
}

}  // namespace minihost
