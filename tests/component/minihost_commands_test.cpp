// minihost's commands run in-process as a script line runs them, on a host with the component
// started: what each prints, its exit status, and the message and usage for arguments it refuses.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "minihost/app/command_line.h"
#include "tests/component/sample_fixture.h"

namespace {

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
    // A line, its status, and what it printed: all of it, or for a refusal (2) or failure (1) the first
    // line of standard error.
    const std::tuple<const char*, int, const char*> lines[] = {
        {"about x", 2, "minihost: unexpected argument x"},
        {"format %title%", 2, "minihost: format needs a pattern and at least one file"},
        {"format \"[%title%|%artist%]\" {wav}", 0, "T|?\n"},
        {"tags {wav}", 0,
         "{wav}: minihost WAV input\n  title=T\n  length: 0.05 s\n  codec: PCM\n  encoding: lossless\n"
         "  bitrate: 256\n  samplerate: 8000\n  channels: 2\n  bitspersample: 16\n"},
        {"dsp configure \"Sample DSP\" --close-after", 2, "minihost: --close-after needs a value"},
        {"dsp configure \"Sample DSP\" --close-after x", 2, "minihost: --close-after needs a number of seconds"},
        {"dsp configure \"Sample DSP\" --close-after 2 --preset 0000a0c1", 0,
         "unchanged\nchain: Sample DSP [0000a0c1]\n"},
        {"gui --close-after 0 --x", 2, "minihost: unexpected argument --x"},  // 0: its windows stay open
        {"gui --close-after -1", 2, "minihost: --close-after needs a number of seconds"},
        {"dsp clear", 0, ""},
        {"dsp list", 0, "dsp: Sample DSP {0890827B-67DF-4C27-BA1A-4F958D0FB5D0}\n"},
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

TEST_F(MinihostCommandLines, AboutEndsWithThePassedInstallationCheckAndPlayWritesTheSourceRate) {
    std::string out, errors;
    EXPECT_EQ(run("about", out, errors), 0);
    EXPECT_TRUE(out.ends_with("\ninstallation check: passed\n")) << out;
    ASSERT_EQ(run("play {wav} --out {out}", out, errors), 0);
    const std::vector<uint8_t> written = test_support::read_bytes(folder.file("o.wav"));
    ASSERT_GE(written.size(), 44u + 1600);
    EXPECT_EQ(written[24] | written[25] << 8, 8000);  // the fmt chunk's sample rate
    EXPECT_EQ(written[22], 2);                        // channels
}

}  // namespace
