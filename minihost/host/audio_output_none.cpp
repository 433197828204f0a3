#include "minihost/host/playback.h"

namespace minihost {

// This build knows no sound device.
std::unique_ptr<audio_output> make_system_output() { return nullptr; }

}  // namespace minihost
