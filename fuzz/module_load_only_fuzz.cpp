// Feeds arbitrary bytes to module_load alone, so that millions of inputs run in
// minutes: each must load or be refused without reading outside its buffer or
// leaking. The runs use a short time-out, so an input that makes a loader work
// far beyond what its size asks for is a finding too.
#include <cstring>

#include "module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7fffffff) return 0;
    module_context context;
    std::memset(&context, 0, sizeof context);
    if (module_load(data, static_cast<i32>(size), &context) == 0) module_free(&context);
    return 0;
}
