// The UI and threads demo window with the real DLL under Wine, driven by its messages: its worker
// thread reports through minihost's main-thread callbacks, which run while the test pumps messages.
#include <gtest/gtest.h>

#include "tests/win/component_run.h"

namespace {

using namespace test_support;

constexpr int list_id = 1019;
constexpr int header_id = 1020;

class ThreadsDemo : public component_dll_test {
protected:
    void TearDown() override {
        // Every window goes while the component is loaded, and its aborted worker gets the time to
        // reach its next abort point before the component is unloaded.
        while (HWND window = dialog()) DestroyWindow(window);
        pump_for(300, &run.host);
    }

    HWND open(const std::vector<std::string>& paths) {
        metadb_handle_list tracks;
        for (const std::string& path : paths) tracks.add_item(run.host.tracks().handle(path.c_str(), 0));
        run_context_item(run.host, "Sample component/UI and threads demo", tracks);
        return dialog();
    }
    static HWND dialog() { return thread_window(L"#32770", L"UI and Threads Demo"); }
    static std::vector<std::string> lines(HWND window) {
        std::vector<std::string> out;
        for (int row = 0; row < int(SendDlgItemMessageW(window, list_id, LB_GETCOUNT, 0, 0)); ++row) {
            wchar_t text[1024] = {};
            SendDlgItemMessageW(window, list_id, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            out.push_back(zorb::utf8_from_wide(text));
        }
        return out;
    }
    static std::string status(HWND window) {
        return window_text(FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr));
    }
    static std::string button(HWND window) { return window_text(GetDlgItem(window, IDCANCEL)); }
    static void press(HWND window, int id) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool finished(HWND window) {
        return pump_until([&] { return status(window) == "Finished, ready"; }, &run.host);
    }
    std::string wav(const std::string& name, size_t frames) {
        return write_wav(folder.file(name), std::vector<int64_t>(frames * 2));
    }
};

TEST_F(ThreadsDemo, StartRunsTheWorkAndEndsWithTheFinishedLook) {
    HWND window = open({wav("a.wav", 5000), wav("b.wav", 100)});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window_text(GetDlgItem(window, header_id)), "Selected: 2 tracks.");
    press(window, IDOK);
    EXPECT_EQ(status(window), "Working...");
    ASSERT_TRUE(finished(window));
    EXPECT_EQ(button(window), "Close");
    const std::vector<std::string> shown = lines(window);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "Track: \"" + folder.file("a.wav") + "\"");
    EXPECT_EQ(shown.back(), "All done.");
    // Start once more in the finished state runs it again on the same selection, and Start pressed
    // twice shows only the second run; Close then ends it.
    press(window, IDOK);
    press(window, IDOK);
    ASSERT_TRUE(finished(window));
    EXPECT_EQ(lines(window), shown);
    press(window, IDCANCEL);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ThreadsDemo, CancelWhileWorkingDropsTheQueuedReportsAndShowsOnlyTheAbort) {
    // A module played round and round, which never ends by itself.
    HWND window = open({wav("short.wav", 100), demo_song("demo.mod")});
    press(window, IDOK);
    // The worker's reports wait in the queue while this thread is busy; Cancel comes before they run.
    Sleep(500);
    press(window, IDCANCEL);
    EXPECT_EQ(status(window), "Finished, ready");
    EXPECT_EQ(button(window), "Close");
    pump_for(500, &run.host);
    EXPECT_EQ(lines(window), std::vector<std::string>{"Aborted by user."});
    // Cancel again, now Close, ends the window.
    press(window, IDCANCEL);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ThreadsDemo, ClosingWhileWorkingLeavesNoLateUpdateAndNoCrash) {
    // Each window goes at another moment of its work: before the first report, amid the lines,
    // amid the endless decode; the reports still queued must find their abort set.
    for (int round = 0; round < 24; ++round) {
        HWND window = open({wav("a.wav", 20000), demo_song("demo.mod")});
        ASSERT_NE(window, nullptr);
        press(window, IDOK);
        pump_for(round % 8 * 5, &run.host);
        if (round % 2)
            SendMessageW(window, WM_CLOSE, 0, 0);
        else
            DestroyWindow(window);
        EXPECT_FALSE(IsWindow(window));
        pump_for(20, &run.host);
    }
    pump_for(300, &run.host);
    EXPECT_EQ(dialog(), nullptr);
}

TEST_F(ThreadsDemo, ResizingMovesTheButtonsAndStretchesTheList) {
    HWND window = open({wav("a.wav", 10)});
    // How far each edge (left, top, right, bottom) of a control moves when the window grows by 120 by 60.
    const std::pair<int, std::vector<LONG>> moves[] = {
        {list_id, {0, 0, 120, 60}}, {IDOK, {120, 60, 120, 60}}, {header_id, {0, 0, 120, 0}}};
    std::vector<RECT> before(std::size(moves));
    for (size_t i = 0; i < std::size(moves); ++i) GetWindowRect(GetDlgItem(window, moves[i].first), &before[i]);
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top + 60,
                 SWP_NOMOVE | SWP_NOZORDER);
    pump_for(50, &run.host);
    for (size_t i = 0; i < std::size(moves); ++i) {
        RECT after;
        GetWindowRect(GetDlgItem(window, moves[i].first), &after);
        EXPECT_EQ((std::vector<LONG>{after.left - before[i].left, after.top - before[i].top,
                                     after.right - before[i].right, after.bottom - before[i].bottom}),
                  moves[i].second)
            << moves[i].first;
    }
}

}  // namespace
