// The host's progress window of a threaded process, shown for real under Wine: what each set of
// flags puts in it, the bars and the item line following the worker, and the Abort button and the
// close box doing what the flags say.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/win/component_run.h"

namespace {

using test_support::pump_until;

// Reports its progress, then works until released or aborted.
class held_process : public threaded_process_callback {
public:
    void on_init(host_window) override {}
    void run(threaded_process_status& status, abort_callback& abort) override {
        status.set_progress(2500);
        status.set_progress_secondary(1000);
        status.set_item("Z:\\music\\a song.wav");
        reported = true;
        while (!released) abort.sleep(0.01);
    }
    void on_done(host_window, bool was_aborted) override {
        aborted = was_aborted;
        ++done;
    }

    std::atomic<bool> reported{false}, released{false}, aborted{false};
    std::atomic<int> done{0};
};

// The window's controls as a person sees them, top to bottom.
struct window_contents {
    std::vector<std::wstring> texts;  // the static lines
    std::vector<int> bar_positions, bar_ranges;
    std::vector<std::wstring> buttons;
    HWND abort_button = nullptr;
};

window_contents contents_of(HWND window) {
    window_contents found;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t class_name[64] = {}, text[256] = {};
        GetClassNameW(child, class_name, 64);
        GetWindowTextW(child, text, 256);
        if (lstrcmpiW(class_name, L"Static") == 0) found.texts.push_back(text);
        if (lstrcmpiW(class_name, PROGRESS_CLASSW) == 0) {
            found.bar_positions.push_back(int(SendMessageW(child, PBM_GETPOS, 0, 0)));
            found.bar_ranges.push_back(int(SendMessageW(child, PBM_GETRANGE, FALSE, 0)));
        }
        if (lstrcmpiW(class_name, L"Button") == 0) {
            found.buttons.push_back(text);
            found.abort_button = child;
        }
    }
    return found;
}

TEST(ProgressWindow, FlagsChooseItsPartsAndTheAbortButtonOrCloseBoxStopsOnlyAnAbortableProcess) {
    const struct {
        const char* name;
        unsigned flags;
        bool item, dual, abortable, delayed;
        bool stop_by_button;  // else by the close box
    } cases[] = {
        {"the peak scan's flags", 0x19, true, true, true, false, true},
        {"one bar and an abort", 0x05, false, false, true, false, false},
        {"an item and one bar, no abort", 0x14, true, false, false, false, false},
        {"shown after half a second", 0x06, false, false, false, true, false},
    };
    test_support::scratch_folder folder("progress-window");
    minihost::host host(folder.file("config.bin"));
    host.set_window_session(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring title = L"Progress test " + std::to_wstring(c.flags);
        auto* process = new service_impl_t<held_process>();
        const service_ptr_t<threaded_process_callback> held(process);
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.processes().start(held, c.flags, nullptr, zorb::utf8_from_wide(title), false));
        HWND window = FindWindowW(nullptr, title.c_str());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, !c.delayed);

        ASSERT_TRUE(pump_until([&] { return process->reported && IsWindowVisible(window); }));
        if (c.delayed) {
            EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
        }
        ASSERT_TRUE(pump_until([&] {
            return !contents_of(window).bar_positions.empty() && contents_of(window).bar_positions[0] == 2500;
        }));
        const window_contents shown = contents_of(window);
        EXPECT_EQ(shown.texts,
                  c.item ? std::vector<std::wstring>{L"Z:\\music\\a song.wav"} : std::vector<std::wstring>{});
        EXPECT_EQ(shown.bar_positions, c.dual ? (std::vector<int>{2500, 1000}) : std::vector<int>{2500});
        for (int range : shown.bar_ranges) EXPECT_EQ(range, 5000);
        EXPECT_EQ(shown.buttons, c.abortable ? std::vector<std::wstring>{L"Abort"} : std::vector<std::wstring>{});

        if (c.stop_by_button) {
            SendMessageW(shown.abort_button, BM_CLICK, 0, 0);
        } else {
            // The close box aborts where there is an Abort button and does nothing otherwise.
            SendMessageW(window, WM_CLOSE, 0, 0);
        }
        if (c.abortable) {
            EXPECT_TRUE(pump_until([&] { return process->done == 1; }));
        } else {
            minihost::pump_messages(0.2);
            EXPECT_TRUE(IsWindow(window));
            EXPECT_EQ(process->done, 0);
            process->released = true;
            host.processes().finish_all();
        }
        EXPECT_EQ(process->done, 1);
        EXPECT_EQ(process->aborted, c.abortable);
        EXPECT_FALSE(IsWindow(window));
    }
}

}  // namespace
