// The playback stream capture: its WAV writer on files in memory, and the capture of what minihost
// plays, read back by a strict RIFF reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "host/shared.h"
#include "minihost/app/command_line.h"
#include "minihost/host/pcm_convert.h"
#include "minihost/host/riff_wave.h"
#include "sample/capture/capture.h"
#include "sample/commands/capture_state.h"
#include "tests/component/sample_fixture.h"

namespace {

using bytes_t = std::vector<uint8_t>;

// A file in memory. `position_offset` is added to every position it reports, as if that many
// bytes had been written before (a file past 4 GiB without writing 4 GiB).
class memory_file : public file {
public:
    memory_file(bool seekable, uint64_t position_offset = 0) : seekable_(seekable), offset_(position_offset) {}
    uint64_t get_size(abort_callback&) override { return bytes.size(); }
    uint64_t get_timestamp(abort_callback&) override { return filetimestamp_invalid; }
    size_t read(void*, size_t, abort_callback&) override { return 0; }
    void write(const void* buffer, size_t count, abort_callback&) override {
        const auto* data = static_cast<const uint8_t*>(buffer);
        if (position_ + count > bytes.size()) bytes.resize(position_ + count);
        std::copy(data, data + count, bytes.begin() + static_cast<std::ptrdiff_t>(position_));
        position_ += count;
        if (position_ > 68) ahead_ = offset_;  // the offset counts from the audio on
    }
    void seek(uint64_t offset, abort_callback& abort) override {
        if (!seekable_) return file::seek(offset, abort);
        position_ = offset;
        ahead_ = 0;
    }
    uint64_t get_position(abort_callback& abort) override {
        if (!seekable_) return file::get_position(abort);
        return position_ + ahead_;
    }
    bool can_seek() override { return seekable_; }

    bytes_t bytes;

private:
    bool seekable_;
    uint64_t offset_;
    uint64_t position_ = 0;
    uint64_t ahead_ = 0;
};

uint32_t le32(const bytes_t& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

// A chunk of `frames` frames of a ramp in each channel.
minihost::audio_chunk_impl make_chunk(unsigned channels, unsigned mask, unsigned rate, size_t frames) {
    minihost::audio_chunk_impl chunk;
    chunk.set_data_size(frames * channels);
    for (size_t i = 0; i < frames * channels; ++i) chunk.get_data()[i] = float(int(i % 64) - 32) / 64;
    chunk.set_sample_count(frames);
    chunk.set_sample_rate(rate);
    chunk.set_channels(channels, mask);
    return chunk;
}

// `chunk` written `times` over by a capture writer into a new memory file, closed.
service_ptr_t<memory_file> written(const minihost::audio_chunk_impl& chunk, int times, uint64_t* audio_bytes = nullptr,
                                   bool seekable = true, uint64_t position_offset = 0) {
    auto out = service_ptr_t<memory_file>(new service_impl_t<memory_file>(seekable, position_offset));
    ambrel::wav_file_writer writer;
    abort_callback_dummy abort;
    writer.open(out, ambrel::capture_setup_of(chunk), abort);
    for (int i = 0; i < times; ++i) writer.write(chunk, abort);
    if (audio_bytes) *audio_bytes = writer.audio_bytes();
    writer.close(abort);
    EXPECT_FALSE(writer.is_open());
    return out;
}

// The file parsed by the host's reader, with what a strict reader objects to.
minihost::wave_file parse_strictly(const bytes_t& bytes) {
    minihost::memory_source source(bytes.data(), bytes.size());
    minihost::wave_file parsed = minihost::parse_wave(source);
    EXPECT_EQ(minihost::wave_strict_problems(parsed), std::vector<std::string>{});
    return parsed;
}

// Capture files in `folder`. The component joins folder and name with a backslash, which is part
// of the name on a system whose separator is the slash.
std::vector<std::string> capture_files(const std::filesystem::path& folder) {
    std::vector<std::string> found;
#ifdef _WIN32
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        found.push_back(zorb::utf8_path(entry.path()));
#else
    const std::string prefix = zorb::utf8_path(folder.filename()) + "\\";
    for (const auto& entry : std::filesystem::directory_iterator(folder.parent_path()))
        if (zorb::utf8_path(entry.path().filename()).starts_with(prefix))
            found.push_back(zorb::utf8_path(entry.path()));
#endif
    std::sort(found.begin(), found.end());
    return found;
}

class Capture : public test_support::component_test {
protected:
    Capture() : component_test("capture") {}
    void SetUp() override {
        host.add_service(console_receiver::class_guid, console);
        component_test::SetUp();
        std::filesystem::create_directories(output);
    }
    void TearDown() override {
        host.stop();
        for (const std::string& path : capture_files(output)) std::filesystem::remove(zorb::native_path(path));
    }
    void run_capture_command() {
        test_support::run_main_command(host, "Sample component/Playback stream capture demo");
    }
    void toggle_with_folder(const std::string& chosen) {
        minihost::command_settings settings;
        settings.folder = chosen;
        host.set_settings(settings);
        run_capture_command();
    }
    void play(const std::vector<std::string>& paths, double seconds) {
        metadb_handle_list list;
        for (const std::string& path : paths) list.add_item(host.tracks().handle(path, 0));
        host.playback().set_playlist(list);
        host.playback().set_time_limit(seconds);
        host.playback().start(play_command_default, false);
        while (host.playback().step()) {
        }
    }
    std::vector<std::string> capture_lines() {
        return test_support::lines_starting(*console, "Playback stream capture");
    }

    std::filesystem::path output = zorb::native_path(folder.file("out"));
    service_ptr_t<test_support::capture_console> console = test_support::make_capture_console();
};

TEST_F(Capture, HeaderFormsAndSizesByChannelLayout) {
    struct layout {
        unsigned channels, mask, rate;
        size_t header;
        uint16_t tag;
    };
    const layout layouts[] = {
        {2, channel_config_stereo, 44100, 44, 1},
        {1, channel_front_center, 22050, 44, 1},
        {1, channel_front_left, 8000, 68, 0xFFFE},  // mono, but not on the centre
        {6, 0x3F, 48000, 68, 0xFFFE},               // 5.1
    };
    for (const layout& each : layouts) {
        SCOPED_TRACE(each.channels * 1000 + each.mask);
        const minihost::audio_chunk_impl chunk = make_chunk(each.channels, each.mask, each.rate, 301);
        const bytes_t bytes = written(chunk, 2)->bytes;
        ASSERT_EQ(bytes.size(), each.header + 602 * 2 * each.channels);
        const minihost::wave_file parsed = parse_strictly(bytes);
        EXPECT_EQ(parsed.format.format_tag, each.tag);
        EXPECT_EQ(parsed.format.channels, each.channels);
        EXPECT_EQ(parsed.format.sample_rate, each.rate);
        EXPECT_EQ(parsed.format.bits, 16u);
        EXPECT_EQ(parsed.frames, 602u);
        EXPECT_EQ(parsed.format.channel_mask, each.tag == 0xFFFE ? each.mask : 0u);
        // The samples are the chunk's, as play converts them.
        std::vector<int16_t> expected(301 * each.channels);
        minihost::samples_to_int16(chunk.get_data(), expected.size(), expected.data());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(int16_t(bytes[each.header + 2 * i] | bytes[each.header + 2 * i + 1] << 8), expected[i]) << i;
    }
}

// Sizes past 32 bits, and those of a file that cannot seek back, stay placeholders; odd data is padded.
TEST_F(Capture, SizesTheHeaderCannotHoldAreLeftAsPlaceholders) {
    uint64_t audio_bytes = 0;
    // The file reports 4 GiB + 1 more than was written: an odd count beyond 32 bits.
    const bytes_t huge = written(make_chunk(2, 3, 44100, 10), 1, &audio_bytes, true, (uint64_t(1) << 32) + 1)->bytes;
    EXPECT_EQ(audio_bytes, (uint64_t(1) << 32) + 41);
    EXPECT_EQ(huge.size(), 44u + 40 + 1);
    EXPECT_EQ(huge.back(), 0);  // the pad byte
    const bytes_t unseekable = written(make_chunk(1, 4, 8000, 5), 1, &audio_bytes, false)->bytes;
    EXPECT_EQ(audio_bytes, 10u);
    EXPECT_EQ(unseekable.size(), 54u);
    for (const bytes_t& bytes : {huge, unseekable}) {
        EXPECT_EQ(le32(bytes, 4), 0xFFFFFFFFu);
        EXPECT_EQ(le32(bytes, 40), 0xFFFFFFFFu);
    }
}

TEST_F(Capture, FormatsAndFormatChangesTheWriterRefuses) {
    const std::pair<ambrel::wav_writer_setup, bool> cases[] = {
        {{16, 16, 44100, 2, 3}, true},           {{16, 16, 1000, 1, 4}, true},
        {{16, 16, 20000000, 18, 0x3FFFF}, true}, {{16, 16, 999, 1, 4}, false},
        {{16, 16, 20000001, 1, 4}, false},       {{16, 16, 44100, 0, 0}, false},
        {{16, 16, 44100, 19, 0x7FFFF}, false},   {{16, 16, 44100, 2, 1}, false},  // fewer speakers than channels
        {{16, 16, 44100, 1, 3}, false},                                           // more
    };
    abort_callback_dummy abort;
    for (const auto& [setup, taken] : cases) {
        SCOPED_TRACE(setup.sample_rate + setup.channels);
        auto out = service_ptr_t<memory_file>(new service_impl_t<memory_file>(true));
        ambrel::wav_file_writer writer;
        if (taken) {
            EXPECT_NO_THROW(writer.open(out, setup, abort));
        } else {
            EXPECT_THROW(writer.open(out, setup, abort), velmora_io::exception_io_data);
            EXPECT_TRUE(out->bytes.empty());  // nothing written into the file
            EXPECT_FALSE(writer.is_open());
        }
    }
    auto out = service_ptr_t<memory_file>(new service_impl_t<memory_file>(true));
    ambrel::wav_file_writer writer;
    writer.open(out, ambrel::capture_setup_of(make_chunk(2, 3, 44100, 1)), abort);
    for (const auto& other : {make_chunk(2, 3, 48000, 10), make_chunk(1, 4, 44100, 10), make_chunk(2, 5, 44100, 10)})
        EXPECT_THROW(writer.write(other, abort), ambrel::exception_unexpected_audio_format_change);
}

// The converter's buffer grows by half again: a size whose growth overflows is refused.
TEST_F(Capture, TheConverterBufferRefusesASizeWhoseGrowthOverflows) {
    ambrel::growing_block block;
    EXPECT_THROW(block.set_size(std::numeric_limits<size_t>::max() / 3 * 2 + 1), zorb::exception);
}

// A format change mid-playlist starts a second file; a stop (here by the time limit) closes the
// file whole while capture stays on, and the next start opens a third.
TEST_F(Capture, AFormatChangeOrAStopAndStartGiveANewFile) {
    toggle_with_folder(zorb::utf8_path(output));
    play({ramp_wav("stereo.wav", 2, 44100, 5000), ramp_wav("mono.wav", 1, 22050, 3001)}, 0);
    ASSERT_EQ(capture_files(output).size(), 2u);
    play({ramp_wav("long.wav", 2, 44100, 10000)}, 0.1);
    std::vector<std::pair<unsigned, uint64_t>> found;  // channels, frames
    for (const std::string& path : capture_files(output)) {
        const minihost::wave_file parsed = parse_strictly(test_support::read_bytes(path));
        found.emplace_back(parsed.format.channels, parsed.frames);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::pair<unsigned, uint64_t>>{{1, 3001}, {2, 4410}, {2, 5000}}));
}

TEST_F(Capture, ARefusedFormatWritesNoFileAndIsReportedOnce) {
    toggle_with_folder(zorb::utf8_path(output));
    ambrel::playback_stream_capture_callback_impl callback;
    const minihost::audio_chunk_impl refused = make_chunk(2, channel_front_left, 44100, 100);
    callback.on_chunk(refused);
    callback.on_chunk(refused);
    EXPECT_TRUE(capture_files(output).empty());
    EXPECT_EQ(capture_lines(),
              std::vector<std::string>{"Playback stream capture error: Unsupported format or corrupted file"});
    callback.on_chunk(make_chunk(2, channel_config_stereo, 44100, 100));  // a good one is taken at once
    EXPECT_EQ(capture_files(output).size(), 1u);
    EXPECT_EQ(capture_lines().size(), 1u);
}

TEST_F(Capture, AFolderThatCannotBeWrittenIsReportedAndTriedAgain) {
    toggle_with_folder(zorb::utf8_path(output / "missing" / "deeper"));
    ambrel::playback_stream_capture_callback_impl callback;
    callback.on_chunk(make_chunk(2, 3, 44100, 10));
    callback.on_chunk(make_chunk(2, 3, 44100, 10));
    ASSERT_EQ(capture_lines().size(), 2u);
    EXPECT_TRUE(capture_lines()[0].starts_with("Playback stream capture error: "));
}

TEST_F(Capture, TheToggleOnlyPokesAnOpenModalDialogAndACancelledFolderLeavesItOff) {
    ModalDialog_Switch(true);
    toggle_with_folder(zorb::utf8_path(output));
    ModalDialog_Switch(false);
    EXPECT_FALSE(ambrel::capture_active());
    toggle_with_folder("");  // the command line cancels the folder picker
    EXPECT_FALSE(ambrel::capture_active());
    toggle_with_folder(zorb::utf8_path(output));
    EXPECT_TRUE(ambrel::capture_active());
    EXPECT_EQ(ambrel::capture_folder(), zorb::utf8_path(output.lexically_normal()));
    run_capture_command();  // off again
    EXPECT_FALSE(ambrel::capture_active());
}

TEST_F(Capture, AfterTheHostStoppedChunksAreIgnored) {
    toggle_with_folder(zorb::utf8_path(output));
    host.stop();  // on_quit stops the capture
    EXPECT_FALSE(ambrel::capture_active());
    ambrel::playback_stream_capture_callback_impl callback;
    callback.on_chunk(make_chunk(2, 3, 44100, 10));
    EXPECT_TRUE(capture_files(output).empty());
}

}  // namespace
