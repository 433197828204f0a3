// What the tests of the module input share: the demo songs, whole-file reads and writes, and a
// decoding loop that gathers what the host receives.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/input.h"
#include "minihost/host/host_records.h"
#include "module/module.h"
#include "zorb/files.h"

namespace test_support {

using zorb::native_path;

// AMBREL_SOURCE_DIR is the source tree as the test program sees it (under Wine through drive Z:).
inline std::string demo_song(const std::string& name) { return std::string(AMBREL_SOURCE_DIR) + "/assets/" + name; }

inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream file(native_path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(native_path(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Runs `blocks` decode calls and returns the samples the host received, each checked to be one
// block of 1024 stereo frames at 44100 Hz.
inline std::vector<float> decode_blocks(input_decoder& decoder, size_t blocks) {
    abort_callback_dummy abort;
    minihost::audio_chunk_impl chunk;
    std::vector<float> samples;
    for (size_t i = 0; i < blocks; ++i) {
        EXPECT_TRUE(decoder.run(chunk, abort));
        EXPECT_EQ(chunk.get_sample_count(), 1024u);
        EXPECT_EQ(chunk.get_sample_rate(), 44100u);
        EXPECT_EQ(chunk.get_channels(), 2u);
        EXPECT_EQ(chunk.get_channel_config(), channel_config_stereo);
        samples.insert(samples.end(), chunk.get_data(), chunk.get_data() + 2048);
    }
    return samples;
}

// Everything a decoder gives until it reports the end (at most `limit` blocks): the samples, the
// frames of each block and the format of the last.
struct decoded_stream {
    std::vector<float> samples;
    std::vector<size_t> block_frames;
    unsigned rate = 0, channels = 0, config = 0;
    bool ended = false;
};

inline decoded_stream decode_to_end(input_decoder& decoder, size_t limit = 100000) {
    abort_callback_dummy abort;
    minihost::audio_chunk_impl chunk;
    decoded_stream stream;
    for (size_t i = 0; i < limit; ++i) {
        stream.ended = !decoder.run(chunk, abort);
        if (stream.ended) return stream;
        stream.block_frames.push_back(chunk.get_sample_count());
        const float* data = chunk.get_data();
        stream.samples.insert(stream.samples.end(), data, data + chunk.get_sample_count() * chunk.get_channels());
        stream.rate = chunk.get_sample_rate();
        stream.channels = chunk.get_channels();
        stream.config = chunk.get_channel_config();
    }
    return stream;
}

// Output frames of the first pass of the module at `path`, by the module library itself.
inline uint64_t pass_frames(const std::string& path) {
    std::vector<uint8_t> bytes = read_bytes(path);
    module_context song{};
    EXPECT_EQ(module_load(bytes.data(), int32_t(bytes.size()), &song), 0) << path;
    module_pass pass{};
    EXPECT_EQ(module_song_length(&song, &pass), 0) << path;
    module_free(&song);
    return pass.frames;
}

// The text of the failure `call` raises, or "(no failure)".
template <typename Call>
std::string failure_text(Call&& call) {
    try {
        call();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "(no failure)";
}

}  // namespace test_support
