// The shared library's audio arithmetic.
#include "host/shared.h"

namespace audio_math {

void convert_from_int16(const int16_t* source, size_t count, float* target, float scale) {
    // 1/32768 is a power of two: at scale 1 every sample converts exactly and converts back exactly.
    const float factor = scale / 32768.0f;
    for (size_t i = 0; i < count; ++i) target[i] = static_cast<float>(source[i]) * factor;
}

void scale(const audio_sample* source, size_t count, audio_sample* destination, audio_sample factor) {
    for (size_t i = 0; i < count; ++i) destination[i] = source[i] * factor;
}

}  // namespace audio_math
