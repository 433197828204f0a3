// The host's shared library: functions the component imports by name.
#include "host/shared.h"

#include <cstdio>
#include <cstdlib>

extern "C" void uBugCheck(const char* what) {
    std::fprintf(stderr, "uBugCheck: %s\n", what ? what : "(no reason given)");
    zorb::string8 calls;
    uCallStackTracker_describe(calls);
    if (calls.length() > 0) std::fprintf(stderr, "in the calls, outermost first:\n%s", calls.get_ptr());
    std::fflush(stderr);
    std::abort();
}
