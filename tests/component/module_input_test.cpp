// The module input in-process among the host's inputs: paths, information, interfaces, threads; and
// with "Loop modules for ever" off, the first pass with its length, its exact end and seeking in it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>

#include "host/filesystem.h"
#include "host/service_lookup.h"
#include "minihost/host/advconfig.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "tests/component/sample_fixture.h"

namespace {

using test_support::decode_blocks;
using test_support::decode_to_end;
using test_support::decoded_stream;
using test_support::demo_song;
using test_support::failure_text;

class ModuleInput : public test_support::component_test {
protected:
    ModuleInput() : component_test("module-input") {}
    void SetUp() override {
        component_test::SetUp();
        // The host has an input of its own for WAV files; the module input is the one for modules.
        entry = minihost::input_registry(host).find("song.mod").query_as<input_entry_v3>();
        ASSERT_TRUE(entry);
    }
    service_ptr_t<input_decoder> open_decoder(const std::string& path) {
        service_ptr_t<input_decoder> decoder;
        entry->open_for_decoding(decoder, {}, path.c_str(), abort);
        return decoder;
    }
    std::string scratch_copy(const std::string& name) {
        test_support::write_bytes(folder.file(name), test_support::read_bytes(demo_song(name)));
        return folder.file(name);
    }

    service_ptr_t<input_entry_v3> entry;
    abort_callback_dummy abort;
};

TEST_F(ModuleInput, AcceptsItsExtensionsInAnyCaseAndLooksAtNothingElse) {
    const std::pair<const char*, bool> paths[] = {{"C:\\music\\SONG.MOD", true},
                                                  {"file:///C:/a/b.s3M", true},
                                                  {"song.mo3", false},
                                                  {"C:\\music\\noextension", false}};
    minihost::input_registry inputs(host);
    for (const auto& [path, accepted] : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(entry->accepts_path(path, minihost::extension_of(path).c_str()), accepted);
        EXPECT_EQ(failure_text([&] { inputs.find(path); }) == "(no failure)", accepted);
    }
    // Only the extension handed over counts, never the path or a content type.
    EXPECT_TRUE(entry->accepts_path("C:\\music\\song.wav", "xm"));
    EXPECT_FALSE(entry->accepts_path("C:\\music\\song.xm", "wav"));
    EXPECT_FALSE(entry->accepts_content_type("audio/x-mod"));
}

TEST_F(ModuleInput, OneSubsongAndExactlyTheFiveTechnicalFields) {
    service_ptr_t<input_info_reader> reader =
        minihost::input_registry(host).open_for_info_read(demo_song("demo.xm"), abort);
    EXPECT_EQ(reader->count_subsongs(), 1u);
    EXPECT_EQ(reader->subsong_at(0), 0u);
    file_info_impl info;
    reader->read_info(0, info, abort);
    EXPECT_EQ(info.info(), (std::vector<file_info_impl::field>{{"samplerate", "44100"},
                                                               {"channels", "2"},
                                                               {"bitspersample", "16"},
                                                               {"encoding", "lossless"},
                                                               {"bitrate", "1411"}}));
    EXPECT_EQ(info.meta_get_count(), 0u);  // not even the module's own title
    EXPECT_EQ(failure_text([&] { open_decoder(folder.file("missing.xm")); }), "Object not found");
}

TEST_F(ModuleInput, InstancesAnswerQueriesForTheirOwnInterfacesOnly) {
    // What each instance answers for, among the decoder's and the writer's interfaces.
    const auto answers = [](service_ptr instance) {
        std::string names;
        for (const GUID& guid : {input_decoder_v4::class_guid, input_info_writer::class_guid}) {
            service_base* out = nullptr;
            names += instance->query(out, guid) ? "1" : "0";
            if (out) out->release();
        }
        return names;
    };
    minihost::input_registry inputs(host);
    EXPECT_EQ(answers(service_ptr(open_decoder(demo_song("demo.s3m")).get())), "10");
    EXPECT_EQ(answers(service_ptr(inputs.open_for_info_read(demo_song("demo.s3m"), abort).get())), "00");
    EXPECT_EQ(answers(service_ptr(inputs.open_for_info_write(scratch_copy("demo.s3m"), abort).get())), "01");
}

TEST_F(ModuleInput, FileStatisticsAreThoseTakenAtOpen) {
    const std::string path = scratch_copy("demo.s3m");
    const auto native = test_support::native_path(path);
    service_ptr_t<input_info_reader> reader = minihost::input_registry(host).open_for_info_read(path, abort);
    const uint64_t size_at_open = std::filesystem::file_size(native);
    // The time as the host's file system gives it: under Wine finer than std::filesystem's.
    const uint64_t time_at_open =
        filesystem::g_open(host, path.c_str(), filesystem::open_mode_read, abort)->get_timestamp(abort);

    std::vector<uint8_t> longer = test_support::read_bytes(path);
    longer.resize(longer.size() + 1000);
    test_support::write_bytes(path, longer);
    std::filesystem::last_write_time(native, std::filesystem::last_write_time(native) + std::chrono::hours(30));

    const file_stats reported = reader->query_file_stats(abort);
    EXPECT_EQ(reported.size, size_at_open);
    EXPECT_EQ(reported.timestamp, time_at_open);
}

TEST_F(ModuleInput, DecodersOnSeveralThreadsHearWhatOneAloneHears) {
    const std::string songs[] = {demo_song("demo.xm"), demo_song("demo.s3m"), demo_song("demo.mod"),
                                 demo_song("demo.xm")};
    constexpr size_t blocks = 300;
    std::vector<std::vector<float>> alone, together(std::size(songs));
    for (const std::string& song : songs) alone.push_back(decode_blocks(*open_decoder(song), blocks));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < std::size(songs); ++i)
        threads.emplace_back(
            [&together, decoder = open_decoder(songs[i]), i] { together[i] = decode_blocks(*decoder, blocks); });
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < std::size(songs); ++i) EXPECT_TRUE(together[i] == alone[i]) << songs[i];
}

class ModulesThatEnd : public ModuleInput {
protected:
    void SetUp() override {
        ModuleInput::SetUp();
        set_looping(false);
    }
    void TearDown() override { set_looping(true); }  // the variable is the process's own

    void set_looping(bool on) {
        std::ostringstream out;
        std::string error;
        ASSERT_TRUE(minihost::set_advconfig_value(host, "Loop modules for ever", on ? "on" : "off", out, error))
            << error;
    }
};

TEST_F(ModulesThatEnd, EachSongEndsAtTheLastFrameOfItsFirstPassWithTheLengthItReports) {
    for (const char* name : {"demo.mod", "demo.s3m", "demo.xm"}) {
        const std::string path = demo_song(name);
        const uint64_t frames = test_support::pass_frames(path);

        // The length reaches the host's track information, where properties and scans find it.
        std::string failure;
        const metadb_handle_list tracks = host.tracks().add_file(path, abort, failure);
        ASSERT_EQ(tracks.get_count(), 1u) << failure;
        file_info_impl info;
        ASSERT_TRUE(tracks[0]->get_info(info));
        EXPECT_DOUBLE_EQ(info.get_length(), double(frames) / 44100) << name;

        auto decoder = open_decoder(path);
        const decoded_stream stream = decode_to_end(*decoder);
        ASSERT_TRUE(stream.ended) << name;
        EXPECT_EQ(stream.samples.size(), frames * 2) << name;
        EXPECT_EQ(std::count(stream.block_frames.begin(), stream.block_frames.end(), 1024u), ptrdiff_t(frames / 1024))
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
    const std::pair<double, uint64_t> cases[] = {{1.0 + 0.4 / 44100, 44100},
                                                 {1.0 + 0.6 / 44100, 44101},
                                                 {length - 0.2 / 44100, frames},
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
}

}  // namespace
