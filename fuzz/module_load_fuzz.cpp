// Feeds arbitrary bytes to module_load and plays whatever loads for a couple
// of seconds: no input may read or write outside its buffers, leak, or loop
// without end. Every successful load is freed again.
#include <cstring>

#include "module.h"

namespace {

const int render_calls = 2 * 44100 / 1024;  // about two seconds of 1024-frame calls

void play_briefly(module_context& context) {
    static u8 output[4096];
    context.master_volume = 64;
    module_start(&context);
    module_set_output_format(&context);
    for (int call = 0; call < render_calls; ++call) {
        context.output_buffer = output;
        context.output_size = sizeof output;
        module_render(&context);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7fffffff) return 0;
    module_context context;
    std::memset(&context, 0, sizeof context);
    if (module_load(data, static_cast<i32>(size), &context) != 0) return 0;
    play_briefly(context);
    module_free(&context);
    return 0;
}
