#include "minihost/host/playback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <random>
#include <thread>

#include "host/service_lookup.h"
#include "minihost/host/dsp_chain.h"
#include "minihost/host/guarded_call.h"
#include "minihost/host/host.h"
#include "minihost/host/input_registry.h"
#include "minihost/host/metadb.h"
#include "minihost/host/pcm_convert.h"
#include "minihost/host/titleformat.h"
#include "minihost/host/track_format.h"

namespace minihost {
namespace {

class fast_output final : public audio_output {
public:
    void write(const int16_t*, size_t, unsigned, unsigned) override {}
};

// Sleeps until the wall clock has caught up with the audio written since the last start or resume.
class silent_output final : public audio_output {
public:
    void write(const int16_t*, size_t frames, unsigned rate, unsigned) override {
        using clock = std::chrono::steady_clock;
        if (frames_ == 0) started_ = clock::now();
        frames_ += frames;
        if (rate == 0) return;
        const auto due = started_ + std::chrono::microseconds(frames_ * 1000000 / rate);
        std::this_thread::sleep_until(due);
    }
    void pause(bool) override { frames_ = 0; }
    void flush() override { frames_ = 0; }

private:
    std::chrono::steady_clock::time_point started_;
    uint64_t frames_ = 0;
};

// The fields of the track playing: its meta and technical fields, its length, file name and path,
// and the playback's own %playback_time% and %ispaused%.
class playing_fields final : public titleformat::field_source {
public:
    playing_fields(const file_info& info, const char* path, double time, bool paused)
        : info_(info), path_(path), time_(time), paused_(paused) {}

    void get_field(std::string_view name, titleformat::field_values& values) const override {
        const std::string key(name);
        if (key == "playback_time") return values.add(titleformat::format_duration(time_));
        if (key == "ispaused") return paused_ ? values.add("1") : void();
        if (key == "length")
            return info_.get_length() > 0 ? values.add(titleformat::format_duration(info_.get_length())) : void();
        if (key == "path") return values.add(path_);
        if (key == "filename") {
            std::string file = file_name_of(path_);
            if (const size_t dot = file.rfind('.'); dot != std::string::npos && dot > 0) file.resize(dot);
            return values.add(file);
        }
        if (const size_t index = info_.meta_find(key.c_str()); index != file_info::npos) {
            for (size_t i = 0; i < info_.meta_enum_value_count(index); ++i) values.add(info_.meta_enum_value(index, i));
            return;
        }
        if (const char* value = info_.info_get(key.c_str())) values.add(value);
    }

private:
    const file_info& info_;
    std::string path_;
    double time_;
    bool paused_;
};

class control_impl : public playback_control {
public:
    explicit control_impl(playback_engine& engine) : engine_(engine) {}
    bool get_now_playing(metadb_handle_ptr& out) override {
        out = engine_.now_playing();
        return static_cast<bool>(out);
    }
    void start(int command, bool paused) override { engine_.start(command, paused); }
    void stop() override { engine_.stop(play_stop_user); }
    bool is_playing() override { return engine_.is_playing(); }
    bool is_paused() override { return engine_.is_paused(); }
    void pause(bool paused) override { engine_.pause(paused); }
    double playback_get_position() override { return engine_.position(); }
    bool playback_format_title(titleformat_hook* hook, zorb::string_base& out,
                               const service_ptr_t<titleformat_object>& pattern, titleformat_text_filter* filter,
                               int) override {
        out.set_string("");
        if (hook != nullptr || filter != nullptr || !pattern) throw zorb::exception_invalid_params();
        std::string text;
        if (!engine_.format_title(pattern, text)) return false;
        out.set_string(text.data(), text.size());
        return true;
    }

private:
    playback_engine& engine_;
};

class manager_impl : public play_callback_manager {
public:
    explicit manager_impl(playback_engine& engine) : engine_(engine) {}
    void register_callback(play_callback* callback, unsigned flags, bool forward_state) override {
        engine_.register_callback(callback, flags, forward_state);
    }
    void unregister_callback(play_callback* callback) override { engine_.unregister_callback(callback); }

private:
    playback_engine& engine_;
};

class capture_impl : public playback_stream_capture {
public:
    explicit capture_impl(playback_engine& engine) : engine_(engine) {}
    void add_callback(playback_stream_capture_callback* callback) override { engine_.add_capture(callback); }
    void remove_callback(playback_stream_capture_callback* callback) override { engine_.remove_capture(callback); }

private:
    playback_engine& engine_;
};

// One of the engine's services; the engine keeps the first reference.
template <typename T>
service_ptr single(playback_engine& engine) {
    return service_ptr(new service_impl_t<T>(engine));
}

}  // namespace

std::unique_ptr<audio_output> make_fast_output() { return std::make_unique<fast_output>(); }
std::unique_ptr<audio_output> make_silent_output() { return std::make_unique<silent_output>(); }

double frames_to_seconds(uint64_t frames, unsigned rate) { return rate ? static_cast<double>(frames) / rate : 0; }

playback_engine::playback_engine(host_api& api, track_cache& tracks)
    : api_(api),
      tracks_(tracks),
      control_(single<control_impl>(*this)),
      manager_(single<manager_impl>(*this)),
      capture_(single<capture_impl>(*this)),
      output_(make_fast_output()) {
    tracks_observer_ = tracks_.add_observer([this](const metadb_handle_list& changed) {
        if (!playing_ || !is_playing()) return;
        for (const metadb_handle_ptr& track : changed)
            if (track.get() == playing_.get())
                return raise(play_callback_flag_edited,
                             [&](play_callback& heard) { heard.on_playback_edited(track.get()); });
    });
}

playback_engine::~playback_engine() {
    tracks_.remove_observer(tracks_observer_);
    close_track();
}

service_ptr playback_engine::control_service() { return control_; }
service_ptr playback_engine::callback_manager_service() { return manager_; }
service_ptr playback_engine::capture_service() { return capture_; }

void playback_engine::set_playlist(const metadb_handle_list& tracks, size_t first) {
    playlist_ = tracks;
    cursor_ = first < tracks.get_count() ? first : 0;
}

void playback_engine::set_output(std::unique_ptr<audio_output> output) {
    output_ = output ? std::move(output) : make_fast_output();
}

void playback_engine::attach_static_callbacks() {
    const size_t count = service_count_t<play_callback_static>(api_);
    for (size_t index = 0; index < count; ++index)
        guarded("play callback creation", [&] {
            auto service = service_create_at_t<play_callback_static>(api_, index);
            if (!service || service->get_callback() == nullptr) return;
            static_callbacks_.push_back(service);
            register_callback(service->get_callback(), service->get_flags(), false);
        });
}

void playback_engine::detach_static_callbacks() {
    for (auto& service : static_callbacks_) unregister_callback(service->get_callback());
    static_callbacks_.clear();
}

template <typename Event>
void playback_engine::raise(unsigned flag, Event&& event) {
    // A callback may unregister itself or another one from within an event: each is asked whether
    // it is still registered just before its call.
    const std::vector<registration> heard = callbacks_;
    for (const registration& each : heard) {
        if ((each.flags & flag) == 0) continue;
        const bool still = std::any_of(callbacks_.begin(), callbacks_.end(),
                                       [&](const registration& r) { return r.callback == each.callback; });
        if (still) guarded("play callback", [&] { event(*each.callback); });
    }
}

void playback_engine::register_callback(play_callback* callback, unsigned flags, bool forward_state) {
    if (callback == nullptr) return;
    unregister_callback(callback);
    callbacks_.push_back({callback, flags});
    if (!forward_state || !is_playing()) return;
    if (flags & play_callback_flag_starting)
        guarded("play callback", [&] { callback->on_playback_starting(play_command_default, paused_); });
    if ((flags & play_callback_flag_new_track) && !opening_)
        guarded("play callback", [&] { callback->on_playback_new_track(playing_.get()); });
    if ((flags & play_callback_flag_pause) && paused_)
        guarded("play callback", [&] { callback->on_playback_pause(true); });
}

void playback_engine::unregister_callback(play_callback* callback) {
    std::erase_if(callbacks_, [&](const registration& each) { return each.callback == callback; });
}

void playback_engine::add_capture(playback_stream_capture_callback* callback) {
    std::lock_guard lock(capture_mutex_);
    if (callback && std::find(captures_.begin(), captures_.end(), callback) == captures_.end())
        captures_.push_back(callback);
}

void playback_engine::remove_capture(playback_stream_capture_callback* callback) {
    std::lock_guard lock(capture_mutex_);
    std::erase(captures_, callback);
}

void playback_engine::deliver_capture(const audio_chunk& chunk) {
    std::lock_guard lock(capture_mutex_);
    const std::vector<playback_stream_capture_callback*> heard = captures_;
    for (playback_stream_capture_callback* callback : heard)
        if (std::find(captures_.begin(), captures_.end(), callback) != captures_.end())
            guarded("playback stream capture", [&] { callback->on_chunk(chunk); });
}

bool playback_engine::next_index(int command, size_t& index) {
    if (playlist_.empty()) return false;
    switch (command) {
        case play_command_default:
            index = std::min(cursor_, playlist_.get_count() - 1);
            return true;
        case play_command_next:
            if (!is_playing()) return next_index(play_command_default, index);
            if (cursor_ + 1 >= playlist_.get_count()) return false;
            index = cursor_ + 1;
            return true;
        case play_command_previous:
            if (!is_playing()) return next_index(play_command_default, index);
            if (cursor_ == 0) return false;
            index = cursor_ - 1;
            return true;
        case play_command_random: {
            static std::minstd_rand random{std::random_device{}()};
            const size_t count = playlist_.get_count();
            if (count == 1) {
                index = 0;
                return true;
            }
            // Another track than the cursor's: one of the count - 1 others.
            index = (cursor_ + 1 + random() % (count - 1)) % count;
            return true;
        }
        default:
            return false;
    }
}

void playback_engine::start(int command, bool paused) {
    size_t index = 0;
    if (!next_index(command, index)) return;
    if (is_playing()) {
        close_track();
        raise(play_callback_flag_stop,
              [](play_callback& heard) { heard.on_playback_stop(play_stop_starting_another); });
    }
    paused_ = paused;
    frames_played_ = 0;
    seconds_played_ = 0;
    output_->flush();
    opening_ = true;
    raise(play_callback_flag_starting, [&](play_callback& heard) { heard.on_playback_starting(command, paused); });
    while (!open_track(index)) {
        // A track that cannot be opened is passed over, as the next one's failure would be.
        if (++index >= playlist_.get_count()) return end_playback(play_stop_eof);
    }
    if (paused_) raise(play_callback_flag_pause, [](play_callback& heard) { heard.on_playback_pause(true); });
}

bool playback_engine::open_track(size_t index) {
    cursor_ = index;
    playing_ = playlist_[index];
    if (!playing_) return false;
    try {
        abort_callback_dummy abort;
        input_registry inputs(api_);
        decoder_ = inputs.open_for_decoding(playing_->get_path(), abort);
        decoder_->initialize(playing_->get_subsong_index(), 0, abort);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s: %s\n", playing_->get_path(), failure.what());
        decoder_.reset();
        return false;
    }
    opening_ = false;
    track_frames_ = 0;
    track_rate_ = 0;
    next_time_event_ = 1;
    raise(play_callback_flag_new_track, [&](play_callback& heard) { heard.on_playback_new_track(playing_.get()); });
    return true;
}

void playback_engine::close_track() {
    decoder_.reset();
    opening_ = false;
}

void playback_engine::end_playback(int reason) {
    abort_callback_dummy abort;
    if (chain_) guarded("DSP chain", [&] { chain_->end_playback(abort); });
    close_track();
    output_->flush();
    paused_ = false;
    raise(play_callback_flag_stop, [&](play_callback& heard) { heard.on_playback_stop(reason); });
}

void playback_engine::stop(int reason) {
    if (is_playing()) end_playback(reason);
}

void playback_engine::pause(bool paused) {
    if (!is_playing() || paused == paused_) return;
    paused_ = paused;
    output_->pause(paused);
    raise(play_callback_flag_pause, [&](play_callback& heard) { heard.on_playback_pause(paused); });
}

double playback_engine::position() const { return is_playing() ? frames_to_seconds(track_frames_, track_rate_) : 0; }

bool playback_engine::format_title(const service_ptr_t<titleformat_object>& pattern, std::string& out) {
    if (!decoder_ || opening_) return false;
    file_info_impl info;
    if (!playing_->get_info(info)) {
        abort_callback_dummy abort;
        guarded("track information", [&] { decoder_->read_info(playing_->get_subsong_index(), info, abort); });
    }
    const titleformat::compiled_pattern* compiled = compiled_pattern_of(*pattern);
    if (compiled == nullptr) throw zorb::exception_invalid_params();
    out = compiled->format(playing_fields(info, playing_->get_path(), position(), paused_));
    return true;
}

bool playback_engine::step() {
    if (!decoder_ || paused_) return false;
    abort_callback_dummy abort;
    bool decoded = false;
    try {
        decoded = decoder_->run(chunk_, abort);
        file_info_impl facts;
        double offset = 0;
        if (decoded && decoder_->poll_stream_info(facts, offset))
            raise(play_callback_flag_dynamic_info,
                  [&](play_callback& heard) { heard.on_playback_dynamic_info(facts); });
        if (decoded && decoder_->poll_track_info(facts, offset))
            raise(play_callback_flag_dynamic_info_track,
                  [&](play_callback& heard) { heard.on_playback_dynamic_info_track(facts); });
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s: %s\n", playing_->get_path(), failure.what());
    }
    if (!decoded) {
        // The track ended (or failed): the next one, or the end of the playlist.
        size_t index = cursor_;
        close_track();
        while (++index < playlist_.get_count())
            if (open_track(index)) return true;
        end_playback(play_stop_eof);
        return false;
    }
    if (chain_) {
        bool kept = false;
        guarded("DSP chain", [&] { kept = run_dsp_chain_on(*chain_, chunk_, 0, abort); });
        if (!kept) return true;
    }
    uint64_t frames = chunk_.get_sample_count();
    bool limit_reached = false;
    if (time_limit_ > 0) {
        // The limit counts what is played, after the DSPs.
        const double left = (time_limit_ - seconds_played_) * chunk_.get_sample_rate();
        const uint64_t allowed = left > 0 ? static_cast<uint64_t>(std::llround(left)) : 0;
        limit_reached = frames >= allowed;
        frames = std::min(frames, allowed);
        chunk_.set_sample_count(static_cast<size_t>(frames));
    }
    if (frames > 0) {
        deliver_capture(chunk_);
        const unsigned channels = chunk_.get_channels();
        pcm_.resize(static_cast<size_t>(frames) * channels);
        samples_to_int16(chunk_.get_data(), pcm_.size(), pcm_.data());
        try {
            output_->write(pcm_.data(), static_cast<size_t>(frames), chunk_.get_sample_rate(), channels);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "minihost: audio output: %s\n", failure.what());
        }
    }
    frames_played_ += frames;
    seconds_played_ += frames_to_seconds(frames, chunk_.get_sample_rate());
    track_frames_ += frames;
    track_rate_ = chunk_.get_sample_rate();
    while (track_rate_ && track_frames_ >= next_time_event_ * track_rate_) {
        const double seconds = static_cast<double>(next_time_event_++);
        raise(play_callback_flag_time, [&](play_callback& heard) { heard.on_playback_time(seconds); });
    }
    if (limit_reached) {
        end_playback(play_stop_user);
        return false;
    }
    return true;
}

}  // namespace minihost
