// Float audio as integer samples: the conversion that minihost.exe play writes its WAV files with,
// and the host's pcm_converter service, which converts the same way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/service.h"

namespace minihost {

// The float sample as the 16-bit value it stands for (scale 32768, rounded to nearest with ties to
// even, clamped; NaN is 0).
int16_t sample_to_int16(float sample);
// The same for `count` samples into `out`, eight at a time where the processor has SSE2.
void samples_to_int16(const float* samples, size_t count, int16_t* out);

// The host's pcm_converter (host/playback.h).
service_ptr make_pcm_converter();

}  // namespace minihost
