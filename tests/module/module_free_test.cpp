#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "loader_test_support.h"
#include "module.h"

namespace {

TEST(ModuleFree, EmptyRecordIsLeftAlone) {
    module_context context;
    std::memset(&context, 0xAB, sizeof context);
    context.loaded = 0;
    module_free(&context);  // must not touch the garbage pointers
    EXPECT_EQ(context.loaded, 0);
    module_free(nullptr);
}

// Renders `frames` frames from the start of the song loaded into `context`.
std::vector<i16> render_from_start(module_context& context, i32 frames) {
    context.master_volume = 64;
    module_start(&context);
    module_set_output_format(&context);
    std::vector<i16> pcm(static_cast<size_t>(frames) * 2);
    context.output_buffer = pcm.data();
    context.output_size = frames * 4;
    module_render(&context);
    return pcm;
}

// A record that is freed may be loaded again. Nothing of the first song may
// survive in the channels: their sample, instrument, envelope and delayed-cell
// pointers lead into the freed blocks (the sanitizers see any read through
// them), so the second song must play as it does in a fresh record.
TEST(ModuleFree, SecondLoadIntoAFreedRecordPlaysAsInAFreshOne) {
    const std::vector<uint8_t> first = source_file("assets/demo.mod");
    const std::vector<uint8_t> second = source_file("assets/demo.xm");
    loaded_song fresh(second);
    ASSERT_EQ(fresh.result, 0);
    const std::vector<i16> expected = render_from_start(fresh.context, 3 * 44100);

    loaded_song reused(first);
    ASSERT_EQ(reused.result, 0);
    render_from_start(reused.context, 3 * 44100);
    module_free(&reused.context);
    for (const module_channel& channel : reused.context.channels) {
        EXPECT_EQ(channel.sample, nullptr);
        EXPECT_EQ(channel.voice_sample, nullptr);
        EXPECT_EQ(channel.instrument, nullptr);
        EXPECT_EQ(channel.volume_envelope.envelope, nullptr);
        EXPECT_EQ(channel.pan_envelope.envelope, nullptr);
        for (const effect_slot& slot : channel.slots) EXPECT_EQ(slot.delayed_cell, nullptr);
    }
    ASSERT_EQ(module_load(second.data(), static_cast<i32>(second.size()), &reused.context), 0);
    EXPECT_EQ(render_from_start(reused.context, 3 * 44100), expected);
}

}  // namespace
