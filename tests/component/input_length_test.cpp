// The module input with "Loop modules for ever" off, in-process: the first pass with its length,
// its exact end, seeking within it, and the setting taken at open.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "host/service_lookup.h"
#include "minihost/host/advconfig.h"
#include "minihost/host/input_registry.h"
#include "minihost/host/metadb.h"
#include "tests/component/sample_fixture.h"

namespace {

using test_support::demo_song;

// Everything a decoder gives until it reports the end (at most `limit` blocks), and the frames of
// each block.
struct decoded_stream {
    std::vector<float> samples;
    std::vector<size_t> block_frames;
    bool ended = false;
};

decoded_stream decode_to_end(input_decoder& decoder, size_t limit = 100000) {
    abort_callback_dummy abort;
    minihost::audio_chunk_impl chunk;
    decoded_stream stream;
    for (size_t i = 0; i < limit; ++i) {
        if (!decoder.run(chunk, abort)) {
            stream.ended = true;
            break;
        }
        EXPECT_EQ(chunk.get_sample_rate(), 44100u);
        EXPECT_EQ(chunk.get_channels(), 2u);
        stream.block_frames.push_back(chunk.get_sample_count());
        stream.samples.insert(stream.samples.end(), chunk.get_data(), chunk.get_data() + chunk.get_sample_count() * 2);
    }
    return stream;
}

class ModulesThatEnd : public test_support::component_test {
protected:
    ModulesThatEnd() : component_test("input-length") {}
    void SetUp() override {
        component_test::SetUp();
        set_looping(false);
    }
    void TearDown() override { set_looping(true); }  // the variable is the process's own

    void set_looping(bool on) {
        std::ostringstream out;
        std::string error;
        ASSERT_TRUE(minihost::set_advconfig_value(host, "Loop modules for ever", on ? "on" : "off", out, error))
            << error;
    }
    service_ptr_t<input_decoder> open_decoder(const std::string& path) {
        return minihost::input_registry(host).open_for_decoding(path, abort);
    }

    abort_callback_dummy abort;
};

TEST_F(ModulesThatEnd, EachSongEndsAtTheLastFrameOfItsFirstPassWithTheLengthItReports) {
    for (const char* name : {"demo.mod", "demo.s3m", "demo.xm"}) {
        const std::string path = demo_song(name);
        const uint64_t frames = test_support::pass_frames(path);
        ASSERT_GT(frames, 44100u * 10) << name;

        // The length reaches the host's track information, where properties and scans find it.
        std::string failure;
        const metadb_handle_list tracks = host.tracks().add_file(path, abort, failure);
        ASSERT_EQ(tracks.get_count(), 1u) << failure;
        file_info_impl info;
        ASSERT_TRUE(tracks[0]->get_info(info));
        EXPECT_DOUBLE_EQ(info.get_length(), double(frames) / 44100) << name;
        EXPECT_EQ(info.info().size(), 5u) << name;

        auto decoder = open_decoder(path);
        EXPECT_TRUE(decoder->can_seek()) << name;
        const decoded_stream stream = decode_to_end(*decoder);
        ASSERT_TRUE(stream.ended) << name;
        EXPECT_EQ(stream.samples.size(), frames * 2) << name;
        ASSERT_FALSE(stream.block_frames.empty());
        EXPECT_EQ(stream.block_frames.back(), frames % 1024 ? frames % 1024 : 1024) << name;
        EXPECT_EQ(std::count(stream.block_frames.begin(), stream.block_frames.end() - 1, 1024u),
                  ptrdiff_t(stream.block_frames.size() - 1))
            << name;
        EXPECT_FALSE(decode_to_end(*decoder, 3).block_frames.size()) << name << ": the end stays the end";

        // The pass is what the looping input plays first, sample for sample.
        set_looping(true);
        auto looping = open_decoder(path);
        set_looping(false);
        const std::vector<float> played = test_support::decode_blocks(*looping, stream.block_frames.size());
        EXPECT_TRUE(std::equal(stream.samples.begin(), stream.samples.end(), played.begin())) << name;
    }
}

TEST_F(ModulesThatEnd, SeekLandsOnTheNearestFrameAndPlaysWhatAnUninterruptedDecodeDoes) {
    const std::string path = demo_song("demo.xm");
    const decoded_stream whole = decode_to_end(*open_decoder(path));
    ASSERT_TRUE(whole.ended);
    const uint64_t frames = whole.samples.size() / 2;
    const double length = double(frames) / 44100;
    // The nearest frame, down or up; just before the end that is the end itself.
    const std::pair<double, uint64_t> cases[] = {{0, 0},
                                                 {0.6 / 44100, 1},
                                                 {1.0, 44100},
                                                 {10.5, 463050},
                                                 {1.0 + 0.4 / 44100, 44100},
                                                 {1.0 + 0.6 / 44100, 44101},
                                                 {length - 0.01, frames - 441},
                                                 {length - 0.2 / 44100, frames},
                                                 {length, frames},
                                                 {length + 5, frames},
                                                 {1e300, frames},
                                                 {-3, 0},
                                                 {std::numeric_limits<double>::quiet_NaN(), 0}};
    auto decoder = open_decoder(path);
    test_support::decode_blocks(*decoder, 7);  // wherever it stands before, the seek decides
    for (const auto& [seconds, frame] : cases) {
        decoder->seek(seconds, abort);
        const decoded_stream rest = decode_to_end(*decoder, 400);
        ASSERT_EQ(rest.samples.size(), std::min<uint64_t>((frames - frame) * 2, 400 * 2048)) << seconds;
        EXPECT_TRUE(std::equal(rest.samples.begin(), rest.samples.end(), whole.samples.begin() + frame * 2)) << seconds;
    }
}

TEST_F(ModulesThatEnd, InitializeStartsThePassAgainAndTheSettingHoldsFromOpenOn) {
    const std::string path = demo_song("demo.s3m");
    auto decoder = open_decoder(path);
    const decoded_stream whole = decode_to_end(*decoder);
    ASSERT_TRUE(whole.ended);
    decoder->initialize(0, 0, abort);
    EXPECT_TRUE(decode_to_end(*decoder).samples == whole.samples);

    // Turned on while a decoder is open: that one still ends; the next one loops.
    set_looping(true);
    decoder->initialize(0, 0, abort);
    EXPECT_TRUE(decode_to_end(*decoder).ended);
    auto looping = open_decoder(path);
    EXPECT_FALSE(looping->can_seek());
    EXPECT_FALSE(decode_to_end(*looping, whole.block_frames.size() + 50).ended);
    // Looping, initialize and seek leave the position alone, as ever.
    auto other = open_decoder(path);
    std::vector<float> first = test_support::decode_blocks(*other, 5);
    other->initialize(0, 0, abort);
    other->seek(0, abort);
    const std::vector<float> next = test_support::decode_blocks(*other, 5);
    first.insert(first.end(), next.begin(), next.end());
    EXPECT_EQ(first, test_support::decode_blocks(*open_decoder(path), 10));

    file_info_impl info;
    minihost::input_registry(host).open_for_info_read(path, abort)->read_info(0, info, abort);
    EXPECT_EQ(info.get_length(), 0.0);
}

}  // namespace
