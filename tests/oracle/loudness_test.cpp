// The loudness envelope of our render against libopenmpt's nearest-neighbour render.
#include <gtest/gtest.h>

#include "oracle_corpus.h"
#include "pcm_levels.h"

namespace {

class DebianModuleLoudness : public testing::TestWithParam<corpus_module> {};

constexpr size_t window_frames = module_session::output_rate / 50;  // 20 ms
constexpr double minimum_correlation = 0.9;

TEST_P(DebianModuleLoudness, EnvelopeCorrelatesWithLibopenmpt) {
    const corpus_module &module = GetParam();
    if (module.path.empty()) GTEST_SKIP() << "Debian package " << module.package << " is not installed";
    std::vector<u8> image = read_module(module);
    peer_pass peer = play_openmpt_first_pass(image);
    ASSERT_TRUE(peer.opened) << "libopenmpt refused " << module.path;
    // Our first row sounds `speed` ticks late; line the two renders up there.
    std::vector<traced_row> first_rows = trace_ours(image, module_session::output_rate * 5);
    ASSERT_FALSE(first_rows.empty());
    uint64_t offset = first_rows[0].frame;
    std::vector<int16_t> ours = render_ours(image, offset + peer.frames());
    ASSERT_EQ(ours.size(), 2 * (offset + peer.frames()));

    std::vector<double> our_envelope = loudness_envelope(ours.data() + 2 * offset, peer.frames(), window_frames);
    std::vector<double> peer_envelope = loudness_envelope(peer.pcm.data(), peer.frames(), window_frames);
    double r = correlation(our_envelope, peer_envelope);
    std::printf("[ figures  ] %s envelope correlation %.3f over %zu windows\n", module.name.c_str(), r,
                peer_envelope.size());
    EXPECT_GE(r, minimum_correlation);
}

INSTANTIATE_TEST_SUITE_P(Debian, DebianModuleLoudness, testing::ValuesIn(debian_modules()),
                         [](const testing::TestParamInfo<corpus_module> &info) { return info.param.name; });

}  // namespace
