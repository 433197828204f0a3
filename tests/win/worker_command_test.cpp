// The commands that run on the host's worker threads, through minihost.exe and the real DLL under
// Wine, as a person runs them: the peak scan's popup, copies with their console facts, and both
// tag writes read back by minihost.exe tags.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include "minihost/host/system_message.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

class WorkerCommandLine : public ::testing::Test {
protected:
    // A 16-bit stereo WAV file at 8000 Hz of `samples`; its path.
    std::string make_wav(const std::string& name, const std::vector<int64_t>& samples) {
        wave_shape shape;
        shape.rate = 8000;
        const std::string path = folder.file(name);
        write_bytes(path, wave_file(shape, integer_samples(shape, samples), {{"INAM", "Kept title"}}));
        return path;
    }
    minihost_run minihost(const std::string& arguments) { return run_minihost_with_status(profile + arguments, true); }

    scratch_folder folder{std::string("worker-line-") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::string profile = "--profile " + folder.file("profile") + " ";
};

TEST_F(WorkerCommandLine, PeakScanPrintsItsResultPopupAndProgress) {
    const std::string half = make_wav("half.wav", {0, 16384, -100, 5}), full = make_wav("full.wav", {-32768, 0});
    const minihost_run run = minihost("context run \"Calculate peak\" " + half + " " + full);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("[popup] Peak scan result: Value: 1.0000000\n\nScanned items:\n\"" + half + "\"\n\"" +
                              full + "\"\n\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("[progress] Sample component: peak scan: 50% " + full + "\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("[progress] Sample component: peak scan: done\n"), std::string::npos) << run.output;
}

TEST_F(WorkerCommandLine, CopyFilesTakesTheFolderOptionAndWithoutItDoesNothing) {
    std::vector<int64_t> samples(300);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int64_t(i) * 101 - 15000;
    const std::string source = make_wav("source.wav", samples);
    const std::string out = folder.file("out");
    CreateDirectoryA(out.c_str(), nullptr);

    const minihost_run cancelled = minihost("context run \"Copy files\" " + source);
    EXPECT_EQ(cancelled.status, 0);
    EXPECT_EQ(cancelled.output.find("File: "), std::string::npos) << cancelled.output;

    const minihost_run run = minihost("context run \"Copy files\" --folder " + out + " " + source);
    EXPECT_EQ(run.status, 0);
    for (const std::string& line :
         {"File: " + source + "\n", std::string("Size: 676 B\n"), std::string("Content type: audio/wav\n"),
          std::string("Header bytes: 52 49 46 46 "), std::string("File is local\n")})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
    EXPECT_EQ(read_bytes(out + "\\source.wav"), read_bytes(source));
}

TEST_F(WorkerCommandLine, CopyOfAFileThatThisProcessHoldsWithoutSharingIsTriedForASecondThenReported) {
    const std::string held = make_wav("held.wav", {1, 2}), free = make_wav("free.wav", {3, 4});
    const std::string out = folder.file("out");
    CreateDirectoryA(out.c_str(), nullptr);
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const auto started = std::chrono::steady_clock::now();
    const minihost_run run = minihost("context run \"Copy files\" --folder " + out + " " + held + " " + free);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    CloseHandle(holder);
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(seconds, 1.0);
    EXPECT_NE(run.output.find("[popup] Information: Could not copy: " + held +
                              ", reason: " + minihost::system_message(ERROR_SHARING_VIOLATION) + "\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(GetFileAttributesA((out + "\\held.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(read_bytes(out + "\\free.wav"), read_bytes(free));
}

TEST_F(WorkerCommandLine, CopyOntoItselfUnderAnotherSpellingLeavesTheFileWhole) {
    const std::string source = make_wav("self.wav", {5, 6, 7, 8});
    const bytes_t before = read_bytes(source);
    std::string shouted = folder.file("");
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), [](unsigned char c) { return std::toupper(c); });
    const minihost_run run = minihost("context run \"Copy files\" --folder " + shouted + " " + source);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("[popup] Information: Could not copy: " + source + ", reason: "), std::string::npos)
        << run.output;
    EXPECT_EQ(read_bytes(source), before);
}

TEST_F(WorkerCommandLine, BothTagCommandsAreReadBackByTheTagsCommand) {
    const struct {
        const char* item;
        const char* comment;
        const char* console;
    } cases[] = {
        {"Alter tags", "kiv_sample was here", "Tag update finished, code: 0\n"},
        {"Alter tags (low level)", "kiv_sample lowlevel tags write demo was here", "Last-modified after tag update: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        const std::string path = make_wav("tagged.wav", {1, 2, 3, 4, 5, 6});
        const minihost_run run = minihost(std::string("context run \"") + c.item + "\" " + path);
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.output.find(c.console), std::string::npos) << run.output;
        const minihost_run tags = minihost("tags " + path);
        EXPECT_NE(tags.output.find(std::string("  comment=") + c.comment + "\n"), std::string::npos) << tags.output;
        EXPECT_NE(tags.output.find("  title=Kept title\n"), std::string::npos) << tags.output;
    }
}

}  // namespace
