// Every Debian module loads, and its counts agree with libopenmpt's.
#include <gtest/gtest.h>

#include "oracle_corpus.h"
#include "peer_players.h"

namespace {

class DebianModuleCounts : public testing::TestWithParam<corpus_module> {};

// Order entries up to the first 255 marker: libopenmpt ends an S3M song there
// and drops the rest of the list, while we keep the list as stored (the
// sequencer skips markers when it advances).
u32 orders_before_end_marker(const module_context& context) {
    u32 count = 0;
    while (count < context.order_count && context.orders[count] != 255) ++count;
    return count;
}

TEST_P(DebianModuleCounts, LoadsAndAgreesWithLibopenmpt) {
    const corpus_module& module = GetParam();
    if (module.path.empty()) GTEST_SKIP() << "Debian package " << module.package << " is not installed";
    std::vector<u8> image = read_module(module);
    module_session session;
    ASSERT_EQ(session.load(image.data(), image.size()), 0) << module.path;
    const module_context& ours = session.context();
    openmpt_player peer;
    ASSERT_TRUE(peer.open(image.data(), image.size(), false)) << "libopenmpt refused " << module.path;

    EXPECT_EQ(ours.format_id, module.format_id);
    // Our channel count includes the global column of row commands.
    EXPECT_EQ(ours.channel_count - 1, peer.channels());
    EXPECT_EQ(ours.pattern_count, peer.patterns());
    switch (module.format_id) {
        case module_format_xm:
            EXPECT_EQ(ours.order_count, static_cast<u32>(peer.orders()));
            EXPECT_EQ(ours.instrument_count, peer.instruments());
            EXPECT_EQ(ours.sample_count, peer.samples());
            break;
        case module_format_s3m:
            EXPECT_EQ(orders_before_end_marker(ours), static_cast<u32>(peer.orders()));
            // S3M and MOD have no instrument layer: libopenmpt reports 0 instruments
            // and one sample per slot, while we give every slot an instrument of
            // its own that maps all notes to the slot's sample.
            EXPECT_EQ(peer.instruments(), 0);
            EXPECT_EQ(ours.instrument_count, peer.samples());
            EXPECT_EQ(ours.sample_count, peer.samples());
            break;
        case module_format_mod:
            EXPECT_EQ(ours.order_count, static_cast<u32>(peer.orders()));
            EXPECT_EQ(peer.instruments(), 0);
            EXPECT_EQ(ours.instrument_count, peer.samples());
            EXPECT_EQ(ours.sample_count, peer.samples());
            break;
        default:
            ADD_FAILURE() << "unexpected format " << ours.format_id;
    }
}

INSTANTIATE_TEST_SUITE_P(Debian, DebianModuleCounts, testing::ValuesIn(debian_modules()),
                         [](const testing::TestParamInfo<corpus_module>& info) { return info.param.name; });

}  // namespace
