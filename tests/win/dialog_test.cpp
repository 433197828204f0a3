// The component's dialogs in kiv_ambrel.dll, shown for real under Wine and driven by their messages:
// the gain DSP's configuration dialog, the preferences page in minihost's preferences window, the
// advanced setting, and minihost.exe's DSP, advconfig and play commands.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "host/dsp.h"
#include "host/memory_stream.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "minihost/app/dsp_commands.h"
#include "minihost/host/advconfig.h"
#include "minihost/host/dsp_chain.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/preferences_window.h"
#include "sample/commands/playback_state.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"
#include "tests/win/component_run.h"
#include "zorb/files.h"

namespace {

using namespace test_support;

const std::string component_path = beside_executable("kiv_ambrel.dll");
constexpr GUID dsp_guid = {0x0890827B, 0x67DF, 0x4C27, {0xBA, 0x1A, 0x4F, 0x95, 0x8D, 0x0F, 0xB5, 0xD0}};
constexpr GUID bogo_1_guid = {0x0BD5C777, 0x735C, 0x440D, {0x8C, 0x71, 0x49, 0xB6, 0xAC, 0xFF, 0xCE, 0xB8}};
constexpr GUID bogo_2_guid = {0x752F1186, 0x9F61, 0x4F91, {0xB3, 0xEE, 0x2F, 0x25, 0xB1, 0x24, 0x83, 0x5D}};
constexpr GUID bogo_3_guid = {0xF7008963, 0xED60, 0x4084, {0xA8, 0x5D, 0xD1, 0xCD, 0xC5, 0x51, 0x22, 0xCA}};
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

std::string control_text(HWND dialog, int id) {
    zorb::string8 text;
    uGetDlgItemText(dialog, id, text);
    return text.str();
}

// Remembers every preset the dialog reports, as gains; called on the dialog's thread.
class recording_callback final : public preset_edit_callback {
public:
    void on_preset_changed(const dsp_preset& preset) override {
        std::lock_guard lock(mutex_);
        owners_ok_ = owners_ok_ && preset.get_owner() == dsp_guid;
        gains_.push_back(preset_gain(preset));
    }
    std::vector<float> gains() {
        std::lock_guard lock(mutex_);
        return gains_;
    }
    bool owners_ok() {
        std::lock_guard lock(mutex_);
        return owners_ok_;
    }

private:
    std::mutex mutex_;
    std::vector<float> gains_;
    bool owners_ok_ = true;
};

// Runs `open`, which shows a modal dialog titled "Sample DSP Configuration" on this thread, while
// `drive` works that dialog from a thread of its own; `drive` must end the dialog. False when no
// such dialog appeared.
bool with_dsp_dialog(const std::function<void()>& open, const std::function<void(HWND)>& drive) {
    const DWORD opener = GetCurrentThreadId();
    std::atomic<bool> found{false};
    std::thread driver([&] {
        for (int attempt = 0; attempt < 1000 && !found; ++attempt) {
            HWND dialog = FindWindowW(L"#32770", L"Sample DSP Configuration");
            // Visible only once WM_INITDIALOG has set it up.
            if (dialog && GetWindowThreadProcessId(dialog, nullptr) == opener && IsWindowVisible(dialog)) {
                found = true;
                drive(dialog);
            } else {
                Sleep(10);
            }
        }
    });
    open();
    driver.join();
    return found;
}

// Moves the slider as a drag to `position` does: the new position, then the scroll notice.
void drag_slider(HWND dialog, int position) {
    HWND slider = GetDlgItem(dialog, slider_id);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
}

void press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

class DspDialog : public ::testing::Test {
protected:
    scratch_folder folder{std::string("dsp-dialog-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    component_run run{component_path, folder.file("config.bin")};
    service_ptr_t<dsp_entry_v2> entry = service_lookup_one_t<dsp_entry>(run.host).query_as<dsp_entry_v2>();
    recording_callback callback;
};

TEST_F(DspDialog, OpensAtTheRoundedGainAndShowsThePresetsOwn) {
    struct opening {
        float gain_db;
        int position;
        const char* label;
    };
    // 7.6 as a float is 7.59999990463..., which seven decimals cut to 7.5999999.
    for (const opening& o :
         {opening{7.6f, 28, "7.5999999 dB"}, opening{-25, 0, "-25.0000000 dB"}, opening{-5, 15, "-5.0000000 dB"},
          opening{0, 20, "0.0000000 dB"}, opening{20.49f, 40, "20.4899998 dB"}, opening{-0.5f, 20, "-0.5000000 dB"}}) {
        int position = -1, lowest = -1, highest = -1;
        std::string label, title;
        const bool shown = with_dsp_dialog([&] { entry->edit_preset_live(gain_preset(o.gain_db), nullptr, callback); },
                                           [&](HWND dialog) {
                                               HWND slider = GetDlgItem(dialog, slider_id);
                                               position = int(SendMessageW(slider, TBM_GETPOS, 0, 0));
                                               lowest = int(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0));
                                               highest = int(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0));
                                               label = control_text(dialog, label_id);
                                               press(dialog, IDCANCEL);
                                           });
        ASSERT_TRUE(shown);
        EXPECT_EQ(position, o.position) << o.gain_db;
        EXPECT_EQ(lowest, 0);
        EXPECT_EQ(highest, 40);
        EXPECT_EQ(label, o.label);
    }
    // Opening reports nothing; each Cancel reports its start preset once.
    EXPECT_EQ(callback.gains(), (std::vector<float>{7.6f, -25, -5, 0, 20.49f, -0.5f}));
    // The dialog shows -25 at the slider's end, but the DSP applies what its preset says.
    minihost::dsp_chain chain(run.host);
    chain.set_presets({gain_preset(-25)});
    minihost::audio_chunk_impl chunk;
    chunk.set_data_size(2);
    chunk.get_data()[0] = 1.0f;
    chunk.get_data()[1] = -0.5f;
    chunk.set_sample_count(1);
    chunk.set_channels(2, 3);
    abort_callback_dummy abort;
    EXPECT_TRUE(minihost::run_dsp_chain_on(chain, chunk, 0, abort));
    EXPECT_NEAR(chunk.get_data()[0], std::pow(10.0, -1.25), 1e-7);
    EXPECT_NEAR(chunk.get_data()[1], -0.5 * std::pow(10.0, -1.25), 1e-7);
}

TEST_F(DspDialog, TemplateGivesTheStatedControls) {
    std::string title, ok_text, cancel_text, slider_class;
    // Template positions as x, y, width, height: the dialog converts position and size separately.
    RECT client{}, ok{}, cancel{}, slider{}, expected_client{0, 0, 284, 83}, expected_ok{172, 64, 50, 14},
        expected_cancel{226, 64, 50, 14}, expected_slider{12, 12, 260, 24};
    const auto client_rect_of = [](HWND dialog, int id) {
        RECT rect;
        GetWindowRect(GetDlgItem(dialog, id), &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    ASSERT_TRUE(
        with_dsp_dialog([&] { entry->edit_preset_live(gain_preset(0), nullptr, callback); },
                        [&](HWND dialog) {
                            wchar_t name[64] = {};
                            GetClassNameW(GetDlgItem(dialog, slider_id), name, 64);
                            slider_class = std::string(name, name + wcslen(name));
                            ok_text = control_text(dialog, IDOK);
                            cancel_text = control_text(dialog, IDCANCEL);
                            GetClientRect(dialog, &client);
                            ok = client_rect_of(dialog, IDOK);
                            cancel = client_rect_of(dialog, IDCANCEL);
                            slider = client_rect_of(dialog, slider_id);
                            for (RECT* rect : {&expected_client, &expected_ok, &expected_cancel, &expected_slider}) {
                                MapDialogRect(dialog, rect);
                                rect->right += rect->left;
                                rect->bottom += rect->top;
                            }
                            press(dialog, IDCANCEL);
                        }));
    EXPECT_EQ(slider_class, "msctls_trackbar32");
    EXPECT_EQ(ok_text, "OK");
    EXPECT_EQ(cancel_text, "Cancel");
    EXPECT_TRUE(EqualRect(&client, &expected_client));
    EXPECT_TRUE(EqualRect(&ok, &expected_ok));
    EXPECT_TRUE(EqualRect(&cancel, &expected_cancel));
    EXPECT_TRUE(EqualRect(&slider, &expected_slider));
}

TEST_F(DspDialog, LabelHoldsItsWidestTextInTheDialogsFont) {
    SIZE widest{};
    RECT label{};
    ASSERT_TRUE(with_dsp_dialog([&] { entry->edit_preset_live(gain_preset(0), nullptr, callback); },
                                [&](HWND dialog) {
                                    HWND control = GetDlgItem(dialog, label_id);
                                    GetClientRect(control, &label);
                                    HDC context = GetDC(control);
                                    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
                                    HGDIOBJ old = SelectObject(context, font);
                                    GetTextExtentPoint32W(context, L"-20.0000000 dB", 14, &widest);
                                    SelectObject(context, old);
                                    ReleaseDC(control, context);
                                    press(dialog, IDCANCEL);
                                }));
    EXPECT_LE(widest.cx, label.right);
    EXPECT_LE(widest.cy, label.bottom + 2);  // one line
}

TEST_F(DspDialog, CancelRestoresTheStartEvenWhenTheCallerReusesItsPreset) {
    // A host that keeps one preset object and updates it from the callback, then hands that same
    // object to the dialog: the dialog must remember the start by value.
    struct updating_callback final : preset_edit_callback {
        explicit updating_callback(dsp_preset& kept) : kept(kept) {}
        void on_preset_changed(const dsp_preset& changed) override { kept.copy_from(changed); }
        dsp_preset& kept;
    };
    dsp_preset_impl kept = gain_preset(-5);
    updating_callback updating(kept);
    ASSERT_TRUE(with_dsp_dialog([&] { entry->edit_preset_live(kept, nullptr, updating); },
                                [&](HWND dialog) {
                                    drag_slider(dialog, 38);
                                    press(dialog, IDCANCEL);
                                }));
    EXPECT_EQ(preset_gain(kept), -5.0f);
}

TEST_F(DspDialog, SliderMovesReachTheCallbackAtOnceAndCancelReturnsToTheStart) {
    std::vector<std::vector<float>> seen;
    std::vector<std::string> labels;
    ASSERT_TRUE(with_dsp_dialog([&] { entry->edit_preset_live(gain_preset(3), nullptr, callback); },
                                [&](HWND dialog) {
                                    drag_slider(dialog, 30);
                                    seen.push_back(callback.gains());
                                    labels.push_back(control_text(dialog, label_id));
                                    // A key press moves the slider by one step and notifies by itself.
                                    SendMessageW(GetDlgItem(dialog, slider_id), WM_KEYDOWN, VK_LEFT, 0);
                                    seen.push_back(callback.gains());
                                    labels.push_back(control_text(dialog, label_id));
                                    drag_slider(dialog, 0);
                                    seen.push_back(callback.gains());
                                    labels.push_back(control_text(dialog, label_id));
                                    press(dialog, IDCANCEL);
                                }));
    ASSERT_EQ(seen.size(), 3u);
    ASSERT_FALSE(seen[0].empty());
    EXPECT_EQ(seen[0].back(), 10.0f);
    ASSERT_FALSE(seen[1].empty());
    EXPECT_EQ(seen[1].back(), 9.0f);
    EXPECT_EQ(seen[2].back(), -20.0f);
    EXPECT_EQ(labels, (std::vector<std::string>{"10.0000000 dB", "9.0000000 dB", "-20.0000000 dB"}));
    const std::vector<float> all = callback.gains();
    EXPECT_EQ(all.back(), 3.0f);  // the start preset, reported last
    EXPECT_TRUE(callback.owners_ok());
}

TEST_F(DspDialog, OkLeavesTheLastSliderPreset) {
    ASSERT_TRUE(with_dsp_dialog([&] { entry->edit_preset_live(gain_preset(-7), nullptr, callback); },
                                [&](HWND dialog) {
                                    drag_slider(dialog, 35);
                                    drag_slider(dialog, 5);
                                    press(dialog, IDOK);
                                }));
    const std::vector<float> all = callback.gains();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), -15.0f);
    EXPECT_EQ(std::count(all.begin(), all.end(), -7.0f), 0);  // the start is not reported after OK
}

TEST_F(DspDialog, ModalFormReportsAChangeOnlyWhenTheSliderEndsElsewhere) {
    struct modal_case {
        std::vector<int> moves;
        int button;
        bool changed;
        float gain_after;
    };
    for (const modal_case& c : {modal_case{{25, 15}, IDOK, false, -5}, modal_case{{35}, IDOK, true, 15},
                                modal_case{{35}, IDCANCEL, false, -5}, modal_case{{}, IDOK, false, -5}}) {
        dsp_preset_impl preset = gain_preset(-5);
        bool changed = false;
        ASSERT_TRUE(with_dsp_dialog([&] { changed = entry->edit_preset_modal(preset, nullptr); },
                                    [&](HWND dialog) {
                                        for (int position : c.moves) drag_slider(dialog, position);
                                        press(dialog, c.button);
                                    }));
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(preset_gain(preset), c.gain_after);
        EXPECT_EQ(preset.get_owner(), dsp_guid);
    }
}

TEST_F(DspDialog, LiveEditorKeepsTheChainInStepWithTheDialog) {
    minihost::dsp_chain chain(run.host);
    chain.set_presets({gain_preset(-2)});
    std::vector<float> chain_gain_seen;
    ASSERT_TRUE(with_dsp_dialog([&] { minihost::edit_chain_preset_live(*entry, chain, nullptr); },
                                [&](HWND dialog) {
                                    drag_slider(dialog, 10);
                                    chain_gain_seen.push_back(preset_gain(chain.presets().at(0)));
                                    press(dialog, IDCANCEL);
                                }));
    EXPECT_EQ(chain_gain_seen, std::vector<float>{-10});
    ASSERT_EQ(chain.presets().size(), 1u);
    EXPECT_EQ(preset_gain(chain.presets()[0]), -2.0f);
}

TEST_F(DspDialog, LiveEditorOnAChainWithoutTheDspStartsFromItsDefault) {
    struct ending {
        std::vector<int> moves;
        int button;
        const char* printed;
        size_t chain_size;
    };
    // 10 dB is the float 0x41200000.
    for (const ending& e : {ending{{}, IDCANCEL, "chain takes Sample DSP [00000000]\nunchanged\n", 0},
                            ending{{25, 30},
                                   IDOK,
                                   "chain takes Sample DSP [0000a040]\nchain takes Sample DSP [00002041]\n"
                                   "chain: Sample DSP [00002041]\n",
                                   1}}) {
        minihost::dsp_chain chain(run.host);
        std::ostringstream out;
        ASSERT_TRUE(with_dsp_dialog([&] { minihost::configure_dsp(run.host, *entry, chain, true, nullptr, out); },
                                    [&](HWND dialog) {
                                        for (int position : e.moves) drag_slider(dialog, position);
                                        press(dialog, e.button);
                                    }));
        EXPECT_EQ(out.str(), e.printed);
        EXPECT_EQ(chain.presets().size(), e.chain_size);
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
        ASSERT_TRUE(with_dsp_dialog(
            [&] { failure = failure_text([&] { entry->edit_preset_live(gain_preset(-3), nullptr, failing); }); },
            [&](HWND dialog) { drag_slider(dialog, 30); }));
        EXPECT_EQ(failure, "the host cannot take this preset") << failures;
        EXPECT_EQ(failing.taken, failures == 1 ? std::vector<float>{-3} : std::vector<float>{}) << failures;
    }
}

// The configuration record the component would write now for `guid`.
std::vector<uint8_t> stored(component_run& run, const GUID& guid) {
    return test_support::stored_record(run.host.client(), guid);
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
    bool enabled(int id) { return IsWindowEnabled(static_cast<HWND>(window->button(id))) != FALSE; }
    void click(int id) {
        HWND window_handle = static_cast<HWND>(window->window());
        SendMessageW(window_handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(window->button(id)));
    }

    scratch_folder folder{std::string("preferences-") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    std::string config = folder.file("config.bin");
    std::unique_ptr<component_run> run;  // outlives the window: the page lives in the component
    std::unique_ptr<minihost::CPreferencesWindow> window;
    HWND page = nullptr;
};

TEST_F(PreferencesPage, StateFollowsEveryEditAndTheStoredValues) {
    component_run& run = start();
    open(run);
    EXPECT_EQ(control_text(page, 1001), "1337");
    EXPECT_EQ(control_text(page, 1002), "666");
    EXPECT_EQ(window->page()->page_state(), 8u);
    EXPECT_EQ(window->state_changes(), 0);  // filling the fields at creation is no change
    EXPECT_FALSE(enabled(minihost::CPreferencesWindow::apply_button_id));
    EXPECT_TRUE(enabled(minihost::CPreferencesWindow::reset_button_id));

    type(1001, "1338");
    EXPECT_EQ(window->state_changes(), 1);
    EXPECT_EQ(window->page()->page_state(), 9u);
    EXPECT_TRUE(enabled(minihost::CPreferencesWindow::apply_button_id));
    type(1002, "666 ");  // the same number
    EXPECT_EQ(window->state_changes(), 2);
    type(1001, "1337");  // typed back
    EXPECT_EQ(window->state_changes(), 3);
    EXPECT_EQ(window->page()->page_state(), 8u);
    EXPECT_FALSE(enabled(minihost::CPreferencesWindow::apply_button_id));
    EXPECT_EQ(stored(run, bogo_1_guid), le32(1337));
}

TEST_F(PreferencesPage, ResetFillsTheDefaultsAndOnlyApplyStoresThem) {
    write_file(config, {record(bogo_1_guid, le32(5)), record(bogo_2_guid, le32(6))});
    component_run& run = start();
    open(run);
    EXPECT_EQ(control_text(page, 1001), "5");
    EXPECT_EQ(control_text(page, 1002), "6");
    click(minihost::CPreferencesWindow::reset_button_id);
    EXPECT_EQ(control_text(page, 1001), "1337");
    EXPECT_EQ(control_text(page, 1002), "666");
    EXPECT_EQ(window->page()->page_state(), 9u);
    EXPECT_EQ(stored(run, bogo_1_guid), le32(5));
    EXPECT_EQ(stored(run, bogo_2_guid), le32(6));
    click(minihost::CPreferencesWindow::apply_button_id);
    EXPECT_EQ(stored(run, bogo_1_guid), le32(1337));
    EXPECT_EQ(stored(run, bogo_2_guid), le32(666));
    EXPECT_EQ(window->page()->page_state(), 8u);
    EXPECT_FALSE(enabled(minihost::CPreferencesWindow::apply_button_id));
}

TEST_F(PreferencesPage, TextThatIsNoNumberStoresZeroAndTooManyDigitsTheLargestValue) {
    component_run& run = start();
    open(run);
    type(1001, "12abc");
    type(1002, "99999999999");
    window->page()->apply();
    EXPECT_EQ(stored(run, bogo_1_guid), le32(0));
    EXPECT_EQ(stored(run, bogo_2_guid), le32(0xFFFFFFFF));
}

TEST_F(PreferencesPage, ValuesSurviveARestartAndShortRecordsAreIgnored) {
    // Setting 1 comes as a 3-byte record: it keeps its default. "Bogo setting 3" is 77.
    write_file(config, {record(bogo_1_guid, {1, 2, 3}), record(bogo_3_guid, {77, 0, 0, 0, 0, 0, 0, 0})});
    component_run& first = start();
    EXPECT_EQ(stored(first, bogo_1_guid), le32(1337));
    EXPECT_EQ(stored(first, bogo_3_guid), (std::vector<uint8_t>{77, 0, 0, 0, 0, 0, 0, 0}));
    open(first);
    type(1001, "111");
    type(1002, "222");
    click(IDOK);  // applies what changed and closes
    EXPECT_EQ(window->window(), nullptr);
    component_run& again = start();
    open(again);
    EXPECT_EQ(control_text(page, 1001), "111");
    EXPECT_EQ(control_text(page, 1002), "222");
    EXPECT_EQ(stored(again, bogo_3_guid), (std::vector<uint8_t>{77, 0, 0, 0, 0, 0, 0, 0}));
}

// The page's check box and the advanced setting are one value: what either stores, the other shows,
// also after a restart.
TEST_F(PreferencesPage, LoopCheckBoxAndTheAdvancedSettingAgree) {
    auto advanced = [this](const char* value) {
        std::ostringstream out;
        std::string error;
        EXPECT_TRUE(minihost::set_advconfig_value(run->host, "Loop modules for ever", value, out, error)) << error;
    };
    auto advanced_line = [this] {
        std::ostringstream tree;
        minihost::print_advconfig_tree(run->host, tree);
        const std::string text = tree.str();
        const size_t at = text.find("Loop modules for ever: ");
        return at == std::string::npos ? text : text.substr(at, text.find('\n', at) - at);
    };
    auto box_checked = [this] { return IsDlgButtonChecked(page, loop_box_id) == BST_CHECKED; };

    component_run& run = start();
    open(run);
    EXPECT_TRUE(box_checked());
    SendMessageW(GetDlgItem(page, loop_box_id), BM_CLICK, 0, 0);
    EXPECT_FALSE(box_checked());
    EXPECT_EQ(window->state_changes(), 1);
    EXPECT_EQ(window->page()->page_state(), 9u);
    EXPECT_EQ(advanced_line(), "Loop modules for ever: on");  // not before apply
    click(minihost::CPreferencesWindow::apply_button_id);
    EXPECT_EQ(advanced_line(), "Loop modules for ever: off");
    EXPECT_EQ(stored(run, loop_guid), std::vector<uint8_t>{0});
    EXPECT_EQ(window->page()->page_state(), 8u);

    advanced("on");
    EXPECT_EQ(window->page()->page_state(), 9u);  // the page still shows off: a change to apply
    open(run);
    EXPECT_TRUE(box_checked());
    advanced("off");
    open(run);
    EXPECT_FALSE(box_checked());
    click(minihost::CPreferencesWindow::reset_button_id);
    EXPECT_TRUE(box_checked());
    EXPECT_EQ(advanced_line(), "Loop modules for ever: off");
    click(IDOK);
    EXPECT_EQ(advanced_line(), "Loop modules for ever: on");

    advanced("off");
    component_run& again = start();
    EXPECT_EQ(advanced_line(), "Loop modules for ever: off");
    open(again);
    EXPECT_FALSE(box_checked());
    EXPECT_EQ(window->page()->page_state(), 8u);
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
    EXPECT_EQ(window.page(), nullptr);
    const auto choose = [&](int index) {
        HWND list = static_cast<HWND>(window.button(minihost::CPreferencesWindow::page_list_id));
        SendMessageW(list, LB_SETCURSEL, index, 0);
        SendMessageW(static_cast<HWND>(window.window()), WM_COMMAND,
                     MAKEWPARAM(minihost::CPreferencesWindow::page_list_id, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    };
    choose(1);
    ASSERT_NE(window.page(), nullptr);
    EXPECT_EQ(control_text(static_cast<HWND>(window.page_window()), 1001), "1337");
    // Chosen from the list, the failure comes through the window procedure.
    choose(0);
    EXPECT_EQ(reported, (lines_t{"this page cannot be shown", "this page cannot be shown"}));
    EXPECT_EQ(window.page(), nullptr);
    EXPECT_NE(window.window(), nullptr);
    EXPECT_TRUE(window.failed());
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(window.button(minihost::CPreferencesWindow::apply_button_id))));
}

TEST(MinihostCommands, LiveDialogOnAnEmptyChainEndsWithTheChainAsItWas) {
    scratch_folder folder("live-empty-chain");
    const std::string config = " --config " + folder.file("minihost.cfg") + " ";
    EXPECT_NE(run_minihost(config + "dsp configure \"Sample DSP\" --live --close-after 0.2")
                  .find("chain takes Sample DSP [00000000]\nunchanged\n"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder.file("dsp_chain.bin"))));
    EXPECT_EQ(run_minihost(config + "dsp list").find("chain:"), std::string::npos);
}

TEST(MinihostCommands, AdvancedSettingIsClampedAndKeptAcrossRuns) {
    scratch_folder folder("advconfig-commands");
    const std::string config = " --config " + folder.file("minihost.cfg") + " ";
    EXPECT_EQ(run_minihost(config + "advconfig list"),
              "kiv_ambrel component: on_init()\nTools\n  Sample Component\n    Bogo setting 3: 42\n"
              "    Loop modules for ever: on\nkiv_ambrel component: on_quit()\n");
    EXPECT_NE(run_minihost(config + "advconfig set \"Bogo setting 3\" 12345").find("Bogo setting 3: 9999\n"),
              std::string::npos);
    EXPECT_NE(run_minihost(config + "advconfig list").find("    Bogo setting 3: 9999\n"), std::string::npos);
    EXPECT_NE(run_minihost(config + "advconfig set \"Tools/Sample Component/Bogo setting 3\" \"\"")
                  .find("Bogo setting 3: 0\n"),
              std::string::npos);
    EXPECT_NE(run_minihost(config + "advconfig list").find("    Bogo setting 3: 0\n"), std::string::npos);
}

// The samples of a 16-bit WAV file as minihost's play writes it (44-byte header).
std::vector<int16_t> wav_samples(const std::string& path) {
    std::ifstream file(zorb::native_path(path), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        samples.push_back(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return samples;
}

TEST(MinihostCommands, PlayThroughTheGainDspGivesATenthOfTheAmplitude) {
    scratch_folder folder("play-dsp");
    const std::string song = AMBREL_SOURCE_DIR "/assets/demo.xm";
    const std::string config = " --config " + folder.file("minihost.cfg") + " ";
    const std::string plain = folder.file("plain.wav"), quiet = folder.file("quiet.wav"),
                      kept = folder.file("kept.wav");
    run_minihost(config + "play " + song + " --seconds 3 --out " + plain);
    run_minihost(config + "play " + song + " --seconds 3 --out " + quiet + " --dsp \"Sample DSP\" --preset f32:-20");
    // The chain kept in the configuration: the dialog closed at once keeps the preset it started at.
    EXPECT_NE(run_minihost(config + "dsp configure \"Sample DSP\" --preset 0000a0c1 --close-after 0.2")
                  .find("chain: Sample DSP [0000a0c1]\n"),
              std::string::npos);
    run_minihost(config + "play " + song + " --seconds 3 --out " + kept);

    const std::vector<int16_t> loud = wav_samples(plain), soft = wav_samples(quiet);
    ASSERT_EQ(loud.size(), size_t(3 * 44100 * 2));
    ASSERT_EQ(soft.size(), loud.size());
    EXPECT_EQ(wav_samples(kept), soft);
    // Scaling happens on the floats before they become 16-bit: each quiet sample lies within one
    // step of a tenth of the loud one (two roundings of half a step each).
    int16_t loudest = 0;
    for (size_t i = 0; i < loud.size(); ++i) {
        ASSERT_LE(std::abs(soft[i] - loud[i] / 10.0), 1.0) << i;
        loudest = std::max<int16_t>(loudest, int16_t(std::abs(loud[i])));
    }
    EXPECT_GT(loudest, 3000);  // the comparison is over real music, not near silence
}

// The playback state dialog, opened by its main-menu command in a host with the component, over
// minihost's player playing a two-second WAV file.
class PlaybackStateDialog : public ::testing::Test {
protected:
    PlaybackStateDialog() {
        wave_shape shape;
        const std::string song = folder.file("song.wav");
        write_bytes(song, wave_file(shape, integer_samples(shape, std::vector<int64_t>(2 * 44100 * 2))));
        metadb_handle_list list;
        list.add_item(run.host.tracks().handle(song, 0));
        run.host.playback().set_playlist(list);
        run.host.playback().set_output(minihost::make_fast_output());
        const char* path = "Sample component/Playback state demo";
        minihost::run_menu_command(minihost::find_menu_command(minihost::build_main_menu(run.host), path, "command"),
                                   path);
        dialog = FindWindowW(nullptr, L"Playback State Demo");
    }
    ~PlaybackStateDialog() override {
        if (IsWindow(dialog)) DestroyWindow(dialog);
        run.host.playback().stop(play_stop_user);
    }
    std::string state() { return control_text(dialog, 1003); }
    void press(int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    void play_until(double seconds) {
        while (run.host.playback().position() < seconds && run.host.playback().step()) {
        }
    }

    scratch_folder folder{"playback-state-dialog"};
    component_run run{component_path, folder.file("config.bin")};
    HWND dialog = nullptr;
};

TEST_F(PlaybackStateDialog, StateFollowsTheEventsAndEditsAtOnce) {
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(control_text(dialog, 1002), ambrel::playback_state_default_pattern);
    EXPECT_EQ(state(), "Stopped.");
    press(1004);                                                         // Play
    EXPECT_EQ(state(), "PCM | 1411 kbps | 44100 Hz | 2 | 0:00 / 0:02");  // the new track's event
    play_until(1.2);
    EXPECT_EQ(state(), "PCM | 1411 kbps | 44100 Hz | 2 | 0:01 / 0:02");  // the time event
    press(1005);                                                         // Pause
    EXPECT_TRUE(run.host.playback().is_paused());
    EXPECT_EQ(state(), "PCM | 1411 kbps | 44100 Hz | 2 | 0:01 / 0:02 | paused");
    uSetDlgItemText(dialog, 1002, "%samplerate%");  // no event: the edit alone re-renders
    EXPECT_EQ(state(), "44100");
    uSetDlgItemText(dialog, 1002, "");
    EXPECT_EQ(state(), "");
    press(1005);
    EXPECT_FALSE(run.host.playback().is_paused());
    press(1006);  // Stop
    EXPECT_FALSE(run.host.playback().is_playing());
    EXPECT_EQ(state(), "Stopped.");
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(dialog));
    // Nothing listens any more: the events of playing must not reach the destroyed dialog.
    run.host.playback().start(play_command_default, false);
    play_until(0.5);
    EXPECT_TRUE(run.host.playback().is_playing());
}

RECT menu_rect;                                // where note_menu_and_close found the open menu
minihost::status_line* menu_status = nullptr;  // the host's status line...
std::string status_shown;                      // ...and its text while the first item was highlighted

// First the menu's place and a key press that highlights its first item, then the status text.
void CALLBACK note_menu_and_close(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu != nullptr && menu_rect.right == 0) {
        GetWindowRect(menu, &menu_rect);
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        SetTimer(nullptr, 0, 200, note_menu_and_close);
        return;
    }
    status_shown = menu_status->override_text();
    EndMenu();
}

// The menu key opens the context menu at the centre of the test area; its top-left corner is there.
TEST_F(PlaybackStateDialog, KeyboardContextMenuOpensAtTheTestAreasCentre) {
    ASSERT_NE(dialog, nullptr);
    menu_rect = {};
    menu_status = &run.host.status_line();
    SetTimer(nullptr, 0, 300, note_menu_and_close);
    const HWND area = GetDlgItem(dialog, 1010);
    SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(area), MAKELPARAM(-1, -1));
    RECT bounds;
    GetWindowRect(area, &bounds);
    EXPECT_EQ(menu_rect.left, (bounds.left + bounds.right) / 2);
    EXPECT_EQ(menu_rect.top, (bounds.top + bounds.bottom) / 2);
    EXPECT_EQ(status_shown, "This is a test command.");
    EXPECT_EQ(run.host.status_line().override_text(), "");  // given back when the menu closed
}

}  // namespace
