// The copy command, which runs on the host's worker threads, through minihost.exe and the real DLL
// under Wine, as a person runs it: its console facts about each file, and the copies the file
// system refuses.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>

#include "minihost/host/system_message.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

class CopyCommandLine : public ::testing::Test {
protected:
    // A 16-bit stereo WAV file at 8000 Hz of `samples`; its path.
    std::string make_wav(const std::string& name, const std::vector<int64_t>& samples) {
        wave_shape shape;
        shape.rate = 8000;
        const std::string path = folder.file(name);
        write_bytes(path, wave_file(shape, integer_samples(shape, samples), {{"INAM", "Kept title"}}));
        return path;
    }
    minihost_run copy(const std::string& folder_option, const std::string& files) {
        return run_minihost_with_status(profile + "context run \"Copy files\" --folder " + folder_option + " " + files,
                                        true);
    }

    scratch_folder folder{std::string("worker-line-") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::string profile = "--profile " + folder.file("profile") + " ";
};

TEST_F(CopyCommandLine, FileHeldWithoutSharingIsTriedForASecondThenReportedAndTheOthersAreCopied) {
    std::vector<int64_t> samples(300);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int64_t(i) * 101 - 15000;
    const std::string held = make_wav("held.wav", {1, 2}), free = make_wav("free.wav", samples);
    const std::string out = folder.file("out");
    CreateDirectoryA(out.c_str(), nullptr);
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const auto started = std::chrono::steady_clock::now();
    const minihost_run run = copy(out, held + " " + free);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    CloseHandle(holder);
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(seconds, 1.0);
    for (const std::string& line :
         {"File: " + free + "\n", std::string("Size: 676 B\n"), std::string("Content type: audio/wav\n"),
          std::string("Header bytes: 52 49 46 46 "), std::string("File is local\n"),
          "[popup] Information: Could not copy: " + held +
              ", reason: " + minihost::system_message(ERROR_SHARING_VIOLATION) + "\n"})
        EXPECT_TRUE(contains(run.output, line));
    EXPECT_EQ(GetFileAttributesA((out + "\\held.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(read_bytes(out + "\\free.wav"), read_bytes(free));
}

TEST_F(CopyCommandLine, CopyOntoItselfUnderAnotherSpellingLeavesTheFileWhole) {
    const std::string source = make_wav("self.wav", {5, 6, 7, 8});
    const bytes_t before = read_bytes(source);
    std::string shouted = folder.file("");
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), [](unsigned char c) { return std::toupper(c); });
    const minihost_run run = copy(shouted, source);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.output, "[popup] Information: Could not copy: " + source + ", reason: "));
    EXPECT_EQ(read_bytes(source), before);
}

}  // namespace
