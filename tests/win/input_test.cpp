// The module input of kiv_ambrel.dll, loaded the way velmora loads it, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "host/service_lookup.h"
#include "minihost/app/input_commands.h"
#include "minihost/host/component_library.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"
#include "tests/win/component_run.h"

namespace {

using test_support::beside_executable;
using test_support::decode_blocks;
using test_support::demo_song;
using test_support::failure_text;
using test_support::run_minihost;

// The Debian game music that the tests decode besides the demo songs (drive Z: is the Unix root).
const char* const debian_module_folders[] = {"Z:/usr/share/games/heroes/mod", "Z:/usr/share/games/gl-117/music",
                                             "Z:/usr/share/games/freedroid/sound"};
// Seconds of every module that the native build renders as reference (the Makefile's reference-pcm).
constexpr size_t reference_seconds = 60;

std::vector<std::string> reference_modules() {
    std::vector<std::string> modules = {demo_song("demo.mod"), demo_song("demo.s3m"), demo_song("demo.xm")};
    for (const char* folder : debian_module_folders) {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
            std::string extension = item.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
            if (extension == ".mod" || extension == ".s3m" || extension == ".xm")
                found.push_back(std::string(folder) + "/" + item.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        modules.insert(modules.end(), found.begin(), found.end());
    }
    return modules;
}

// The component in a started host, and the input it registers.
class InputDll : public ::testing::Test {
protected:
    InputDll() : library(beside_executable("kiv_ambrel.dll")), host(folder.file("config.bin")) {
        host.start(library.binding());
        // The host has an input of its own for WAV files; the module input is the one for modules.
        entry = minihost::input_registry(host).find("song.mod").query_as<input_entry_v3>();
    }
    service_ptr_t<input_decoder> open_decoder(const std::string& path) {
        service_ptr_t<input_decoder> decoder;
        entry->open_for_decoding(decoder, {}, path.c_str(), abort);
        return decoder;
    }
    // The scratch copy of a demo song, for tests that change or watch the file.
    std::string scratch_copy(const std::string& name) {
        const std::string copy = folder.file(name);
        test_support::write_bytes(copy, test_support::read_bytes(demo_song(name)));
        return copy;
    }

    test_support::scratch_folder folder{"input-dll"};
    minihost::component_library library;
    minihost::host host;
    service_ptr_t<input_entry_v3> entry;
    abort_callback_dummy abort;
};

TEST_F(InputDll, AcceptsItsExtensionsInAnyCaseAndLooksAtNothingElse) {
    ASSERT_TRUE(entry);
    struct path_case {
        const char* path;
        bool accepted;
    };
    const path_case cases[] = {
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
    for (const path_case& c : cases) {
        EXPECT_EQ(entry->accepts_path(c.path, minihost::extension_of(c.path).c_str()), c.accepted) << c.path;
        EXPECT_EQ(failure_text([&] { inputs.find(c.path); }) == "(no failure)", c.accepted) << c.path;
    }
    // The path plays no part, only the extension handed over.
    EXPECT_TRUE(entry->accepts_path("C:\\music\\song.wav", "xm"));
    EXPECT_FALSE(entry->accepts_path("C:\\music\\song.xm", "wav"));
    EXPECT_FALSE(entry->accepts_content_type("audio/x-mod"));
}

TEST_F(InputDll, EntryAndFileTypeAnswerTheirFixedValues) {
    EXPECT_EQ(host_guid::to_text(entry->get_guid()), "{D9C01C8D-69C5-4EEC-A21C-1D14EF65BF8B}");
    EXPECT_STREQ(entry->get_name(), "kiv_ambrel MOD input");
    EXPECT_TRUE(entry->get_settings_page_guid() == GUID{});
    EXPECT_EQ(entry->get_flags(), 0u);
    EXPECT_FALSE(entry->is_last_resort());
    minihost::mem_block_impl block;
    block.set_size(3);
    entry->read_extra_data({}, {"C:\\a.xm", 0}, GUID{}, block, abort);
    EXPECT_EQ(block.get_size(), 3u);

    auto types = service_lookup_one_t<input_file_type>(host);
    EXPECT_EQ(types->count_types(), 1u);
    zorb::string8 name, mask, untouched("untouched");
    EXPECT_TRUE(types->type_name(0, name));
    EXPECT_TRUE(types->type_mask(0, mask));
    EXPECT_EQ(name.str(), "MOD Files");
    EXPECT_EQ(mask.str(), "*.mod;*.s3m;*.xm");
    EXPECT_FALSE(types->type_name(1, untouched));
    EXPECT_FALSE(types->type_mask(1, untouched));
    EXPECT_EQ(untouched.str(), "untouched");
    EXPECT_TRUE(types->may_associate(0));
}

TEST_F(InputDll, OneSubsongAndExactlyTheFiveTechnicalFields) {
    minihost::input_registry inputs(host);
    service_ptr_t<input_info_reader> reader = inputs.open_for_info_read(demo_song("demo.xm"), abort);
    EXPECT_EQ(reader->count_subsongs(), 1u);
    EXPECT_EQ(reader->subsong_at(0), 0u);
    EXPECT_EQ(reader->subsong_at(5), 0u);
    file_info_impl info;
    reader->read_info(0, info, abort);
    using field = file_info_impl::field;
    EXPECT_EQ(info.info(), (std::vector<field>{{"samplerate", "44100"},
                                               {"channels", "2"},
                                               {"bitspersample", "16"},
                                               {"encoding", "lossless"},
                                               {"bitrate", "1411"}}));
    EXPECT_EQ(info.meta_get_count(), 0u);  // not even the module's own title
    EXPECT_EQ(info.get_length(), 0.0);

    file_info_impl untouched;
    EXPECT_EQ(failure_text([&] { reader->read_info(1, untouched, abort); }), "Unexpected subsong index");
    EXPECT_TRUE(untouched.info().empty());
    auto decoder = open_decoder(demo_song("demo.mod"));
    EXPECT_EQ(failure_text([&] { decoder->initialize(1, 0, abort); }), "Unexpected subsong index");
    decoder->initialize(0, 0, abort);
}

TEST_F(InputDll, InstancesAnswerQueriesForTheirOwnInterfacesOnly) {
    minihost::input_registry inputs(host);
    service_ptr decoder(open_decoder(demo_song("demo.s3m")).get());
    service_ptr reader(inputs.open_for_info_read(demo_song("demo.s3m"), abort).get());
    service_ptr writer(inputs.open_for_info_write(scratch_copy("demo.s3m"), abort).get());
    auto answers = [](const service_ptr& instance) {
        std::vector<std::string> names;
        const std::pair<const char*, GUID> interfaces[] = {
            {"service_base", service_base::class_guid},           {"input_info_reader", input_info_reader::class_guid},
            {"input_decoder", input_decoder::class_guid},         {"input_decoder_v2", input_decoder_v2::class_guid},
            {"input_decoder_v3", input_decoder_v3::class_guid},   {"input_decoder_v4", input_decoder_v4::class_guid},
            {"input_info_writer", input_info_writer::class_guid}, {"input_entry", input_entry::class_guid},
        };
        for (const auto& [name, guid] : interfaces) {
            service_base* out = nullptr;
            if (!instance->query(out, guid)) continue;
            names.push_back(name);
            out->release();
        }
        return names;
    };
    using names = std::vector<std::string>;
    EXPECT_EQ(answers(decoder), (names{"service_base", "input_info_reader", "input_decoder", "input_decoder_v2",
                                       "input_decoder_v3", "input_decoder_v4"}));
    EXPECT_EQ(answers(reader), (names{"service_base", "input_info_reader"}));
    EXPECT_EQ(answers(writer), (names{"service_base", "input_info_reader", "input_info_writer"}));

    service_ptr other;
    EXPECT_EQ(failure_text([&] {
                  entry->open_instance(other, input_decoder_v4::class_guid, {}, demo_song("demo.s3m").c_str(), {},
                                       abort);
              }),
              "Feature not implemented");
    EXPECT_FALSE(other);
}

TEST_F(InputDll, TagWritingAndRawDecodingFailAndLeaveTheFileAlone) {
    const std::string path = scratch_copy("demo.xm");
    const std::vector<uint8_t> before = test_support::read_bytes(path);
    const auto time_before = std::filesystem::last_write_time(test_support::native_path(path));
    minihost::input_registry inputs(host);
    {
        service_ptr_t<input_info_writer> writer = inputs.open_for_info_write(path, abort);
        file_info_impl info;
        info.meta_add("title", "changed");
        EXPECT_EQ(failure_text([&] { writer->write_info(0, info, abort); }), "Unsupported file format");
        EXPECT_EQ(failure_text([&] { writer->write_info(1, info, abort); }), "Unexpected subsong index");
        writer->finish_write(abort);

        auto decoder = open_decoder(path).query_as<input_decoder_v2>();
        minihost::audio_chunk_impl chunk;
        minihost::mem_block_impl raw;
        EXPECT_EQ(failure_text([&] { decoder->run_with_raw(chunk, raw, abort); }), "Feature not implemented");
    }
    EXPECT_EQ(test_support::read_bytes(path), before);
    EXPECT_TRUE(std::filesystem::last_write_time(test_support::native_path(path)) == time_before);
}

TEST_F(InputDll, FilesNoLoaderTakesFailAtOpenWithNoInstance) {
    const std::vector<uint8_t> song = test_support::read_bytes(demo_song("demo.xm"));
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"empty.xm", {}},
        {"text.mod", std::vector<uint8_t>(4000, 'x')},
        {"header-only.xm", std::vector<uint8_t>(song.begin(), song.begin() + 100)},
    };
    for (const auto& [name, bytes] : files) {
        const std::string path = folder.file(name);
        test_support::write_bytes(path, bytes);
        service_ptr_t<input_decoder> decoder;
        EXPECT_EQ(failure_text([&] { entry->open_for_decoding(decoder, {}, path.c_str(), abort); }),
                  "Unsupported file format")
            << name;
        EXPECT_FALSE(decoder) << name;
        service_ptr_t<input_info_reader> reader;
        EXPECT_EQ(failure_text([&] { entry->open_for_info_read(reader, {}, path.c_str(), abort); }),
                  "Unsupported file format")
            << name;
        EXPECT_FALSE(reader) << name;
        // The failed open closed the file: it can go at once.
        EXPECT_TRUE(std::filesystem::remove(test_support::native_path(path))) << name;
    }
    EXPECT_EQ(failure_text([&] { open_decoder(folder.file("missing.xm")); }), "Object not found");
}

TEST_F(InputDll, SeekChangesNothingAndBlocksStayWholeLongAfterTheLastOrder) {
    auto sought = open_decoder(demo_song("demo.mod"));
    auto plain = open_decoder(demo_song("demo.mod"));
    EXPECT_FALSE(sought->can_seek());
    std::vector<float> first = decode_blocks(*sought, 10);
    sought->seek(30.0, abort);
    std::vector<float> after_seek = decode_blocks(*sought, 10);
    first.insert(first.end(), after_seek.begin(), after_seek.end());
    EXPECT_EQ(first, decode_blocks(*plain, 20));

    // The demo songs last about 32 s (1380 blocks); the input plays on, block for block.
    decode_blocks(*plain, 2000);
    file_info_impl info;
    double offset = -1;
    EXPECT_FALSE(plain->poll_stream_info(info, offset));
    EXPECT_FALSE(plain->poll_track_info(info, offset));
    EXPECT_EQ(offset, -1.0);
    EXPECT_TRUE(info.info().empty());
    auto newest = plain.query_as<input_decoder_v4>();
    EXPECT_FALSE(newest->wants_flush_on_pause());
    EXPECT_EQ(newest->extended_query(GUID{}, 0, nullptr, 0), 0);
}

TEST_F(InputDll, FileStatisticsAreThoseTakenAtOpen) {
    const std::string path = scratch_copy("demo.s3m");
    const auto native = test_support::native_path(path);
    minihost::input_registry inputs(host);
    service_ptr_t<input_info_reader> reader = inputs.open_for_info_read(path, abort);
    service_ptr_t<file> direct = filesystem::g_open(host, path.c_str(), filesystem::open_mode_read, abort);
    const file_stats at_open = {direct->get_size(abort), direct->get_timestamp(abort)};
    direct.reset();

    std::vector<uint8_t> longer = test_support::read_bytes(path);
    longer.resize(longer.size() + 1000);
    test_support::write_bytes(path, longer);
    std::filesystem::last_write_time(native, std::filesystem::last_write_time(native) + std::chrono::hours(30));

    const file_stats reported = reader->query_file_stats(abort);
    EXPECT_EQ(reported.size, at_open.size);
    EXPECT_EQ(reported.size, std::filesystem::file_size(native) - 1000);
    EXPECT_EQ(reported.timestamp, at_open.timestamp);
    EXPECT_NE(reported.timestamp, minihost::host_file_time(std::filesystem::last_write_time(native)));
}

TEST_F(InputDll, DecodersOnSeveralThreadsHearWhatOneAloneHears) {
    const std::string songs[] = {demo_song("demo.xm"), demo_song("demo.s3m"), demo_song("demo.mod"),
                                 demo_song("demo.xm")};
    constexpr size_t blocks = 300;
    std::vector<std::vector<float>> alone;
    for (const std::string& song : songs) alone.push_back(decode_blocks(*open_decoder(song), blocks));
    std::vector<std::vector<float>> together(std::size(songs));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < std::size(songs); ++i) {
        auto decoder = open_decoder(songs[i]);
        threads.emplace_back([&together, decoder, i] { together[i] = decode_blocks(*decoder, blocks); });
    }
    for (auto& thread : threads) thread.join();
    for (size_t i = 0; i < std::size(songs); ++i) EXPECT_TRUE(together[i] == alone[i]) << songs[i];
}

// The native build's `ambrel render` output of every module, converted to float, is exactly what
// the host receives from the DLL: the module library gives the same bits in both builds.
TEST_F(InputDll, DecodedAudioEqualsTheNativeRenderSampleForSample) {
    const std::string reference_folder = beside_executable("../reference-pcm/");
    const size_t frames = reference_seconds * 44100;
    minihost::input_registry inputs(host);
    size_t compared = 0;
    for (const std::string& module : reference_modules()) {
        const std::string name = module.substr(module.find_last_of('/') + 1);
        const std::vector<uint8_t> reference = test_support::read_bytes(reference_folder + name + ".pcm");
        ASSERT_EQ(reference.size(), frames * 4) << name << ": no reference PCM; `make reference-pcm` writes it";
        service_ptr_t<input_decoder> decoder = inputs.open_for_decoding(module, abort);
        const std::vector<float> decoded = decode_blocks(*decoder, (frames + 1023) / 1024);
        size_t mismatches = 0, first_mismatch = 0;
        for (size_t i = 0; i < frames * 2; ++i) {
            const auto expected = int16_t(reference[2 * i] | reference[2 * i + 1] << 8);
            if (decoded[i] * 32768.0f != float(expected) && mismatches++ == 0) first_mismatch = i;
        }
        EXPECT_EQ(mismatches, 0u) << name << ": first at sample " << first_mismatch;
        ++compared;
    }
    EXPECT_GE(compared, 3u + 13 + 8 + 8);  // the demo songs and the three packages' modules
}

TEST(MinihostInput, InfoNamesTheInputOrTheFailure) {
    test_support::scratch_folder folder("minihost-info");
    const std::string song = demo_song("demo.s3m");
    const std::string text = folder.file("notes.mod");
    test_support::write_bytes(text, std::vector<uint8_t>(2000, 'n'));
    const std::string output = run_minihost("info " + song + " " + text + " " + folder.file("other.flac") + " 2>&1");
    const std::string size = std::to_string(std::filesystem::file_size(test_support::native_path(song)));
    EXPECT_NE(output.find(song +
                          ": kiv_ambrel MOD input\n  samplerate: 44100\n  channels: 2\n  bitspersample: 16\n"
                          "  encoding: lossless\n  bitrate: 1411\n  file size: " +
                          size +
                          " bytes\n"
                          "  file time: 20"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find(text + ": Unsupported file format\n"), std::string::npos) << output;
    EXPECT_NE(output.find(folder.file("other.flac") + ": Unsupported file format\n"), std::string::npos) << output;
}

TEST(MinihostInput, PlayWritesWhatTheHostReceived) {
    test_support::scratch_folder folder("minihost-play");
    const std::string wav = folder.file("demo.wav");
    const std::string output = run_minihost("play " + demo_song("demo.xm") + " --seconds 1.5 --out " + wav + " 2>&1");
    EXPECT_NE(output.find(wav + ": 66150 frames decoded, peak "), std::string::npos) << output;
    const std::vector<uint8_t> written = test_support::read_bytes(wav);
    ASSERT_EQ(written.size(), 44u + 66150 * 4);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 4), "RIFF");
    // The samples are the native render's, which the reference holds for the first minute.
    const std::vector<uint8_t> reference = test_support::read_bytes(beside_executable("../reference-pcm/demo.xm.pcm"));
    ASSERT_GE(reference.size(), 66150u * 4);
    EXPECT_TRUE(std::equal(written.begin() + 44, written.end(), reference.begin()));

    EXPECT_NE(run_minihost("play " + folder.file("missing.xm") + " --seconds 1 2>&1").find("Object not found"),
              std::string::npos);
}

// "Loop modules for ever" set in one run of minihost.exe holds in the next ones on the same
// profile: off, each demo song shows its length and plays its first pass to its last frame; on
// again, it plays on for as long as asked and shows no length.
TEST(MinihostInput, LoopSettingHoldsAcrossRestartsAndOffEndsEachSongAtItsPass) {
    test_support::scratch_folder folder("minihost-loop");
    const std::string profile = " --profile " + folder.file("profile") + " ";
    const std::string wav = folder.file("played.wav");
    EXPECT_NE(
        run_minihost(profile + "advconfig set \"Loop modules for ever\" off").find("Loop modules for ever: off\n"),
        std::string::npos);
    const std::string reference_folder = beside_executable("../reference-pcm/");
    for (const char* name : {"demo.mod", "demo.s3m", "demo.xm"}) {
        const uint64_t frames = test_support::pass_frames(demo_song(name));
        const std::string length = run_minihost(profile + "info " + demo_song(name));
        EXPECT_NE(length.find("  bitrate: 1411\n  length: " + std::to_string(frames / 44100)), std::string::npos)
            << length;
        const std::string played = run_minihost(profile + "play " + demo_song(name) + " --seconds 3600 --out " + wav);
        EXPECT_NE(played.find(wav + ": " + std::to_string(frames) + " frames decoded"), std::string::npos) << played;
        const std::vector<uint8_t> written = test_support::read_bytes(wav);
        const std::vector<uint8_t> reference = test_support::read_bytes(reference_folder + name + ".pcm");
        ASSERT_EQ(written.size(), 44 + frames * 4) << name;
        ASSERT_GE(reference.size(), frames * 4) << name;
        EXPECT_TRUE(std::equal(written.begin() + 44, written.end(), reference.begin())) << name;
    }
    EXPECT_NE(run_minihost(profile + "advconfig set \"Loop modules for ever\" on").find("Loop modules for ever: on\n"),
              std::string::npos);
    EXPECT_NE(run_minihost(profile + "play " + demo_song("demo.xm") + " --seconds 40 --out " + wav)
                  .find(": 1764000 frames decoded"),
              std::string::npos);
    EXPECT_EQ(run_minihost(profile + "info " + demo_song("demo.xm")).find("length:"), std::string::npos);
}

// The host's own WAV input behind minihost.exe's commands: tags set and shown, info, and play
// giving back the file's own samples.
TEST(MinihostInput, TagsInfoAndPlayTakeWavFilesThroughTheHostsOwnInput) {
    test_support::scratch_folder folder("minihost-wav");
    test_support::wave_shape mono;
    mono.channels = 1;
    mono.rate = 22050;
    std::vector<int64_t> ramp(22050);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int64_t(i) - 11025;
    const std::vector<uint8_t> samples = test_support::integer_samples(mono, ramp);
    const std::string wav = folder.file("ramp.wav");
    test_support::write_bytes(wav, test_support::wave_file(mono, samples, {{"INAM", "Ramp"}}));

    const std::string tagged =
        wav + ": minihost WAV input\n  title=Ramp\n  comment=kiv_sample was here\n  length: 1 s\n";
    EXPECT_NE(run_minihost("tags " + wav + " \"comment=kiv_sample was here\" 2>&1").find(tagged), std::string::npos);
    const std::string shown = run_minihost("tags " + wav + " 2>&1");
    EXPECT_NE(shown.find(tagged), std::string::npos) << shown;
    EXPECT_NE(shown.find("\n  samplerate: 22050\n  channels: 1\n  bitspersample: 16\n"), std::string::npos) << shown;
    EXPECT_NE(run_minihost("info " + wav).find(wav + ": minihost WAV input\n  codec: PCM\n"), std::string::npos);

    const std::string played = folder.file("played.wav");
    EXPECT_NE(run_minihost("play " + wav + " --seconds 5 --out " + played + " 2>&1").find(": 22050 frames decoded"),
              std::string::npos);
    const std::vector<uint8_t> written = test_support::read_bytes(played);
    ASSERT_EQ(written.size(), 44 + samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), written.begin() + 44));

    const std::string module = folder.file("song.mod");
    test_support::write_bytes(module, test_support::read_bytes(demo_song("demo.mod")));
    EXPECT_NE(run_minihost("tags " + module + " comment=x 2>&1")
                  .find("minihost: " + module + ": the kiv_ambrel MOD input wrote no tags: Unsupported file format"),
              std::string::npos);
}

}  // namespace

// With "Loop modules for ever" off the player goes from each song to the next at the end of its
// pass and ends with the playlist, having played every pass whole.
TEST(MinihostInput, PlaybackWithoutLoopingPlaysEachSongOnceAndEndsWithTheList) {
    test_support::scratch_folder folder("minihost-playlist");
    const std::string profile = " --profile " + folder.file("profile") + " ";
    ASSERT_NE(
        run_minihost(profile + "advconfig set \"Loop modules for ever\" off").find("Loop modules for ever: off\n"),
        std::string::npos);
    std::string songs, expected_tracks;
    uint64_t frames = 0;
    for (const char* name : {"demo.mod", "demo.s3m", "demo.xm"}) {
        songs += " " + demo_song(name);
        expected_tracks += "[playback] new track: \"" + demo_song(name) + "\"\n";
        frames += test_support::pass_frames(demo_song(name));
    }
    std::string output = run_minihost(profile + "playback" + songs + " --fast");
    // The time events between the tracks are another test's.
    std::string events;
    for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = output.substr(start, end + 1 - start);
        if (line.starts_with("[playback] ") && !line.starts_with("[playback] time: ")) events += line;
    }
    EXPECT_EQ(events, "[playback] starting: command 1\n" + expected_tracks +
                          "[playback] stop: end of playlist\n[playback] " + std::to_string(frames) +
                          " frames played\n");
}
