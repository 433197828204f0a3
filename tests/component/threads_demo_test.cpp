// The UI and threads demo's work and texts, and the host services it stands on (the main-thread
// callback queue, the album-art extractor), with the component in-process.
#include <gtest/gtest.h>

#include <thread>

#include "host/album_art.h"
#include "minihost/host/host_records.h"
#include "sample/commands/demo_text.h"
#include "sample/commands/demo_work.h"
#include "tests/component/sample_fixture.h"

namespace {

using namespace test_support;

TEST(DemoTexts, ChannelsTimesAndSizes) {
    const std::pair<uint32_t, const char*> channels[] = {
        {0, ""}, {0x3F, "FL FR FC LFE BL BR"}, {1u << 17, "TBR"}, {1u << 18, "?"}, {0x80000601, "FL SL SR ?"}};
    for (const auto& [config, text] : channels) EXPECT_EQ(ambrel::channel_description(config), text) << config;
    // The microseconds round and may carry into the seconds.
    const std::pair<double, const char*> times[] = {
        {-1.5, "-0:01.500000"}, {59.9999996, "1:00.000000"}, {86400 * 8 + 5.5, "1wk 1d 0:00:05.500000"}};
    for (const auto& [seconds, text] : times) EXPECT_EQ(ambrel::exact_time_text(seconds), text) << seconds;
    const std::pair<uint64_t, const char*> sizes[] = {
        {1023, "1023 B"}, {1024, "1.00 KB"}, {100 * 1024, "100 KB"}, {1048575, "1.00 MB"}, {2000ull << 40, "2000 TB"}};
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(ambrel::size_text(bytes), text) << bytes;
}

// Lines as the dialog would show them; the abort is set once `abort_after` lines came, as a Cancel
// while the work runs.
class recording_reporter final : public ambrel::demo_reporter {
public:
    explicit recording_reporter(abort_callback_impl& abort, size_t abort_after = SIZE_MAX)
        : abort_(abort), abort_after_(abort_after) {}
    void clear() override { record("<clear>"); }
    void line(const std::string& text) override { record(text); }
    void finished() override { record("<finished>"); }
    std::vector<std::string> lines;

private:
    void record(const std::string& text) {
        lines.push_back(text);
        if (lines.size() >= abort_after_) abort_.abort();
    }
    abort_callback_impl& abort_;
    size_t abort_after_;
};

class ThreadsDemoWork : public component_test {
protected:
    ThreadsDemoWork() : component_test("threads-demo") {}
    // A stereo 16-bit WAV file of `frames` silent frames at `rate`.
    std::string wav(const std::string& name, size_t frames, uint32_t rate, const tags_t& tags = {}) {
        wave_shape shape;
        shape.rate = rate;
        return write_wav(folder.file(name), shape, std::vector<int64_t>(frames * 2), tags);
    }
    std::vector<std::string> run(const metadb_handle_list& tracks, size_t abort_after = SIZE_MAX) {
        abort_callback_impl abort;
        recording_reporter report(abort, abort_after);
        ambrel::run_demo_work(tracks, abort, report);
        return report.lines;
    }
    metadb_handle_ptr track(const std::string& path) { return host.tracks().handle(path.c_str(), 0); }
};

// Lines that depend on the clock or the file system's view are checked for their length only.
std::vector<std::string> without_times(std::vector<std::string> lines) {
    for (std::string& line : lines)
        if (line.starts_with("Last modified: ")) line = "Last modified: (" + std::to_string(line.size()) + ")";
    return lines;
}

TEST_F(ThreadsDemoWork, ReportsEachTrackAndGoesOnAfterAFailure) {
    const std::string titled = wav("titled.wav", 22051, 44100, {{"INAM", "Ramp"}});
    const std::string plain = wav("plain.wav", 4096 * 2, 8000);
    const std::string broken = put("broken.wav", bytes_t(64, 7));
    const std::string display = "\"" + folder.file("");
    std::string shown;
    for (const std::string& line : without_times(run({track(titled), {}, track(broken), track(plain)})))
        shown += line + "\n";
    EXPECT_EQ(shown, "<clear>\nTrack: " + display +
                         "titled.wav\"\nTitle: Ramp\nDuration: 0:00.500023\nSize: 86.2 KB\n" +
                         "Last modified: (34)\nAudio sample rate: 44100\nAudio channels: FL FR\nDecoded 6 chunks\n" +
                         "Exact duration decoded: 0:00.500023, 22051 samples\n" +
                         "Track: [invalid location]\nFailure: Object not found\n" + "Track: " + display +
                         "broken.wav\"\nFailure: Unsupported file format\n" + "Track: " + display +
                         "plain.wav\"\nUntitled\nDuration: 0:01.024000\nSize: 32.0 KB\n" +
                         "Last modified: (34)\nAudio sample rate: 8000\nAudio channels: FL FR\nDecoded 2 chunks\n" +
                         "Exact duration decoded: 0:01.024000, 8192 samples\nAll done.\n<finished>\n");
}

TEST_F(ThreadsDemoWork, PicturesBesideTheFileUpToTheFirstKindMissingAndOnlyForLocalFiles) {
    const std::string song = wav("song.wav", 100, 44100);
    const auto picture_lines = [&] {
        std::vector<std::string> found;
        for (const std::string& line : run({track(song)}))
            if (line.starts_with("Album art")) found.push_back(line);
        return found;
    };
    EXPECT_TRUE(picture_lines().empty());
    abort_callback_dummy abort;
    EXPECT_THROW(album_art_extractor::g_open(host, "http://example.com/a.wav", abort),
                 exception_album_art_unsupported_format);
    auto opened = album_art_extractor::g_open(host, song, abort);
    minihost::mem_block_impl picture;
    EXPECT_THROW(opened->query(album_art_ids::artist, picture, abort), exception_album_art_not_found);
    // An empty file is no picture; the second name of the front cover is.
    put("cover.jpg", {});
    put("folder.png", {0x89, 'P', 'N', 'G'});
    // Without a back cover the artist's picture is not asked for.
    put("artist.jpeg", {0xFF, 0xD8});
    EXPECT_EQ(picture_lines(), std::vector<std::string>{"Album art: front cover found"});
    put("back.jpg", {0xFF, 0xD8});
    EXPECT_EQ(picture_lines(), (std::vector<std::string>{"Album art: front cover found", "Album art: back cover found",
                                                         "Album art: artist picture found"}));
}

TEST_F(ThreadsDemoWork, AnAbortEndsTheWorkWithoutAnotherReport) {
    const std::string song = wav("song.wav", 4096 * 4, 44100);
    const metadb_handle_list tracks = {track(song), track(song)};
    const size_t whole = run(tracks).size();
    // Aborted after each number of lines, the work reports exactly that many and never finishes.
    for (size_t after = 1; after < whole; ++after) {
        const std::vector<std::string> lines = run(tracks, after);
        EXPECT_EQ(lines.size(), after);
        EXPECT_NE(lines.back(), "<finished>");
    }
}

TEST(MainThreadQueue, RunsInOrderFromAnyThreadAndDropsAfterClose) {
    minihost::main_thread_queue queue;
    const service_ptr_t<main_thread_callback_manager> manager =
        queue.service().query_as<main_thread_callback_manager>();
    ASSERT_TRUE(manager);
    std::vector<int> ran;
    const auto add = [&](int value, bool fail = false) {
        manager->add_callback(make_main_thread_callback([&ran, value, fail] {
            ran.push_back(value);
            if (fail) throw zorb::exception("failed on purpose");
        }));
    };
    std::thread other([&] {
        for (int value = 0; value < 50; ++value) add(value, value == 10);
    });
    other.join();
    EXPECT_EQ(queue.run_pending(), 50u);
    ASSERT_EQ(ran.size(), 50u);
    for (int value = 0; value < 50; ++value) EXPECT_EQ(ran[size_t(value)], value);
    EXPECT_EQ(queue.run_pending(), 0u);
    add(99);
    queue.close();
    add(100);
    EXPECT_EQ(queue.run_pending(), 0u);
    EXPECT_EQ(ran.size(), 50u);
}

}  // namespace
