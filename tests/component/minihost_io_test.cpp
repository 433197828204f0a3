// The host side that the module input calls on: text comparison, sample conversion, the local
// file system, the extension the host cuts, and the info and play commands' own parts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "host/shared.h"
#include "minihost/app/command_line.h"
#include "minihost/app/component_commands.h"
#include "minihost/app/input_commands.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"
#include "tools/writers/wav_writer.h"

namespace {

using test_support::failure_text;

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

// A started host with the component in-process: its file systems are listed once it has started.
struct started_host {
    explicit started_host(const std::string& name) : config(name), host(config.file("config.bin")) {
        host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
    }
    test_support::scratch_folder config;
    minihost::host host;
};

int sign(int value) { return (value > 0) - (value < 0); }

TEST(SharedText, ComparesUtf8WithoutRegardToCase) {
    struct comparison {
        const char* a;
        const char* b;
        int expected;  // sign
    };
    const comparison cases[] = {
        {"mod", "MOD", 0},
        {"Xm", "xM", 0},
        {"mod", "mo3", 1},  // 'd' after '3'
        {"mo", "mod", -1},
        {"", "", 0},
        {"a", "B", -1},                                               // folded before comparing, unlike strcmp
        {"\xC3\x84RA", "\xC3\xA4ra", 0},                              // ÄRA, ära
        {"\xC3\x97", "\xC3\xB7", -1},                                 // × and ÷ are not a letter pair
        {"\xD0\x9C\xD0\x9E\xD0\x94", "\xD0\xBC\xD0\xBE\xD0\xB4", 0},  // МОД, мод
        {"\xD0\x81", "\xD1\x91", 0},                                  // Ё, ё
        {"\xCE\xA3", "\xCF\x83", 0},                                  // Σ, σ
        {"\xC4", "\xC3\x84", 1},                                      // a stray byte is no Ä
        {"\xC0\xAF", "/", 1},                                         // nor is an overlong form a slash
        {"\xE2\x82", "\xE2\x82", 0},                                  // a sequence cut short equals itself
    };
    for (const comparison& c : cases) {
        EXPECT_EQ(sign(stricmp_utf8(c.a, c.b)), c.expected) << c.a << " / " << c.b;
        EXPECT_EQ(sign(stricmp_utf8(c.b, c.a)), -c.expected) << c.b << " / " << c.a;
    }
}

TEST(SharedAudio, Int16ConvertsToFullScaleFloatAndBack) {
    std::vector<int16_t> every(65536);
    for (size_t i = 0; i < every.size(); ++i) every[i] = int16_t(int(i) - 32768);
    std::vector<float> converted(every.size());
    audio_math::convert_from_int16(every.data(), every.size(), converted.data(), 1.0f);
    EXPECT_EQ(converted.front(), -1.0f);
    EXPECT_EQ(converted[32768], 0.0f);
    EXPECT_EQ(converted[32768 + 16384], 0.5f);
    EXPECT_EQ(converted.back(), 32767.0f / 32768.0f);
    for (size_t i = 0; i < every.size(); ++i) ASSERT_EQ(minihost::sample_to_int16(converted[i]), every[i]) << i;

    const int16_t quarter = 8192;
    float halved = 0;
    audio_math::convert_from_int16(&quarter, 1, &halved, 0.5f);
    EXPECT_EQ(halved, 0.125f);
}

TEST(SharedAudio, FloatBeyondFullScaleClampsAndNanIsSilence) {
    EXPECT_EQ(minihost::sample_to_int16(1.5f), 32767);
    EXPECT_EQ(minihost::sample_to_int16(1.0f), 32767);
    EXPECT_EQ(minihost::sample_to_int16(-2.0f), -32768);
    EXPECT_EQ(minihost::sample_to_int16(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(minihost::sample_to_int16(0.6f / 32768), 1);  // rounded, not cut
}

TEST(SharedAudio, BlocksConvertAndMeasureAsSampleBySample) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
    // Every branch: NaN, beyond full scale either way, ties on both sides of zero, the extremes.
    const std::vector<float> tricky = {nan,
                                       infinity,
                                       -infinity,
                                       1.5f,
                                       -2.0f,
                                       1.0f,
                                       -1.0f,
                                       0.5f / 32768,
                                       1.5f / 32768,
                                       -0.5f / 32768,
                                       -2.5f / 32768,
                                       32767.5f / 32768,
                                       -32768.5f / 32768,
                                       0.3f,
                                       -0.7f,
                                       -32767.5f / 32768,
                                       2.4f / 32768,
                                       1e-9f,
                                       -1e30f,
                                       0.0f};
    // From every start, so that each value meets both the eight-wide steps and the tail.
    for (size_t start = 0; start < 8; ++start) {
        const std::vector<float> samples(tricky.begin() + std::ptrdiff_t(start), tricky.end());
        std::vector<int16_t> block(samples.size());
        minihost::samples_to_int16(samples.data(), samples.size(), block.data());
        double peak = 0, sum = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            ASSERT_EQ(block[i], minihost::sample_to_int16(samples[i])) << start << " " << samples[i];
            peak = std::max(peak, std::abs(block[i] / 32768.0));
            sum += (block[i] / 32768.0) * (block[i] / 32768.0);
        }
        minihost::sample_levels levels;
        levels.add(block.data(), block.size());
        EXPECT_EQ(levels.peak(), peak) << start;
        EXPECT_NEAR(levels.rms(), std::sqrt(sum / double(block.size())), 1e-12) << start;
    }
    minihost::sample_levels silence;
    EXPECT_EQ(silence.rms(), 0.0);
}

TEST(LocalFilesystem, ClaimsLocalPathsAndFileUrls) {
    for (const char* path : {"C:\\music\\a.xm", "/home/a.xm", "relative/a.xm", "file:///C:/a.xm", "file://C:\\a.xm",
                             "C:\\odd://name.xm", "://x"})
        EXPECT_TRUE(minihost::is_local_path(path)) << path;
    for (const char* path : {"http://host/a.xm", "ftp://a.xm", "fake://a.xm", "svn+ssh://a"})
        EXPECT_FALSE(minihost::is_local_path(path)) << path;

    EXPECT_EQ(minihost::local_path_of("file://C:\\music\\a b.xm"), "C:\\music\\a b.xm");
    EXPECT_EQ(minihost::local_path_of("file:///home/a%20b.xm"), "/home/a%20b.xm");  // no escapes decoded
    EXPECT_EQ(minihost::local_path_of("C:\\music\\a.xm"), "C:\\music\\a.xm");
#ifdef _WIN32
    EXPECT_EQ(minihost::local_path_of("file:///C:/music/a.xm"), "C:/music/a.xm");
#endif
}

TEST(LocalFilesystem, OpenModesReadWriteAndCreate) {
    test_support::scratch_folder folder("local-filesystem");
    started_host started("local-filesystem-config");
    minihost::host& host = started.host;
    abort_callback_dummy abort;
    const std::string path = folder.file("song.xm");
    auto open = [&](const std::string& where, filesystem::open_mode mode) {
        return filesystem::g_open(host, where.c_str(), mode, abort);
    };

    EXPECT_EQ(failure_text([&] { open(path, filesystem::open_mode_read); }), "Object not found");
    EXPECT_EQ(failure_text([&] { open(path, filesystem::open_mode_write_existing); }), "Object not found");
    EXPECT_EQ(failure_text([&] { open(folder.file(""), filesystem::open_mode_read); }), "Access denied");
    EXPECT_EQ(failure_text([&] { open("http://host/song.xm", filesystem::open_mode_read); }), "Unsupported file path");

    open(path, filesystem::open_mode_write_new)->write("abcdef", 6, abort);
    {
        auto existing = open(path, filesystem::open_mode_write_existing);
        EXPECT_EQ(existing->get_size(abort), 6u);  // kept, not emptied
        existing->write("XY", 2, abort);
    }
    auto reader = open("file://" + path, filesystem::open_mode_read);
    EXPECT_EQ(reader->get_size(abort), 6u);
    char bytes[10] = {};
    EXPECT_EQ(reader->read(bytes, 4, abort), 4u);
    EXPECT_EQ(reader->read(bytes + 4, 6, abort), 2u);  // fewer at the end
    EXPECT_EQ(reader->read(bytes, 6, abort), 0u);
    EXPECT_STREQ(bytes, "XYcdef");
    EXPECT_EQ(failure_text([&] { reader->write("z", 1, abort); }), "Access denied");
    EXPECT_EQ(reader->get_size(abort), 6u);
#ifdef _WIN32
    // As the system's own programs do, a reader shares the file with readers only.
    EXPECT_THROW(open(path, filesystem::open_mode_write_new), velmora_io::exception_io_sharing_violation);
    EXPECT_EQ(open(path, filesystem::open_mode_read)->get_size(abort), 6u);
#endif
    reader.reset();

    open(path, filesystem::open_mode_write_new);
    EXPECT_EQ(open(path, filesystem::open_mode_read)->get_size(abort), 0u);  // emptied by a new write
}

TEST(LocalFilesystem, TimestampsCountHundredNanosecondsSince1601) {
    test_support::scratch_folder folder("local-filesystem-time");
    started_host started("local-filesystem-time-config");
    minihost::host& host = started.host;
    abort_callback_dummy abort;
    const std::string path = folder.file("dated.mod");
    test_support::write_bytes(path, {1, 2, 3});
    // 2020-01-02 03:04:05 UTC is 1577934245 s after 1970; 1970 is 11644473600 s after 1601.
    using namespace std::chrono;
    const sys_seconds moment{seconds(1577934245)};
    std::filesystem::last_write_time(test_support::native_path(path), file_clock::from_sys(moment));
    const uint64_t timestamp =
        filesystem::g_open(host, path.c_str(), filesystem::open_mode_read, abort)->get_timestamp(abort);
    EXPECT_EQ(timestamp, (1577934245ull + 11644473600ull) * 10000000ull);
    EXPECT_EQ(minihost::format_file_time(timestamp), "2020-01-02 03:04:05 UTC");
    EXPECT_EQ(minihost::format_file_time(filetimestamp_invalid), "unknown");
}

TEST(InputRegistry, ExtensionIsCutFromTheFileNameOnly) {
    struct extension_case {
        const char* path;
        const char* extension;
    };
    const extension_case cases[] = {
        {"C:\\music\\song.MOD", "MOD"},
        {"song.tar.xm", "xm"},
        {"C:\\songs.xm\\readme", ""},  // the dot is in a folder's name
        {"/music/songs.s3m/readme", ""},
        {"archive.zip|inner.xm", "xm"},
        {"archive.zip|inner", ""},
        {"trailing.", ""},
        {"noextension", ""},
        {"", ""},
    };
    for (const extension_case& c : cases) EXPECT_EQ(minihost::extension_of(c.path), c.extension) << c.path;
}

TEST(MinihostCommands, GlobalOptionsAnywhereAndTheRestForTheCommand) {
    minihost::command_options options;
    std::string error;
    ASSERT_TRUE(
        minihost::parse_command_line({"play", "a.xm", "--seconds", "2", "--config", "c/c.cfg"}, "D/", options, error));
    EXPECT_STREQ(options.chosen->name, "play");
    EXPECT_EQ(options.arguments, (std::vector<std::string>{"a.xm", "--seconds", "2"}));
    EXPECT_EQ(options.component_path, "D/kiv_ambrel.dll");
    // A configuration file given alone brings the profile to its folder.
    EXPECT_EQ(options.config_path, "c/c.cfg");
    EXPECT_EQ(options.profile_folder, "c");

    ASSERT_TRUE(minihost::parse_command_line(
        {"--component", "k.dll", "info", "a.xm", "--web-map", "*=http://x/", "b.mod"}, "D/", options, error));
    EXPECT_STREQ(options.chosen->name, "info");
    EXPECT_EQ(options.arguments, (std::vector<std::string>{"a.xm", "b.mod"}));
    EXPECT_EQ(options.component_path, "k.dll");
    EXPECT_EQ(options.profile_folder, "D/profile");
    EXPECT_EQ(options.config_path, minihost::profile("D/profile").config_file());
    ASSERT_EQ(options.settings.web_map.size(), 1u);

    ASSERT_TRUE(minihost::parse_command_line({"--config", "c.cfg", "about", "--profile", "P"}, "D/", options, error));
    EXPECT_EQ(options.profile_folder, "P");
    EXPECT_EQ(options.config_path, "c.cfg");
    ASSERT_TRUE(minihost::parse_command_line({"about", "--profile", "P"}, "D/", options, error));
    EXPECT_EQ(options.config_path, minihost::profile("P").config_file());

    struct refusal {
        std::vector<std::string> arguments;
        const char* error;
    };
    for (const refusal& r :
         {refusal{{"render", "a.xm"}, "unknown command render"},
          refusal{{"--seconds", "2"}, "unexpected argument --seconds"},
          refusal{{"info", "a.xm", "--config"}, "--config needs a path"},
          refusal{{"info", "--profile"}, "--profile needs a folder"},
          refusal{{"about", "--web-map", "http://a/"},
                  "--web-map needs URL=URL or *=URL, the second an http:// or https:// URL, not http://a/"},
          refusal{{}, "no command given"}}) {
        EXPECT_FALSE(minihost::parse_command_line(r.arguments, "D/", options, error));
        EXPECT_EQ(error, r.error);
    }
    // The usage text lists every command of the table.
    for (const minihost::command& known : minihost::command_table())
        EXPECT_NE(minihost::usage_text().find(std::string("  ") + known.name), std::string::npos) << known.name;
}

TEST(MinihostCommands, PlayArgumentsAndTheirDefaults) {
    minihost::play_options options;
    std::string error;
    ASSERT_TRUE(minihost::parse_play_arguments({"C:\\music\\tune.xm"}, options, error));
    EXPECT_EQ(options.seconds, 30);
    EXPECT_EQ(options.output, "out/tune.xm.wav");
    ASSERT_TRUE(minihost::parse_play_arguments({"--out", "x.wav", "tune.mod", "--seconds", "0.5"}, options, error));
    EXPECT_EQ(options.file, "tune.mod");
    EXPECT_EQ(options.seconds, 0.5);
    EXPECT_EQ(options.output, "x.wav");

    for (const std::vector<std::string>& refused : {std::vector<std::string>{},
                                                    {"a.xm", "b.xm"},
                                                    {"a.xm", "--seconds"},
                                                    {"a.xm", "--seconds", "0"},
                                                    {"a.xm", "--seconds", "-3"},
                                                    {"a.xm", "--seconds", "3601"},
                                                    {"a.xm", "--seconds", "2x"},
                                                    {"a.xm", "--seconds", "nan"},
                                                    {"a.xm", "--loop"}})
        EXPECT_FALSE(minihost::parse_play_arguments(refused, options, error)) << testing::PrintToString(refused);
}

TEST(WavWriter, HeaderGivesTheFormatAndTheSizesOfWhatWasWritten) {
    test_support::scratch_folder folder("wav-writer");
    struct format {
        unsigned rate;
        unsigned channels;
    };
    for (const format& f : {format{44100, 2}, format{8000, 1}}) {
        const std::string path = folder.file("written.wav");
        wav_writer wav;
        ASSERT_TRUE(wav.open(path, f.rate, f.channels)) << wav.error();
        const int16_t first[] = {1, -2, 0x1234};
        const int16_t second[] = {-32768, 32767, 0};
        ASSERT_TRUE(wav.write(first, 3));
        ASSERT_TRUE(wav.write(second, 0));
        ASSERT_TRUE(wav.write(second, 3));
        ASSERT_TRUE(wav.finish()) << wav.error();
        const std::vector<uint8_t> bytes = test_support::read_bytes(path);
        const auto le = [](uint32_t value, int count) {
            std::vector<uint8_t> out;
            for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
            return out;
        };
        std::vector<uint8_t> expected = {'R', 'I', 'F', 'F'};
        for (const auto& part : {le(36 + 12, 4), std::vector<uint8_t>{'W', 'A', 'V', 'E', 'f', 'm', 't', ' '},
                                 le(16, 4), le(1, 2), le(f.channels, 2), le(f.rate, 4), le(f.rate * f.channels * 2, 4),
                                 le(f.channels * 2, 2), le(16, 2), std::vector<uint8_t>{'d', 'a', 't', 'a'}, le(12, 4),
                                 std::vector<uint8_t>{1, 0, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80, 0xFF, 0x7F, 0, 0}})
            expected.insert(expected.end(), part.begin(), part.end());
        EXPECT_EQ(bytes, expected) << f.rate;
    }
}

TEST(WavWriter, FileThatCannotBeCreatedFailsWithItsPath) {
    test_support::scratch_folder folder("wav-writer-missing");
    const std::string path = folder.file("missing/out.wav");
    wav_writer wav;
    EXPECT_FALSE(wav.open(path, 44100, 2));
    EXPECT_EQ(wav.error().rfind(path + ": ", 0), 0u) << wav.error();
    const int16_t sample = 0;
    EXPECT_FALSE(wav.write(&sample, 1));
    EXPECT_FALSE(wav.finish());
}

}  // namespace
