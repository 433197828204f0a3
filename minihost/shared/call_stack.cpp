// The calls that a thread is in, as uCallStackTracker marks them: a fixed array per thread, so
// that marking allocates nothing and a crash report can read it in any state.
#include <cstddef>
#include <string>

#include "host/shared.h"

namespace {

constexpr size_t tracked_depth = 32;

struct tracked_calls {
    const char* names[tracked_depth];
    size_t depth = 0;  // may exceed tracked_depth; the names beyond it are not kept
};

thread_local tracked_calls calls;

}  // namespace

uCallStackTracker::uCallStackTracker(const char* name) {
    if (calls.depth < tracked_depth) calls.names[calls.depth] = name;
    ++calls.depth;
}

uCallStackTracker::~uCallStackTracker() { --calls.depth; }

void uCallStackTracker_describe(zorb::string_base& out) {
    std::string text;
    for (size_t i = 0; i < calls.depth && i < tracked_depth; ++i) text.append(calls.names[i]).push_back('\n');
    out.set_string(text.data(), text.size());
}
