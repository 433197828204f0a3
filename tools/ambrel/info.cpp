#include <cstdio>
#include <string>

#include "commands.h"

namespace {

// Names may fill their field without a terminator.
std::string field_text(const char* field, size_t width) {
    size_t length = 0;
    while (length < width && field[length]) ++length;
    return std::string(field, length);
}

void print_sample(int number, const module_sample& sample) {
    std::printf("sample %d: name=\"%s\" length=%u", number, field_text(sample.name, sizeof sample.name).c_str(),
                sample.length);
    if (sample.looped)
        std::printf(" loop=%u..%u%s", sample.loop_start, sample.loop_end, sample.ping_pong ? " ping-pong" : "");
    else
        std::printf(" loop=none");
    std::printf(" bits=%d\n", sample.is_16bit ? 16 : 8);
}

// How the first pass ends, as one line.
void print_pass(const module_pass& pass) {
    switch (pass.end) {
        case module_pass_repeats:
            std::printf("pass: %u rows, then order %d row %d again\n", pass.rows, pass.next_order, pass.next_row);
            break;
        case module_pass_wraps:
            std::printf("pass: %u rows, then the order list wraps to order %d row %d\n", pass.rows, pass.next_order,
                        pass.next_row);
            break;
        case module_pass_capped:
            std::printf("pass: stopped after %u rows without coming round\n", pass.rows);
            break;
        default:
            std::printf("pass: no playable pattern\n");
    }
}

}  // namespace

int command_info(const argument_list& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: ambrel info FILE\n");
        return 2;
    }
    module_session session;
    if (int status = load_module_file(arguments[0], session)) return status;
    const module_context& context = session.context();
    std::printf("format: %s\n", format_name(context.format_id));
    std::printf("title: %s\n", field_text(context.title, sizeof context.title).c_str());
    std::printf("channels: %d\n", context.channel_count - 1);
    std::printf("orders: %u\n", context.order_count);
    std::printf("patterns: %d\n", context.pattern_count);
    std::printf("instruments: %d\n", context.instrument_count);
    std::printf("samples: %d\n", context.sample_count);
    std::printf("speed: %u\n", context.initial_speed);
    std::printf("tempo: %u\n", context.initial_tempo);
    module_pass pass;
    if (!measure_song(arguments[0], session, pass)) return 1;
    std::printf("duration: %.3f\n", frames_to_seconds(pass.frames));
    print_pass(pass);
    for (int s = 0; s < context.sample_count; ++s) print_sample(s + 1, context.samples[s]);
    return 0;
}
