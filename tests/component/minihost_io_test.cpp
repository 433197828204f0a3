// The host side that the module input calls on, and what minihost.exe makes of its arguments.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <sstream>
#include <tuple>

#include "host/shared.h"
#include "minihost/app/command_line.h"
#include "minihost/app/input_commands.h"
#include "minihost/host/filesystem.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"
#include "tools/writers/wav_writer.h"

namespace {

using test_support::failure_text;
using test_support::started_host;

int sign(int value) { return (value > 0) - (value < 0); }

TEST(SharedText, ComparesUtf8WithoutRegardToCase) {
    const std::tuple<const char*, const char*, int> cases[] = {
        // a, b, the sign of their comparison
        {"mod", "MOD", 0},
        {"mo", "mod", -1},
        {"a", "B", -1},                                               // folded before comparing, unlike strcmp
        {"\xC3\x97", "\xC3\xB7", -1},                                 // × and ÷ are not a letter pair
        {"\xD0\x9C\xD0\x9E\xD0\x94", "\xD0\xBC\xD0\xBE\xD0\xB4", 0},  // МОД, мод
        {"\xC4", "\xC3\x84", 1},                                      // a stray byte is no Ä
        {"\xC0\xAF", "/", 1},                                         // nor is an overlong form a slash
        {"\xE2\x82", "\xE2\x82", 0},                                  // a sequence cut short equals itself
    };
    for (const auto& [a, b, expected] : cases) {
        EXPECT_EQ(sign(stricmp_utf8(a, b)), expected) << a << " / " << b;
        EXPECT_EQ(sign(stricmp_utf8(b, a)), -expected) << b << " / " << a;
    }
}

TEST(SharedAudio, FloatsRoundToNearestEvenClampAndNanIsSilenceAlikeAloneAndInBlocks) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
    const float lsb = 1.0f / 32768;
    // Every branch: NaN, beyond full scale either way, ties on both sides of zero, the extremes.
    const std::vector<std::pair<float, int16_t>> cases = {
        {nan, 0},        {infinity, 32767},         {-infinity, -32768},     {1.0f, 32767},
        {-1.0f, -32768}, {0.5f * lsb, 0},           {1.5f * lsb, 2},         {-2.5f * lsb, -2},
        {0.6f * lsb, 1}, {-32768.5f * lsb, -32768}, {32767.5f * lsb, 32767}, {2.4f * lsb, 2}};
    // From every start, so that each value meets both the eight-wide steps and the tail.
    for (size_t start = 0; start < 8; ++start) {
        std::vector<float> samples;
        for (size_t i = start; i < cases.size(); ++i) samples.push_back(cases[i].first);
        std::vector<int16_t> block(samples.size());
        minihost::samples_to_int16(samples.data(), samples.size(), block.data());
        for (size_t i = 0; i < samples.size(); ++i) {
            ASSERT_EQ(block[i], cases[start + i].second) << start << " " << samples[i];
            ASSERT_EQ(minihost::sample_to_int16(samples[i]), block[i]) << samples[i];
        }
    }
    EXPECT_EQ(minihost::sample_levels().rms(), 0.0);  // the levels of nothing; play prints those of its samples
}

TEST(LocalFilesystem, OpenModesReadWriteCreateAndTimestamps) {
    started_host started("local-filesystem");
    abort_callback_dummy abort;
    const std::string path = started.folder.file("song.xm");
    auto open = [&](const std::string& where, filesystem::open_mode mode) {
        return filesystem::g_open(started.host, where.c_str(), mode, abort);
    };
    EXPECT_EQ(failure_text([&] { open(path, filesystem::open_mode_read); }), "Object not found");
    EXPECT_EQ(failure_text([&] { open(path, filesystem::open_mode_write_existing); }), "Object not found");
    EXPECT_EQ(failure_text([&] { open(started.folder.file(""), filesystem::open_mode_read); }), "Access denied");

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

    // Timestamps count 100 ns since 1601: 2020-01-02 03:04:05 UTC is 1577934245 s after 1970, and
    // 1970 is 11644473600 s after 1601.
    using namespace std::chrono;
    std::filesystem::last_write_time(test_support::native_path(path),
                                     file_clock::from_sys(sys_seconds{seconds(1577934245)}));
    const uint64_t timestamp = open(path, filesystem::open_mode_read)->get_timestamp(abort);
    EXPECT_EQ(timestamp, (1577934245ull + 11644473600ull) * 10000000ull);
    EXPECT_EQ(minihost::format_file_time(timestamp), "2020-01-02 03:04:05 UTC");
    EXPECT_EQ(minihost::format_file_time(filetimestamp_invalid), "unknown");
}

// What minihost.exe makes of its arguments: the error, or the command, its arguments, component,
// configuration file ("profile's" when it is the profile's own), profile folder and web mappings.
std::string parsed_command_line(const std::vector<std::string>& arguments) {
    minihost::command_options options;
    std::string error;
    if (!minihost::parse_command_line(arguments, "D/", options, error)) return error;
    std::string text = options.chosen->name;
    for (const std::string& argument : options.arguments) text += " " + argument;
    const bool profiles = options.config_path == minihost::profile(options.profile_folder).config_file();
    return text + " | " + options.component_path + " | " + (profiles ? "profile's" : options.config_path) + " | " +
           options.profile_folder + " | " + std::to_string(options.settings.web_map.size());
}

// What play reads of its own arguments: the error, or the file, seconds and output.
std::string parsed_play(const std::vector<std::string>& arguments) {
    minihost::play_options play;
    std::string error;
    if (!minihost::parse_play_arguments(arguments, play, error)) return error;
    std::ostringstream text;
    text << play.file << " for " << play.seconds << " s to " << play.output;
    return text.str();
}

TEST(MinihostCommands, ArgumentsOfTheProgramAndOfPlay) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // Host options anywhere; --config alone brings the profile to the configuration's folder.
        {{"play", "a.xm", "--config", "c/c.cfg"}, "play a.xm | D/kiv_ambrel.dll | c/c.cfg | c | 0"},
        {{"--component", "k.dll", "info", "a.xm", "--web-map", "*=http://x/", "b.mod"},
         "info a.xm b.mod | k.dll | profile's | D/profile | 1"},
        {{"--config", "c.cfg", "about", "--profile", "P"}, "about | D/kiv_ambrel.dll | c.cfg | P | 0"},
        {{"info", "a.xm", "--config"}, "--config needs a path"},
        {{"about", "--web-map", "http://a/"},
         "--web-map needs URL=URL or *=URL, the second an http:// or https:// URL, not http://a/"},
        {{}, "no command given"}};
    for (const auto& [arguments, outcome] : cases) EXPECT_EQ(parsed_command_line(arguments), outcome);
    // play's own: the output defaults to out/NAME.wav, the seconds to 30.
    const std::pair<std::vector<std::string>, std::string> plays[] = {
        {{"C:\\music\\tune.xm"}, "C:\\music\\tune.xm for 30 s to out/tune.xm.wav"},
        {{"--out", "x.wav", "tune.mod", "--seconds", "0.5"}, "tune.mod for 0.5 s to x.wav"},
        {{}, "play needs a file"},
        {{"a.xm", "--seconds"}, "--seconds needs a value"}};
    for (const auto& [arguments, outcome] : plays) EXPECT_EQ(parsed_play(arguments), outcome);
    for (const char* seconds : {"0", "3601", "2x", "nan"})
        EXPECT_EQ(parsed_play({"a.xm", "--seconds", seconds}),
                  std::string("--seconds needs a number above 0 and at most 3600, not ") + seconds);
}

TEST(WavWriter, HeaderGivesTheFormatAndTheSizesOfWhatWasWritten) {
    test_support::scratch_folder folder("wav-writer");
    // Mono: a header that took every format for stereo would differ.
    const test_support::wave_shape shape{.channels = 1, .rate = 8000};
    const std::string path = folder.file("written.wav");
    wav_writer wav;
    ASSERT_TRUE(wav.open(path, shape.rate, 1)) << wav.error();
    const int16_t first[] = {1, -2, 0x1234};
    const int16_t second[] = {-32768, 32767, 0};
    ASSERT_TRUE(wav.write(first, 3));
    ASSERT_TRUE(wav.write(second, 0));
    ASSERT_TRUE(wav.write(second, 3));
    ASSERT_TRUE(wav.finish()) << wav.error();
    const auto samples = test_support::integer_samples(shape, {1, -2, 0x1234, -32768, 32767, 0});
    EXPECT_EQ(test_support::read_bytes(path), test_support::wave_file(shape, samples));
    const std::string missing = folder.file("missing/out.wav");
    wav_writer refused;
    EXPECT_FALSE(refused.open(missing, 44100, 2));
    EXPECT_EQ(refused.error().rfind(missing + ": ", 0), 0u) << refused.error();
    const int16_t sample = 0;
    EXPECT_FALSE(refused.write(&sample, 1));
    EXPECT_FALSE(refused.finish());
}

}  // namespace
