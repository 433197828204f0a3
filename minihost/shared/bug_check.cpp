// The host's shared library: functions the component imports by name.
#include "host/shared.h"

#include <cstdio>
#include <cstdlib>

extern "C" void uBugCheck(const char* what) {
    std::fprintf(stderr, "uBugCheck: %s\n", what ? what : "(no reason given)");
    std::fflush(stderr);
    std::abort();
}
