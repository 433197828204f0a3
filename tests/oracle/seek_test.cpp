// Seeking in real modules: after a seek the render is, byte for byte, the uninterrupted
// render from the start at the same frame.
#include <gtest/gtest.h>

#include <algorithm>

#include "oracle_corpus.h"

namespace {

class DebianModuleSeek : public testing::TestWithParam<corpus_module> {};

constexpr uint64_t compared_frames = module_session::output_rate;  // 1 s after each seek

TEST_P(DebianModuleSeek, RenderAfterSeekEqualsUninterruptedRender) {
    const corpus_module& module = GetParam();
    if (module.path.empty()) GTEST_SKIP() << "Debian package " << module.package << " is not installed";
    std::vector<u8> image = read_module(module);
    module_session measured;
    ASSERT_EQ(measured.load(image.data(), image.size()), 0);
    module_pass pass;
    ASSERT_EQ(measured.measure(pass), 0);
    std::vector<int16_t> whole = render_ours(image, pass.frames + compared_frames);
    ASSERT_EQ(whole.size(), 2 * (pass.frames + compared_frames));

    // Spread over the pass, off tick boundaries, and its very end.
    const uint64_t targets[] = {pass.frames / 9 + 17, pass.frames * 3 / 8 + 1001, pass.frames * 5 / 7 + 3,
                                pass.frames - compared_frames / 2, pass.frames};
    size_t identical = 0;
    for (uint64_t target : targets) {
        module_session session;
        ASSERT_EQ(session.load(image.data(), image.size()), 0);
        session.start();
        ASSERT_EQ(session.seek(target), 0);
        std::vector<int16_t> after(2 * compared_frames);
        for (uint64_t done = 0; done < compared_frames; done += module_session::chunk_frames)
            session.render_frames(after.data() + 2 * done, static_cast<i32>(std::min<uint64_t>(
                                                               module_session::chunk_frames, compared_frames - done)));
        bool same = std::equal(after.begin(), after.end(), whole.begin() + 2 * target);
        EXPECT_TRUE(same) << "after a seek to frame " << target;
        identical += same;
    }
    std::printf("[ figures  ] %s: %zu of %zu seeks byte-identical\n", module.name.c_str(), identical,
                std::size(targets));
}

INSTANTIATE_TEST_SUITE_P(Debian, DebianModuleSeek, testing::ValuesIn(debian_modules()),
                         [](const testing::TestParamInfo<corpus_module>& info) { return info.param.name; });

}  // namespace
