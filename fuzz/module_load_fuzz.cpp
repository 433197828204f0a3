// Feeds arbitrary bytes to module_load: no input may read or write outside its
// buffers, leak, or loop without end. Every successful load is freed again.
#include <cstring>

#include "module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 0x7fffffff) return 0;
    module_context context;
    std::memset(&context, 0, sizeof context);
    if (module_load(data, static_cast<i32>(size), &context) == 0) module_free(&context);
    return 0;
}
