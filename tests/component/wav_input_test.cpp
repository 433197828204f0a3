// The host's WAV input: every encoding decoded to exact floats, seeking, tags written through its
// info writer and the tags command, and writes that fail half way leaving the file as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "host/file_info_impl.h"
#include "minihost/app/tag_commands.h"
#include "minihost/host/host_records.h"
#include "minihost/host/input_registry.h"
#include "minihost/host/riff_wave.h"
#include "minihost/host/wav_input.h"
#include "tests/component/sample_fixture.h"

namespace {

using namespace test_support;

class WavInput : public component_test {
protected:
    WavInput() : component_test("wav-input") {}
    // The meta lines ("FIELD=VALUE") that `tags FILE ARGUMENTS...` prints, and its status.
    std::vector<std::string> run_tags(const std::vector<std::string>& arguments, int* status = nullptr) {
        std::ostringstream out;
        const minihost::command_settings session;
        minihost::command_context context{host, out, session};
        const int result = minihost::tags_command(context, arguments);
        if (status) *status = result;
        std::vector<std::string> meta;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with("  ") && line.find('=') != std::string::npos) meta.push_back(line.substr(2));
        return meta;
    }

    minihost::input_registry inputs{host};
    abort_callback_dummy abort;
};

TEST_F(WavInput, TakesWavPathsInAnyCase) {
    for (const char* path : {"a.wav", "C:\\music\\B.WAV", "file:///tmp/c.Wav"})
        EXPECT_EQ(minihost::input_name(inputs.find(path)), minihost::wav_input_name) << path;
    for (const char* path : {"d.wave", "e.wav.bak", "wav", "f.wav\\g"})
        EXPECT_EQ(failure_text([&] { inputs.find(path); }), "Unsupported file format") << path;
}

// Samples for `frames` frames of `shape`: the extremes, zero and ±1 first, then a spread of values.
std::vector<int64_t> integer_values(const wave_shape& shape, size_t frames) {
    const unsigned bits = shape.valid_bits ? shape.valid_bits : shape.bits;
    const int64_t lowest = -(int64_t{1} << (bits - 1)), highest = (int64_t{1} << (bits - 1)) - 1;
    std::vector<int64_t> values = {lowest, highest, 0, -1, 1};
    for (uint64_t k = values.size(); values.size() < frames * shape.channels; ++k)
        values.push_back(static_cast<int64_t>((k * 2654435761u) % (uint64_t{1} << bits)) + lowest);
    return values;
}

TEST_F(WavInput, DecodesEveryEncodingToItsExactSamples) {
    const auto shape = [](uint16_t format, unsigned bits, unsigned channels, bool extensible, uint32_t mask = 0,
                          uint16_t valid = 0, uint32_t rate = 44100) {
        return wave_shape{format, channels, rate, bits, extensible, valid, mask};
    };
    const struct {
        const char* name;
        wave_shape shape;
        unsigned config;
    } cases[] = {
        {"8-bit 8 channels at 8000 Hz", shape(1, 8, 8, false, 0, 0, 8000), 0x63F},
        {"12-bit 3 channels", shape(1, 12, 3, false), 0x7},
        {"16-bit stereo extensible without a mask", shape(1, 16, 2, true), channel_config_stereo},
        {"24-bit mono at 22050 Hz", shape(1, 24, 1, false, 0, 0, 22050), channel_config_mono},
        {"20 bits in 24, extensible", shape(1, 24, 2, true, 0x3, 20), channel_config_stereo},
        {"32-bit stereo", shape(1, 32, 2, false), channel_config_stereo},
        {"32-bit float stereo", shape(3, 32, 2, false), channel_config_stereo},
        {"64-bit float mono extensible", shape(3, 64, 1, true, 0x4), channel_front_center},
    };
    constexpr size_t frames = minihost::wav_block_frames + 904;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> expected;
        bytes_t data;
        if (c.shape.format == 3) {
            std::vector<double> values = {1.0, -1.0, 0.0, 1.5, -1e-30, 0.1};
            for (size_t k = values.size(); k < frames * c.shape.channels; ++k) values.push_back(std::sin(0.001 * k));
            for (const double value : values) expected.push_back(static_cast<float>(value));
            data = float_samples(values, c.shape.bits == 64);
        } else {
            const std::vector<int64_t> values = integer_values(c.shape, frames);
            const unsigned bits = c.shape.valid_bits ? c.shape.valid_bits : c.shape.bits;
            for (const int64_t value : values)
                expected.push_back(static_cast<float>(std::ldexp(double(value), 1 - int(bits))));
            data = integer_samples(c.shape, values);
        }
        const std::string path = put("encoding.wav", wave_file(c.shape, data));
        service_ptr_t<input_decoder> decoder = inputs.open_for_decoding(path, abort);
        decoder->initialize(0, 0, abort);
        const decoded_stream stream = decode_to_end(*decoder);
        EXPECT_EQ(stream.samples, expected);
        EXPECT_EQ(stream.block_frames, (std::vector<size_t>{minihost::wav_block_frames, 904}));
        EXPECT_EQ(std::vector<unsigned>({stream.rate, stream.channels, stream.config}),
                  std::vector<unsigned>({c.shape.rate, c.shape.channels, c.config}));

        file_info_impl info;
        decoder->read_info(0, info, abort);
        EXPECT_DOUBLE_EQ(info.get_length(), double(frames) / c.shape.rate);
        EXPECT_STREQ(info.info_get("bitspersample"),
                     std::to_string(c.shape.valid_bits ? c.shape.valid_bits : c.shape.bits).c_str());
        EXPECT_STREQ(info.info_get("codec"), c.shape.format == 3 ? "PCM (floating point)" : "PCM");
    }
}

TEST_F(WavInput, SeeksToTheNearestFrameAndEndsAtTheLast) {
    const wave_shape mono{.channels = 1, .rate = 1000};
    std::vector<int64_t> ramp(3000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int64_t(i);
    service_ptr_t<input_decoder> decoder =
        inputs.open_for_decoding(put("ramp.wav", wave_file(mono, integer_samples(mono, ramp))), abort);
    decoder->initialize(0, 0, abort);
    EXPECT_TRUE(decoder->can_seek());
    const struct {
        double seconds;
        size_t first_frame;  // 3000: at the end
    } cases[] = {{1.5, 1500},    {0.0004, 0}, {0.0006, 1},   {2.9994, 2999},
                 {2.9996, 3000}, {-1, 0},     {1e300, 3000}, {std::nan(""), 0}};
    for (const auto& c : cases) {
        decoder->seek(c.seconds, abort);
        const std::vector<float> rest = decode_to_end(*decoder).samples;
        ASSERT_EQ(rest.size(), 3000 - c.first_frame) << c.seconds;
        if (!rest.empty()) {
            EXPECT_EQ(rest[0], float(c.first_frame) / 32768) << c.seconds;
        }
    }
}

// How the file is rewritten (other chunks, the audio, texts beyond ASCII) is the RIFF writer's own
// (riff_wave_test.cpp; exiftool reads it in tests/win/tag_commands_outside_readers); here the fields
// on their way through the input's info writer.
TEST_F(WavInput, TagsWrittenAreReadBackByTheInput) {
    const bytes_t original = wave_file(wave_shape{}, bytes_t(400), {{"INAM", "Old title"}, {"IENG", "Someone"}});
    using lines = std::vector<std::string>;
    const struct {
        const char* name;
        lines arguments;
        lines meta;  // as tags prints it afterwards
    } cases[] = {
        {"every named field",
         {"title=T", "artist=Ar", "album=Al", "album artist=AA", "date=2026", "genre=Tracker", "tracknumber=7"},
         {"IENG=Someone", "title=T", "artist=Ar", "album=Al", "album artist=AA", "date=2026", "genre=Tracker",
          "tracknumber=7"}},
        {"two values joined, a field removed", {"artist=A", "artist=B", "title="}, {"IENG=Someone", "artist=A; B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = put("tagged.wav", original);
        lines arguments = {path};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        int status = -1;
        EXPECT_EQ(run_tags(arguments, &status), c.meta);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(run_tags({path}), c.meta);
    }
}

TEST_F(WavInput, FieldsTheFileCannotHoldAndInputsThatWriteNoTagsAreReported) {
    const std::string path = put("plain.wav", wave_file(wave_shape{}, bytes_t(400)));
    int status = -1;
    EXPECT_EQ(run_tags({path, "mood=calm", "comment=kept"}, &status), std::vector<std::string>{"comment=kept"});
    EXPECT_EQ(status, 1);

    const std::string module = put("song.mod", read_bytes(demo_song("demo.mod")));
    EXPECT_EQ(failure_text([&] {
                  run_tags({module, "comment=x"});
              }),
              module + ": the kiv_ambrel MOD input wrote no tags: Unsupported file format");

    EXPECT_EQ(failure_text([&] { run_tags({path, "comment"}); }), "expected FIELD=VALUE, not comment");
}

// An abort that comes once the new file holds bytes: in the middle of writing it.
class abort_once_written final : public abort_callback {
public:
    explicit abort_once_written(std::string path) : path_(std::move(path)) {}
    bool is_aborting() const override {
        std::error_code error;
        return std::filesystem::file_size(native_path(path_), error) > 0 && !error;
    }

private:
    std::string path_;
};

TEST_F(WavInput, AWriteThatFailsHalfWayLeavesTheFileAsItWas) {
    const bytes_t original = wave_file(wave_shape{}, bytes_t(1 << 20, 0x5A), {{"INAM", "Kept"}});
    const struct {
        const char* name;
        std::function<void(const std::string& path)> prepare;
        std::string failure;  // the start of the text raised
    } cases[] = {
        {"the new file cannot be created",
         [](const std::string& path) { std::filesystem::create_directory(native_path(path + ".new")); },
         "Cannot write tags to "},
#ifndef _WIN32
        {"the disk is full",
         [](const std::string& path) { std::filesystem::create_symlink("/dev/full", native_path(path + ".new")); },
         "Cannot write the new file: No space left on device"},
#endif
        {"the user aborts", [](const std::string&) {}, "User abort"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = put("failing.wav", original);
        std::error_code ignored;
        std::filesystem::remove_all(native_path(path + ".new"), ignored);
        c.prepare(path);
        service_ptr_t<input_info_writer> writer = inputs.open_for_info_write(path, abort);
        file_info_impl info;
        writer->read_info(0, info, abort);
        info.meta_set("comment", "never written");
        writer->write_info(0, info, abort);
        abort_once_written abort_midway(path + ".new");
        abort_callback& finishing = c.failure == "User abort" ? static_cast<abort_callback&>(abort_midway) : abort;
        const std::string failure = failure_text([&] { writer->finish_write(finishing); });
        EXPECT_TRUE(failure.starts_with(c.failure)) << failure;
        EXPECT_TRUE(read_bytes(path) == original);
        EXPECT_FALSE(std::filesystem::is_regular_file(native_path(path + ".new")));
    }
}

#ifdef _WIN32
// Windows cannot replace a file that another handle holds open without sharing its deletion:
// a decoder's.
TEST_F(WavInput, AFileHeldOpenElsewhereIsNotReplacedAndStaysWhole) {
    const bytes_t original = wave_file(wave_shape{}, bytes_t(4000, 1));
    const std::string path = put("held.wav", original);
    service_ptr_t<input_info_writer> writer = inputs.open_for_info_write(path, abort);
    file_info_impl info;
    info.meta_set("comment", "blocked");
    writer->write_info(0, info, abort);
    {
        service_ptr_t<input_decoder> decoder = inputs.open_for_decoding(path, abort);
        EXPECT_EQ(failure_text([&] { writer->finish_write(abort); }).rfind("Cannot write tags to " + path + ": ", 0),
                  0u);
        EXPECT_TRUE(read_bytes(path) == original);
    }
    // Info readers and writers keep no file open, so one does not stand in the other's way.
    service_ptr_t<input_info_reader> reader = inputs.open_for_info_read(path, abort);
    writer->finish_write(abort);
    EXPECT_EQ(run_tags({path}), std::vector<std::string>{"comment=blocked"});
}
#endif

}  // namespace
