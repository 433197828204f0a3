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
    for (int s = 0; s < context.sample_count; ++s) print_sample(s + 1, context.samples[s]);
    return 0;
}
