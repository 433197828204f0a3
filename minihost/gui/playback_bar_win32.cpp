#include <windows.h>

#include <chrono>
#include <cstdio>

#include "host/file_info_impl.h"
#include "minihost/gui/main_window.h"
#include "minihost/gui/playback_bar.h"
#include "minihost/host/window_parts_win32.h"
#include "zorb/exception.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

constexpr wchar_t bar_class_name[] = L"minihost playback bar";
constexpr UINT_PTR play_timer = 1;
constexpr UINT play_timer_ms = 15;
constexpr int bar_height = 34, button_width = 64, button_height = 24, gap = 5;

struct button {
    int id;
    const wchar_t* text;
};
constexpr button buttons[] = {{CPlaybackBar::play_id, L"Play"},         {CPlaybackBar::pause_id, L"Pause"},
                              {CPlaybackBar::stop_id, L"Stop"},         {CPlaybackBar::previous_id, L"Prev"},
                              {CPlaybackBar::next_id, L"Next"},         {CPlaybackBar::random_id, L"Random"}};

std::string file_name_of(const char* path) {
    const std::string text = path ? path : "";
    const size_t separator = text.find_last_of("\\/|");
    return separator == std::string::npos ? text : text.substr(separator + 1);
}

}  // namespace

CPlaybackBar::CPlaybackBar(host& running, CMainWindow& main, dsp_chain* chain)
    : running_(running), main_(main), chain_(chain) {}

CPlaybackBar::~CPlaybackBar() {
    playback_engine& engine = running_.playback();
    if (output_set_) {
        engine.stop(play_stop_user);
        engine.set_dsp_chain(nullptr);
    }
    if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
}

void CPlaybackBar::create() {
    register_window_class(bar_class_name, forward_to_window<CPlaybackBar>);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, bar_class_name, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                  0, 0, 0, static_cast<HWND>(main_.window()), nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw zorb::exception("Cannot create the playback bar");
    window_ = window;
    int left = gap;
    for (const button& each : buttons) {
        MoveWindow(make_control(window, L"BUTTON", each.text, WS_TABSTOP | BS_PUSHBUTTON, each.id), left, gap,
                   button_width, button_height, FALSE);
        left += button_width + gap;
    }
    MoveWindow(make_control(window, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, position_id), left + gap, gap,
               600, button_height, FALSE);
    main_.add_band(window_, bar_height, true);
    refresh_position();
}

bool CPlaybackBar::press(int id) {
    playback_engine& engine = running_.playback();
    if (!output_set_ && (id == play_id || id == next_id || id == previous_id || id == random_id)) {
        std::unique_ptr<audio_output> output = make_system_output();
        engine.set_output(output ? std::move(output) : make_silent_output());
        engine.set_dsp_chain(chain_);
        output_set_ = true;
    }
    playlist& list = running_.playlist();
    switch (id) {
        case play_id: {
            const std::vector<size_t> selected = list.selected_indexes();
            engine.set_playlist(list.items(), selected.empty() ? 0 : selected.front());
            engine.start(play_command_default, false);
            break;
        }
        case pause_id:
            engine.pause(!engine.is_paused());
            break;
        case stop_id:
            engine.stop(play_stop_user);
            break;
        case previous_id:
        case next_id:
        case random_id:
            if (!engine.is_playing()) engine.set_playlist(list.items());
            engine.start(id == previous_id ? play_command_previous
                                           : id == next_id ? play_command_next : play_command_random,
                         false);
            break;
        default:
            return false;
    }
    if (window_ != nullptr) SetTimer(static_cast<HWND>(window_), play_timer, play_timer_ms, nullptr);
    refresh_position();
    return true;
}

void CPlaybackBar::play_on(unsigned budget_ms) {
    playback_engine& engine = running_.playback();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(budget_ms);
    while (std::chrono::steady_clock::now() < until && engine.step()) {
    }
    refresh_position();
    if (!engine.is_playing() && window_ != nullptr) KillTimer(static_cast<HWND>(window_), play_timer);
}

void CPlaybackBar::refresh_position() {
    playback_engine& engine = running_.playback();
    const metadb_handle_ptr track = engine.now_playing();
    double length = 0;
    if (track) {
        file_info_impl info;
        if (track->get_info(info)) length = info.get_length();
    }
    position_ = playback_position_text(track ? file_name_of(track->get_path()) : std::string(), engine.is_playing(),
                                       engine.is_paused(), engine.position(), length);
    if (window_ != nullptr)
        SetDlgItemTextW(static_cast<HWND>(window_), position_id, zorb::wide_from_utf8(position_).c_str());
}

intptr_t CPlaybackBar::handle(unsigned message, uintptr_t wparam, intptr_t lparam) {
    HWND window = static_cast<HWND>(window_);
    try {
        return handle_message(message, wparam, lparam);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: playback: %s\n", failure.what());
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

intptr_t CPlaybackBar::handle_message(unsigned message, uintptr_t wparam, intptr_t lparam) {
    HWND window = static_cast<HWND>(window_);
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wparam) == BN_CLICKED && press(LOWORD(wparam))) return 0;
            break;
        case WM_TIMER:
            if (wparam == play_timer) {
                play_on(play_timer_ms * 2);
                return 0;
            }
            break;
        case WM_DESTROY:
            KillTimer(window, play_timer);
            window_ = nullptr;
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace minihost
