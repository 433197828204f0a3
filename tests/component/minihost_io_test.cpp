// The host side that the module input calls on (text comparison, sample conversion, the local file
// system, the extension the host cuts), and minihost's command line: what the program makes of its
// arguments, and its commands run in-process as a script line runs them.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <sstream>
#include <tuple>

#include "host/shared.h"
#include "minihost/app/command_line.h"
#include "minihost/app/input_commands.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "tests/component/sample_fixture.h"
#include "tools/writers/wav_writer.h"

namespace {

using test_support::failure_text;
using test_support::started_host;

int sign(int value) { return (value > 0) - (value < 0); }

TEST(SharedText, ComparesUtf8WithoutRegardToCase) {
    const std::tuple<const char*, const char*, int> cases[] = {
        // a, b, the sign of their comparison
        {"mod", "MOD", 0},
        {"mod", "mo3", 1},  // 'd' after '3'
        {"mo", "mod", -1},
        {"a", "B", -1},                                               // folded before comparing, unlike strcmp
        {"\xC3\x84RA", "\xC3\xA4ra", 0},                              // ÄRA, ära
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

TEST(SharedAudio, Int16ConvertsToFullScaleFloatScaled) {
    const int16_t samples[] = {-32768, 16384, 32767};
    float converted[3] = {};
    audio_math::convert_from_int16(samples, 3, converted, 0.5f);
    EXPECT_EQ(converted[0], -0.5f);
    EXPECT_EQ(converted[1], 0.25f);
    EXPECT_EQ(converted[2], 0.5f * 32767.0f / 32768.0f);
}

TEST(SharedAudio, FloatsRoundToNearestEvenClampAndNanIsSilenceAlikeAloneAndInBlocks) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
    const float lsb = 1.0f / 32768;
    // Every branch: NaN, beyond full scale either way, ties on both sides of zero, the extremes.
    const std::vector<std::pair<float, int16_t>> cases = {
        {nan, 0},        {infinity, 32767},         {-infinity, -32768},     {1.0f, 32767},
        {-1.0f, -32768}, {0.5f * lsb, 0},           {1.5f * lsb, 2},         {-2.5f * lsb, -2},
        {0.6f * lsb, 1}, {-32768.5f * lsb, -32768}, {32767.5f * lsb, 32767}, {-0.7f, -22938},
        {2.4f * lsb, 2}};
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

TEST(LocalFilesystem, ClaimsLocalPathsAndFileUrls) {
    for (const char* path : {"C:\\music\\a.xm", "relative/a.xm", "file:///C:/a.xm", "C:\\odd://name.xm", "://x"})
        EXPECT_TRUE(minihost::is_local_path(path)) << path;
    for (const char* path : {"http://host/a.xm", "svn+ssh://a"}) EXPECT_FALSE(minihost::is_local_path(path)) << path;

    EXPECT_EQ(minihost::local_path_of("file://C:\\music\\a b.xm"), "C:\\music\\a b.xm");
    EXPECT_EQ(minihost::local_path_of("file:///home/a%20b.xm"), "/home/a%20b.xm");  // no escapes decoded
#ifdef _WIN32
    EXPECT_EQ(minihost::local_path_of("file:///C:/music/a.xm"), "C:/music/a.xm");
#endif
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

TEST(InputRegistry, ExtensionIsCutFromTheFileNameOnly) {
    const std::pair<const char*, const char*> cases[] = {{"C:\\music\\song.MOD", "MOD"},
                                                         {"song.tar.xm", "xm"},
                                                         {"C:\\songs.xm\\readme", ""},  // the dot is in a folder's name
                                                         {"/music/songs.s3m/readme", ""},
                                                         {"archive.zip|inner", ""},
                                                         {"trailing.", ""}};
    for (const auto& [path, extension] : cases) EXPECT_EQ(minihost::extension_of(path), extension) << path;
}

// What minihost.exe makes of its arguments, then play of its own: the error, or the command, its
// arguments, component, configuration file ("profile's" when it is the profile's own), profile
// folder and web mappings, and what play reads of its arguments.
std::string parsed_command_line(const std::vector<std::string>& arguments) {
    minihost::command_options options;
    std::string error;
    if (!minihost::parse_command_line(arguments, "D/", options, error)) return error;
    std::string text = options.chosen->name;
    for (const std::string& argument : options.arguments) text += " " + argument;
    const bool profiles = options.config_path == minihost::profile(options.profile_folder).config_file();
    text += " | " + options.component_path + " | " + (profiles ? "profile's" : options.config_path) + " | " +
            options.profile_folder + " | " + std::to_string(options.settings.web_map.size());
    if (text.starts_with("play")) {
        minihost::play_options play;
        if (!minihost::parse_play_arguments(options.arguments, play, error)) return text + " | " + error;
        std::ostringstream seconds;
        seconds << play.seconds;
        text += " | " + play.file + " for " + seconds.str() + " s to " + play.output;
    }
    return text;
}

TEST(MinihostCommands, ArgumentsOfTheProgramAndOfPlay) {
    const std::string web_map_error =
        "--web-map needs URL=URL or *=URL, the second an http:// or https:// URL, not http://a/";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // Host options anywhere; --config alone brings the profile to the configuration's folder.
        {{"play", "a.xm", "--seconds", "2", "--config", "c/c.cfg"},
         "play a.xm --seconds 2 | D/kiv_ambrel.dll | c/c.cfg | c | 0 | a.xm for 2 s to out/a.xm.wav"},
        {{"--component", "k.dll", "info", "a.xm", "--web-map", "*=http://x/", "b.mod"},
         "info a.xm b.mod | k.dll | profile's | D/profile | 1"},
        {{"--config", "c.cfg", "about", "--profile", "P"}, "about | D/kiv_ambrel.dll | c.cfg | P | 0"},
        {{"about", "--profile", "P"}, "about | D/kiv_ambrel.dll | profile's | P | 0"},
        {{"render", "a.xm"}, "unknown command render"},
        {{"--seconds", "2"}, "unexpected argument --seconds"},
        {{"info", "a.xm", "--config"}, "--config needs a path"},
        {{"about", "--web-map", "http://a/"}, web_map_error},
        {{}, "no command given"},
        // play's own: the output defaults to out/NAME.wav, the seconds to 30.
        {{"play", "C:\\music\\tune.xm"},
         "play C:\\music\\tune.xm | D/kiv_ambrel.dll | profile's | D/profile | 0 | C:\\music\\tune.xm for 30 s to "
         "out/tune.xm.wav"},
        {{"play", "--out", "x.wav", "tune.mod", "--seconds", "0.5"},
         "play --out x.wav tune.mod --seconds 0.5 | D/kiv_ambrel.dll | profile's | D/profile | 0 | tune.mod for 0.5 s "
         "to x.wav"},
        {{"play"}, "play | D/kiv_ambrel.dll | profile's | D/profile | 0 | play needs a file"},
        {{"play", "a.xm", "b.xm"},
         "play a.xm b.xm | D/kiv_ambrel.dll | profile's | D/profile | 0 | unexpected argument b.xm"},
        {{"play", "a.xm", "--seconds"},
         "play a.xm --seconds | D/kiv_ambrel.dll | profile's | D/profile | 0 | --seconds needs a value"}};
    for (const auto& [arguments, outcome] : cases) EXPECT_EQ(parsed_command_line(arguments), outcome);
    for (const char* seconds : {"0", "3601", "2x", "nan"})
        EXPECT_TRUE(
            parsed_command_line({"play", "a.xm", "--seconds", seconds})
                .ends_with(std::string(" | --seconds needs a number above 0 and at most 3600, not ") + seconds));
    // The usage text lists every command of the table.
    for (const minihost::command& known : minihost::command_table())
        EXPECT_NE(minihost::usage_text().find(std::string("  ") + known.name), std::string::npos) << known.name;
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

class MinihostCommandLines : public test_support::component_test {
protected:
    MinihostCommandLines() : component_test("command-lines") {}
    void SetUp() override {
        component_test::SetUp();
        test_support::wave_shape shape;
        shape.rate = 8000;
        wav = test_support::write_wav(folder.file("a.wav"), shape, std::vector<int64_t>(800, 1000), {{"INAM", "T"}});
    }
    // The text with {wav} and {out} standing for the test's WAV file and an output file beside it.
    std::string expand(std::string text) {
        for (const auto& [name, path] :
             {std::pair<std::string, std::string>{"{wav}", wav}, {"{out}", folder.file("o.wav")}})
            for (size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), path);
        return text;
    }
    // Runs the script line; its exit status, with what it printed and what went to standard error.
    int run(const std::string& line, std::string& printed, std::string& errors) {
        minihost::arguments_t words;
        minihost::script_line parsed;
        std::string error;
        EXPECT_TRUE(minihost::split_script_line(expand(line), words, error)) << error;
        EXPECT_TRUE(minihost::parse_script_line(words, parsed, error)) << error;
        if (parsed.chosen == nullptr) return -1;
        std::ostringstream out;
        testing::internal::CaptureStderr();
        const int status = minihost::run_command(host, *parsed.chosen, parsed.arguments, parsed.settings, {}, out);
        errors = testing::internal::GetCapturedStderr();
        printed = out.str();
        return status;
    }

    std::string wav;
};

TEST_F(MinihostCommandLines, PrintWhatTheyDidOrRefuseTheirArgumentsWithTheCommandsUsage) {
    const struct {
        const char* line;
        int status;
        const char* printed;  // all of it; for a refusal (2) or failure (1), the first line of standard error
    } lines[] = {
        {"about x", 2, "minihost: unexpected argument x"},
        {"format %title%", 2, "minihost: format needs a pattern and at least one file"},
        {"format \"[%title%|%artist%]\" {wav}", 0, "T|?\n"},
        {"tags {wav}", 0,
         "{wav}: minihost WAV input\n  title=T\n  length: 0.05 s\n  codec: PCM\n  encoding: lossless\n"
         "  bitrate: 256\n  samplerate: 8000\n  channels: 2\n  bitspersample: 16\n"},
        {"play {wav} --out {out} --dsp \"Sample DSP\" --preset f32:-20", 0,
         "{out}: 400 frames decoded, peak -50.3 dBFS, RMS -50.3 dBFS\n"},
        {"dsp configure \"Sample DSP\" --close-after", 2, "minihost: --close-after needs a value"},
        {"dsp configure \"Sample DSP\" --close-after x", 2, "minihost: --close-after needs a number of seconds"},
        {"dsp configure \"Sample DSP\" --close-after 2 --preset 0000a0c1", 0,
         "unchanged\nchain: Sample DSP [0000a0c1]\n"},
        {"dsp clear", 0, ""},
        {"dsp list", 0, "dsp: Sample DSP {0890827B-67DF-4C27-BA1A-4F958D0FB5D0}\n"},
        {"gui --close-after -1", 2, "minihost: --close-after needs a number of seconds"},
        {"advconfig set \"Bogo setting 3\" 12345", 0, "Bogo setting 3: 9999\n"},
        {"advconfig set \"Loop modules for ever\" maybe", 1,
         "minihost: Loop modules for ever takes on or off, not maybe"}};
    for (const auto& [line, status, printed] : lines) {
        SCOPED_TRACE(line);
        std::string out, errors;
        EXPECT_EQ(run(line, out, errors), status);
        if (status == 0) {
            EXPECT_EQ(out, expand(printed));
            EXPECT_EQ(errors, "");
        } else {
            EXPECT_EQ(errors.substr(0, errors.find('\n')), printed);
            EXPECT_EQ(errors.find("\nusage: minihost ") != std::string::npos, status == 2);  // after a usage error
            EXPECT_EQ(out, "");
        }
    }
}

TEST_F(MinihostCommandLines, AboutSucceedsAndPlayWritesTheSourceRate) {
    std::string out, errors;
    EXPECT_EQ(run("about", out, errors), 0);
    ASSERT_EQ(run("play {wav} --out {out}", out, errors), 0);
    const std::vector<uint8_t> written = test_support::read_bytes(folder.file("o.wav"));
    ASSERT_GE(written.size(), 44u + 1600);
    EXPECT_EQ(written[24] | written[25] << 8, 8000);  // the fmt chunk's sample rate
    EXPECT_EQ(written[22], 2);                        // channels
}

}  // namespace
