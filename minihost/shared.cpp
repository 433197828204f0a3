// The host's shared library: functions the component imports by name.
#include "host/shared.h"

#include <cstdio>
#include <cstdlib>

extern "C" void uBugCheck(const char* what) {
    std::fprintf(stderr, "uBugCheck: %s\n", what ? what : "(no reason given)");
    std::fflush(stderr);
    std::abort();
}

namespace audio_math {

void scale(const audio_sample* source, size_t count, audio_sample* destination, audio_sample factor) {
    for (size_t i = 0; i < count; ++i) destination[i] = source[i] * factor;
}

}  // namespace audio_math
