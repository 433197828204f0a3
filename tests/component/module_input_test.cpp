// The module input in-process, as the host finds it among its inputs: which paths it takes, what it
// reports of a file, the interfaces its instances answer for, and decoders on several threads.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/service_lookup.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "tests/component/sample_fixture.h"

namespace {

using test_support::decode_blocks;
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
    const std::pair<const char*, bool> paths[] = {
        {"C:\\music\\SONG.MOD", true},
        {"tune.s3m", true},
        {"C:\\x\\tune.Xm", true},
        {"file:///C:/a/b.xM", true},
        {"archive.zip|inner.S3m", true},
        {"song.mo3", false},
        {"song.it", false},
        {"C:\\music\\noextension", false},
        {"C:\\songs.xm\\readme", false},
        {"C:\\songs.mod\\notes.txt", false},
        {"song.mod.bak", false},
        {"song.", false},
    };
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
    // The input keeps no data of its own in the host's index: the block handed over stays as it was.
    minihost::mem_block_impl block;
    block.set_size(3);
    entry->read_extra_data({}, {"C:\\a.xm", 0}, GUID{}, block, abort);
    EXPECT_EQ(block.get_size(), 3u);
}

TEST_F(ModuleInput, OneSubsongAndExactlyTheFiveTechnicalFields) {
    service_ptr_t<input_info_reader> reader =
        minihost::input_registry(host).open_for_info_read(demo_song("demo.xm"), abort);
    EXPECT_EQ(reader->count_subsongs(), 1u);
    EXPECT_EQ(reader->subsong_at(0), 0u);
    EXPECT_EQ(reader->subsong_at(5), 0u);
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
    minihost::input_registry inputs(host);
    const std::pair<const char*, GUID> interfaces[] = {
        {"service_base", service_base::class_guid},           {"input_info_reader", input_info_reader::class_guid},
        {"input_decoder", input_decoder::class_guid},         {"input_decoder_v2", input_decoder_v2::class_guid},
        {"input_decoder_v3", input_decoder_v3::class_guid},   {"input_decoder_v4", input_decoder_v4::class_guid},
        {"input_info_writer", input_info_writer::class_guid}, {"input_entry", input_entry::class_guid},
    };
    auto answers = [&](const service_ptr& instance) {
        std::vector<std::string> names;
        for (const auto& [name, guid] : interfaces) {
            service_base* out = nullptr;
            if (!instance->query(out, guid)) continue;
            names.push_back(name);
            out->release();
        }
        return names;
    };
    using names = std::vector<std::string>;
    EXPECT_EQ(answers(service_ptr(open_decoder(demo_song("demo.s3m")).get())),
              (names{"service_base", "input_info_reader", "input_decoder", "input_decoder_v2", "input_decoder_v3",
                     "input_decoder_v4"}));
    EXPECT_EQ(answers(service_ptr(inputs.open_for_info_read(demo_song("demo.s3m"), abort).get())),
              (names{"service_base", "input_info_reader"}));
    EXPECT_EQ(answers(service_ptr(inputs.open_for_info_write(scratch_copy("demo.s3m"), abort).get())),
              (names{"service_base", "input_info_reader", "input_info_writer"}));
}

TEST_F(ModuleInput, NothingToPollNoFlushOnPauseAndBlocksStayWholeLongAfterTheLastOrder) {
    auto decoder = open_decoder(demo_song("demo.mod"));
    // The demo songs last about 32 s (1380 blocks); the input plays on, block for block.
    const std::vector<float> played = decode_blocks(*decoder, 2000);
    EXPECT_EQ(played.size(), 2000u * 1024 * 2);
    file_info_impl info;
    double offset = -1;
    EXPECT_FALSE(decoder->poll_stream_info(info, offset));
    EXPECT_FALSE(decoder->poll_track_info(info, offset));
    EXPECT_EQ(offset, -1.0);
    EXPECT_TRUE(info.info().empty());
    auto newest = decoder.query_as<input_decoder_v4>();
    EXPECT_FALSE(newest->wants_flush_on_pause());
    EXPECT_EQ(newest->extended_query(GUID{}, 0, nullptr, 0), 0);
}

TEST_F(ModuleInput, FileStatisticsAreThoseTakenAtOpen) {
    const std::string path = scratch_copy("demo.s3m");
    const auto native = test_support::native_path(path);
    service_ptr_t<input_info_reader> reader = minihost::input_registry(host).open_for_info_read(path, abort);
    const uint64_t size_at_open = std::filesystem::file_size(native);
    const uint64_t time_at_open = minihost::host_file_time(std::filesystem::last_write_time(native));

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

}  // namespace
