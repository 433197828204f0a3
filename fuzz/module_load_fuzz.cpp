// Feeds arbitrary bytes to module_load and plays whatever loads for a couple
// of seconds, measures its first pass and seeks within its first two seconds:
// no input may read or write outside its buffers, leak, or loop without end.
// Every successful load is freed again.
#include <cstring>

#include "module.h"

namespace {

const int render_calls = 2 * 44100 / 1024;  // about two seconds of 1024-frame calls

const u64 seek_limit = 2 * 44100;  // frames; a seek runs the song silently up to its target

u8 output[4096];

void render_once(module_context& context) {
    context.output_buffer = output;
    context.output_size = sizeof output;
    module_render(&context);
}

void play_briefly(module_context& context) {
    context.master_volume = 64;
    module_start(&context);
    module_set_output_format(&context);
    for (int call = 0; call < render_calls; ++call) render_once(context);
}

// Back to the end of the pass when it is short, else into its second second.
void measure_and_seek(module_context& context) {
    module_pass pass;
    if (module_song_length(&context, &pass) < 0) return;
    module_seek(&context, pass.frames < seek_limit ? pass.frames + 1 : seek_limit / 2 + 7);
    render_once(context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7fffffff) return 0;
    module_context context;
    std::memset(&context, 0, sizeof context);
    if (module_load(data, static_cast<i32>(size), &context) != 0) return 0;
    play_briefly(context);
    measure_and_seek(context);
    module_free(&context);
    return 0;
}
