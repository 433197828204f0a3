// Calls into a component the way the host makes them: what the call raises is reported on standard
// error and the host goes on.
#pragma once

#include <cstdio>
#include <exception>

namespace minihost {

// `what` names the call in the report.
template <typename Call>
void guarded(const char* what, Call&& call) {
    try {
        call();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s failed: %s\n", what, failure.what());
    }
}

}  // namespace minihost
