// The rows our sequencer reads, and when, against the rows libopenmpt plays
// over the song's first pass.
#include <gtest/gtest.h>

#include <cstdlib>

#include "oracle_corpus.h"

namespace {

class DebianModuleTimeline : public testing::TestWithParam<corpus_module> {};

// Beyond the peer's first pass our trace must still cover the start-up delay:
// `speed` ticks, at most 31 ticks of the slowest tempo.
constexpr uint64_t start_delay_margin_frames = 31 * 3445;

TEST_P(DebianModuleTimeline, RowsMatchLibopenmptWithinOneTick) {
    const corpus_module& module = GetParam();
    if (module.path.empty()) GTEST_SKIP() << "Debian package " << module.package << " is not installed";
    std::vector<u8> image = read_module(module);
    peer_pass peer = play_openmpt_first_pass(image);
    ASSERT_TRUE(peer.opened) << "libopenmpt refused " << module.path;
    ASSERT_FALSE(peer.rows.empty());
    std::vector<traced_row> ours = trace_ours(image, peer.frames() + start_delay_margin_frames);
    ASSERT_GE(ours.size(), peer.rows.size()) << "our trace ends before the peer's first pass";

    // Ours starts `speed` ticks late by design (the first row is read at the end of a silent tick run).
    int64_t offset = static_cast<int64_t>(ours[0].frame) - static_cast<int64_t>(peer.rows[0].frame);
    size_t matched = 0;
    double worst_ticks = 0;
    for (size_t i = 0; i < peer.rows.size(); ++i) {
        const traced_row& mine = ours[i];
        const peer_row& theirs = peer.rows[i];
        ASSERT_TRUE(mine.order == theirs.order && mine.row == theirs.row)
            << "row " << i << ": we read order " << mine.order << " row " << mine.row << ", libopenmpt plays order "
            << theirs.order << " row " << theirs.row << " (" << matched << " rows matched before)";
        int64_t deviation = static_cast<int64_t>(mine.frame) - offset - static_cast<int64_t>(theirs.frame);
        double ticks = static_cast<double>(std::llabs(deviation)) / mine.tick_frames;
        if (ticks > worst_ticks) worst_ticks = ticks;
        // The peer's row time is known to a block, ours to the frame.
        ASSERT_LE(std::llabs(deviation), static_cast<int64_t>(mine.tick_frames + peer_block_frames))
            << "order " << mine.order << " row " << mine.row << " starts " << deviation << " frames off libopenmpt ("
            << matched << " rows matched before)";
        ++matched;
    }
    std::printf("[ figures  ] %s rows matched %zu/%zu, start offset %lld frames, worst deviation %.2f ticks\n",
                module.name.c_str(), matched, peer.rows.size(), static_cast<long long>(offset), worst_ticks);
}

INSTANTIATE_TEST_SUITE_P(Debian, DebianModuleTimeline, testing::ValuesIn(debian_modules()),
                         [](const testing::TestParamInfo<corpus_module>& info) { return info.param.name; });

}  // namespace
