// The component's dialogs in kiv_ambrel.dll, shown for real under Wine and driven by their messages:
// the gain DSP's configuration dialog, the preferences page in minihost's preferences window, the
// advanced setting, the playback state dialog, and the host's progress window of a threaded process
// (its parts by flags, Abort and the close box).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <sstream>

#include "host/dsp.h"
#include "host/memory_stream.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "minihost/host/advconfig.h"
#include "minihost/host/preferences_window.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

constexpr GUID dsp_guid = {0x0890827B, 0x67DF, 0x4C27, {0xBA, 0x1A, 0x4F, 0x95, 0x8D, 0x0F, 0xB5, 0xD0}};
constexpr GUID bogo_1_guid = {0x0BD5C777, 0x735C, 0x440D, {0x8C, 0x71, 0x49, 0xB6, 0xAC, 0xFF, 0xCE, 0xB8}};
constexpr GUID loop_guid = {0x50D729FD, 0x9BEF, 0x4A43, {0x8E, 0x86, 0x0C, 0x39, 0xC9, 0x74, 0x13, 0xDC}};
constexpr int loop_box_id = 1003;
constexpr int slider_id = 1012;
constexpr int label_id = 1013;

dsp_preset_impl gain_preset(float gain_db) {
    dsp_preset_impl preset;
    dsp_preset_builder builder;
    builder.write_float_le(gain_db);
    builder.finish(dsp_guid, preset);
    return preset;
}

float preset_gain(const dsp_preset& preset) { return dsp_preset_parser(preset).read_float_le(); }

// Remembers every preset the dialog reports, as gains (NaN for a preset of another owner); called on
// the dialog's thread. Like a host that keeps one preset object, it also updates `kept` from each,
// and that same object is what the dialog was handed: the dialog must remember its start by value.
class recording_callback final : public preset_edit_callback {
public:
    explicit recording_callback(dsp_preset& kept) : kept_(kept) {}
    void on_preset_changed(const dsp_preset& preset) override {
        std::lock_guard lock(mutex_);
        gains_.push_back(preset.get_owner() == dsp_guid ? preset_gain(preset) : NAN);
        kept_.copy_from(preset);
    }
    std::vector<float> gains() {
        std::lock_guard lock(mutex_);
        return gains_;
    }

private:
    dsp_preset& kept_;
    std::mutex mutex_;
    std::vector<float> gains_;
};

const wchar_t* const dsp_title = L"Sample DSP Configuration";

// Moves the slider as a drag to `position` does: the new position, then the scroll notice.
void drag_slider(HWND dialog, int position) {
    HWND slider = GetDlgItem(dialog, slider_id);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
}

// The size of `text` in `control`'s font.
SIZE text_extent(HWND control, const wchar_t* text) {
    SIZE size{};
    HDC context = GetDC(control);
    HGDIOBJ old = SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(context, text, int(wcslen(text)), &size);
    SelectObject(context, old);
    ReleaseDC(control, context);
    return size;
}

void press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

class DspDialog : public component_dll_test {
protected:
    service_ptr_t<dsp_entry_v2> entry = service_lookup_one_t<dsp_entry>(run.host).query_as<dsp_entry_v2>();
};

// One dialog's story: the preset it opens on, the slider moves (dragged to, or key_left for one press
// of Left), the button that ends it, and what the dialog and the host saw (its values: native tests).
constexpr int key_left = -1;
struct dsp_scenario {
    float start_db;
    bool modal;  // edit_preset_modal, else edit_preset_live
    std::vector<int> moves;
    int button;
    int start_position;
    std::string start_label;
    std::string labels;           // after each move, each ended by "|"
    std::vector<float> reported;  // live: every gain the callback heard, in order; modal: the gain after
    bool changed = false;         // modal: what edit_preset_modal answered
};

TEST_F(DspDialog, ScenariosShowTheStartFollowTheSliderAndEndAsTheButtonSays) {
    const bool live = false, modal = true;
    const dsp_scenario scenarios[] = {
        // Moves reach the callback at once, Cancel reports the start last. 7.6 as a float is
        // 7.59999990463..., which seven decimals cut to 7.5999999.
        {7.6f, live, {30, key_left}, IDCANCEL, 28, "7.5999999 dB", "10.0000000 dB|9.0000000 dB|", {10, 9, 7.6f}},
        // OK leaves the last move and reports no start.
        {-7, live, {5}, IDOK, 13, "-7.0000000 dB", "-15.0000000 dB|", {-15}},
        // Modal: OK away from the start is a change (what counts as one: the native tests).
        {-5, modal, {35}, IDOK, 15, "-5.0000000 dB", "15.0000000 dB|", {15}, true},
    };
    for (const dsp_scenario& s : scenarios) {
        SCOPED_TRACE(testing::Message() << &s - scenarios);
        dsp_preset_impl preset = gain_preset(s.start_db);
        recording_callback callback(preset);
        bool changed = false;
        int position = -1;
        std::string label, labels;
        SIZE widest{};
        RECT label_room{};
        std::vector<float> heard_at_once;  // the callback's last gain right after each move
        const auto open = [&] {
            if (s.modal)
                changed = entry->edit_preset_modal(preset, nullptr);
            else
                entry->edit_preset_live(preset, nullptr, callback);
        };
        ASSERT_TRUE(with_modal_dialog(dsp_title, open, [&](HWND dialog) {
            HWND slider = GetDlgItem(dialog, slider_id);
            position = int(SendMessageW(slider, TBM_GETPOS, 0, 0));
            label = window_text(GetDlgItem(dialog, label_id));
            widest = text_extent(GetDlgItem(dialog, label_id), L"-20.0000000 dB");
            GetClientRect(GetDlgItem(dialog, label_id), &label_room);
            for (int move : s.moves) {
                if (move == key_left)
                    SendMessageW(slider, WM_KEYDOWN, VK_LEFT, 0);  // moves one step and notifies by itself
                else
                    drag_slider(dialog, move);
                labels += window_text(GetDlgItem(dialog, label_id)) + "|";
                const std::vector<float> heard = callback.gains();
                heard_at_once.push_back(heard.empty() ? NAN : heard.back());
            }
            press(dialog, s.button);
        }));
        EXPECT_EQ(position, s.start_position);
        EXPECT_EQ(label, s.start_label);
        // Mended: the label was too narrow for the widest gain and wrapped onto a second line.
        EXPECT_LE(widest.cx, label_room.right);
        EXPECT_LE(widest.cy, label_room.bottom + 2);
        EXPECT_EQ(labels, s.labels);
        if (s.modal) {
            EXPECT_EQ(changed, s.changed);
            EXPECT_EQ(preset_gain(preset), s.reported.at(0));
        } else {
            EXPECT_EQ(heard_at_once, std::vector<float>(s.reported.begin(), s.reported.begin() + s.moves.size()));
            EXPECT_EQ(callback.gains(), s.reported);
        }
    }
}

TEST_F(DspDialog, CallbackFailureEndsTheDialogAndReachesItsCaller) {
    // A host whose callback fails on the slider's first move, and then either takes the start
    // preset that the closing dialog reports or fails again.
    struct failing_callback final : preset_edit_callback {
        explicit failing_callback(int failures) : failures(failures) {}
        void on_preset_changed(const dsp_preset& preset) override {
            if (failures-- > 0) throw zorb::exception("the host cannot take this preset");
            taken.push_back(preset_gain(preset));
        }
        int failures;
        std::vector<float> taken;
    };
    for (int failures : {1, 2}) {
        failing_callback failing(failures);
        std::string failure;
        ASSERT_TRUE(with_modal_dialog(
            dsp_title,
            [&] { failure = failure_text([&] { entry->edit_preset_live(gain_preset(-3), nullptr, failing); }); },
            [&](HWND dialog) { drag_slider(dialog, 30); }));
        EXPECT_EQ(failure, "the host cannot take this preset") << failures;
        EXPECT_EQ(failing.taken, failures == 1 ? std::vector<float>{-3} : std::vector<float>{}) << failures;
    }
}

std::vector<uint8_t> le32(uint32_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

class PreferencesPage : public ::testing::Test {
protected:
    // A fresh load of the component, as after a restart of the host.
    component_run& start() {
        window.reset();
        if (run) run->host.stop();
        run.reset();
        run = std::make_unique<component_run>(component_path, config);
        return *run;
    }
    void open(component_run& run) {
        window = std::make_unique<minihost::CPreferencesWindow>(run.host);
        window->create(false);
        page = static_cast<HWND>(window->page_window());
        ASSERT_NE(page, nullptr);
    }
    void type(int id, const char* text) { uSetDlgItemText(page, id, text); }
    // The configuration record the component would write now for `guid`.
    std::vector<uint8_t> stored(const GUID& guid) { return stored_record(run->host.client(), guid); }
    bool enabled(int id) { return IsWindowEnabled(static_cast<HWND>(window->button(id))) != FALSE; }
    void click(int id) {
        SendMessageW(static_cast<HWND>(window->window()), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(window->button(id)));
    }

    scratch_folder folder{test_folder_name("preferences")};
    std::string config = folder.file("config.bin");
    std::unique_ptr<component_run> run;  // outlives the window: the page lives in the component
    std::unique_ptr<minihost::CPreferencesWindow> window;
    HWND page = nullptr;
};

TEST_F(PreferencesPage, StateFollowsEditsResetAndApplyAndOkKeepsTheValuesForTheNextRun) {
    write_bytes(config, record(bogo_1_guid, le32(5)));
    open(start());
    EXPECT_EQ(window_text(GetDlgItem(page, 1001)), "5");
    EXPECT_EQ(window->state_changes(), 0);  // filling the fields at creation is no change
    EXPECT_FALSE(enabled(minihost::CPreferencesWindow::apply_button_id));

    type(1001, "7");
    EXPECT_EQ(window->state_changes(), 1);
    EXPECT_TRUE(enabled(minihost::CPreferencesWindow::apply_button_id));
    type(1001, "5");  // typed back
    EXPECT_EQ(window->page()->page_state(), 8u);
    EXPECT_FALSE(enabled(minihost::CPreferencesWindow::apply_button_id));

    // Reset fills the defaults; only Apply stores them.
    click(minihost::CPreferencesWindow::reset_button_id);
    EXPECT_EQ(window_text(GetDlgItem(page, 1001)), "1337");
    EXPECT_EQ(stored(bogo_1_guid), le32(5));
    click(minihost::CPreferencesWindow::apply_button_id);
    EXPECT_EQ(stored(bogo_1_guid), le32(1337));

    type(1001, "111");
    click(IDOK);  // applies what changed and closes
    open(start());
    EXPECT_EQ(window_text(GetDlgItem(page, 1001)), "111");
}

// The page's check box and the advanced setting are one value: what either stores, the other shows.
TEST_F(PreferencesPage, LoopCheckBoxAndTheAdvancedSettingAgree) {
    open(start());
    EXPECT_EQ(IsDlgButtonChecked(page, loop_box_id), BST_CHECKED);
    SendMessageW(GetDlgItem(page, loop_box_id), BM_CLICK, 0, 0);
    EXPECT_EQ(window->state_changes(), 1);
    click(minihost::CPreferencesWindow::apply_button_id);
    EXPECT_EQ(stored(loop_guid), std::vector<uint8_t>{0});

    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(minihost::set_advconfig_value(run->host, "Loop modules for ever", "on", out, error)) << error;
    EXPECT_EQ(window->page()->page_state(), 9u);  // the page still shows off: a change to apply
}

TEST_F(PreferencesPage, PageThatCannotBeCreatedFailsWithTheSystemsErrorCode) {
    component_run& run = start();
    auto page_service = service_lookup_one_t<preferences_page>(run.host).query_as<preferences_page_v3>();
    struct no_callback final : preferences_page_callback {
        int add_ref() override { return 1; }
        int release() override { return 1; }
        bool query(service_base*&, const GUID&) override { return false; }
        void state_changed() override {}
    } callback;
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);  // a parent that no longer exists
    try {
        page_service->create_page_instance(gone, callback);
        FAIL() << "a page needs a parent window";
    } catch (const exception_win32& failure) {
        EXPECT_EQ(failure.code(), unsigned(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_STREQ(failure.what(), "Windows error 1400");
    }
}

// A page of the host's own that cannot be created.
class failing_page : public preferences_page_v3 {
public:
    host_window create_old_style(host_window) override { throw zorb::exception_not_implemented(); }
    void page_name(zorb::string_base& out) override { out.set_string("Failing"); }
    GUID page_guid() override { return {0x0FA11ED0, 0, 0, {1}}; }
    GUID parent_guid() override { return {}; }
    bool can_reset_directly() override { return false; }
    void reset_directly() override {}
    bool help_url(zorb::string_base&) override { return false; }
    double sort_priority() override { return 0; }
    service_ptr_t<preferences_page_instance> create_page_instance(host_window, preferences_page_callback&) override {
        throw zorb::exception("this page cannot be shown");
    }
};

TEST(PreferencesWindow, PageThatCannotBeCreatedIsReportedAndTheWindowGoesOn) {
    scratch_folder folder("preferences-failing-page");
    minihost::component_library library(component_path);
    minihost::host host(folder.file("config.bin"));
    host.add_service(preferences_page::class_guid, service_ptr(new service_impl_t<failing_page>()));
    host.start(library.binding());
    std::vector<std::string> reported;
    minihost::CPreferencesWindow window(host, [&](const std::string& message) { reported.push_back(message); });
    // The host's page comes first, so the window opens on it.
    window.create(false);
    EXPECT_EQ(reported, lines_t{"this page cannot be shown"});
    const auto choose = [&](int index) {
        HWND list = static_cast<HWND>(window.button(minihost::CPreferencesWindow::page_list_id));
        SendMessageW(list, LB_SETCURSEL, index, 0);
        SendMessageW(static_cast<HWND>(window.window()), WM_COMMAND,
                     MAKEWPARAM(minihost::CPreferencesWindow::page_list_id, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    };
    choose(1);
    ASSERT_NE(window.page(), nullptr);
    // Chosen from the list, the failure comes through the window procedure.
    choose(0);
    EXPECT_EQ(reported, (lines_t{"this page cannot be shown", "this page cannot be shown"}));
    EXPECT_EQ(window.page(), nullptr);
    EXPECT_TRUE(window.failed());
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(window.button(minihost::CPreferencesWindow::apply_button_id))));
}

// The playback state dialog, opened by its main-menu command in a host with the component, over
// minihost's player playing a two-second WAV file.
class PlaybackStateDialog : public component_dll_test {
protected:
    PlaybackStateDialog() {
        const std::string song = write_wav(folder.file("song.wav"), std::vector<int64_t>(2 * 44100 * 2));
        metadb_handle_list list;
        list.add_item(run.host.tracks().handle(song, 0));
        run.host.playback().set_playlist(list);
        run.host.playback().set_output(minihost::make_fast_output());
        run_main_command(run.host, "Sample component/Playback state demo");
        dialog = FindWindowW(nullptr, L"Playback State Demo");
    }
    ~PlaybackStateDialog() override {
        if (IsWindow(dialog)) DestroyWindow(dialog);
        run.host.playback().stop(play_stop_user);
    }
    std::string state() { return window_text(GetDlgItem(dialog, 1003)); }
    void press(int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    void play_until(double seconds) {
        while (run.host.playback().position() < seconds && run.host.playback().step()) {
        }
    }

    HWND dialog = nullptr;
};

RECT menu_rect;                                // where note_menu_and_close found the open menu
minihost::status_line* menu_status = nullptr;  // the host's status line...
std::string status_shown;                      // ...and its text while the first item was highlighted

// First the menu's place and a key press that highlights its first item; then the status text and Enter.
void CALLBACK note_menu_and_choose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu != nullptr && menu_rect.right == 0) {
        GetWindowRect(menu, &menu_rect);
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        SetTimer(nullptr, 0, 200, note_menu_and_choose);
        return;
    }
    status_shown = menu_status->override_text();
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(PlaybackStateDialog, StateFollowsTheEventsAndEditsAndTheKeyboardMenuOpensAtTheTestAreasCentre) {
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(state(), "Stopped.");
    // The menu key opens the context menu with its top-left corner at the centre of the test area.
    menu_rect = {};
    menu_status = &run.host.status_line();
    SetTimer(nullptr, 0, 300, note_menu_and_choose);
    popup_recorder popups(run.host);
    const HWND area = GetDlgItem(dialog, 1010);
    SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(area), MAKELPARAM(-1, -1));
    RECT bounds;
    GetWindowRect(area, &bounds);
    EXPECT_EQ(menu_rect.left, (bounds.left + bounds.right) / 2);
    EXPECT_EQ(menu_rect.top, (bounds.top + bounds.bottom) / 2);
    EXPECT_EQ(status_shown, "This is a test command.");
    EXPECT_EQ(run.host.status_line().override_text(), "");  // given back when the menu closed
    ASSERT_EQ(popups.popups().size(), 1u);
    EXPECT_EQ(popups.popups()[0].message, "Blah!");

    press(1004);                                                         // Play
    EXPECT_EQ(state(), "PCM | 1411 kbps | 44100 Hz | 2 | 0:00 / 0:02");  // the new track's event
    play_until(1.2);
    press(1005);  // Pause
    EXPECT_EQ(state(), "PCM | 1411 kbps | 44100 Hz | 2 | 0:01 / 0:02 | paused");
    uSetDlgItemText(dialog, 1002, "%samplerate%");  // no event: the edit alone re-renders
    EXPECT_EQ(state(), "44100");
    press(1006);  // Stop
    EXPECT_EQ(state(), "Stopped.");
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(dialog));
    // Nothing listens any more: the events of playing must not reach the destroyed dialog.
    run.host.playback().start(play_command_default, false);
    play_until(0.5);
    EXPECT_TRUE(run.host.playback().is_playing());
}

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

// The window's controls as a person sees them, top to bottom, each ended by "|"; its last button.
std::string contents_of(HWND window, HWND* button = nullptr) {
    std::string seen;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t class_name[64] = {};
        GetClassNameW(child, class_name, 64);
        if (lstrcmpiW(class_name, PROGRESS_CLASSW) == 0)
            seen += "bar " + std::to_string(SendMessageW(child, PBM_GETPOS, 0, 0)) + " of " +
                    std::to_string(SendMessageW(child, PBM_GETRANGE, FALSE, 0)) + "|";
        else
            seen += window_text(child) + "|";
        if (button && lstrcmpiW(class_name, L"Button") == 0) *button = child;
    }
    return seen;
}

TEST(ProgressWindow, FlagsChooseItsPartsAndTheAbortButtonOrCloseBoxStopsOnlyAnAbortableProcess) {
    const struct {
        unsigned flags;
        const char* shown;
        bool abortable, delayed;
        bool stop_by_button;  // else by the close box
    } cases[] = {
        {0x19, "Z:\\music\\a song.wav|bar 2500 of 5000|bar 1000 of 5000|Abort|", true, false, true},  // the peak scan's
        {0x05, "bar 2500 of 5000|Abort|", true, false, false},
        {0x06, "bar 2500 of 5000|", false, true, false},  // shown after half a second
    };
    scratch_folder folder("progress-window");
    minihost::host host(folder.file("config.bin"));
    host.set_window_session(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        const std::wstring title = L"Progress test " + std::to_wstring(c.flags);
        auto* process = new service_impl_t<held_process>();
        const service_ptr_t<threaded_process_callback> held(process);
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.processes().start(held, c.flags, nullptr, zorb::utf8_from_wide(title), false));
        HWND window = FindWindowW(nullptr, title.c_str());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, !c.delayed);
        ASSERT_TRUE(pump_until([&] { return process->reported && IsWindowVisible(window); }));
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(c.delayed ? 500 : 0));
        HWND abort_button = nullptr;
        EXPECT_TRUE(pump_until([&] { return contents_of(window, &abort_button) == c.shown; })) << contents_of(window);

        if (c.stop_by_button)
            SendMessageW(abort_button, BM_CLICK, 0, 0);
        else
            SendMessageW(window, WM_CLOSE, 0, 0);  // aborts where there is an Abort button, else nothing
        if (c.abortable) {
            EXPECT_TRUE(pump_until([&] { return process->done == 1; }));
        } else {
            minihost::pump_messages(0.2);
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
