#include "minihost/host/metadb_io.h"

#include <string>
#include <vector>

#include "host/file_info_impl.h"
#include "host/file_lock.h"
#include "host/service_lookup.h"
#include "minihost/host/input_registry.h"

namespace minihost {
namespace {

struct kept_hint {
    metadb_handle_ptr track;
    file_info_impl info;
    file_stats stats;
};

class hint_list_impl : public metadb_hint_list {
public:
    explicit hint_list_impl(track_cache& tracks) : tracks_(tracks) {}
    void add_hint(const metadb_handle_ptr& track, const file_info& info, const file_stats& stats, bool) override {
        hints_.push_back({track, file_info_impl(info), stats});
    }
    void on_done() override {
        std::vector<kept_hint> handed;
        handed.swap(hints_);
        for (const kept_hint& hint : handed) tracks_.update(hint.track, hint.info, &hint.stats);
    }

private:
    track_cache& tracks_;
    std::vector<kept_hint> hints_;
};

// One file of an update and its tracks, in the order the list first names them.
struct file_tracks {
    std::string path;
    std::vector<metadb_handle_ptr> tracks;
};

class tag_update_process : public threaded_process_callback {
public:
    tag_update_process(host_api& api, track_cache& tracks, popup_router& popups, const metadb_handle_list& list,
                       service_ptr_t<file_info_filter> filter, unsigned flags, service_ptr_t<completion_notify> notify)
        : api_(api),
          tracks_(tracks),
          popups_(popups),
          filter_(std::move(filter)),
          flags_(flags),
          notify_(std::move(notify)) {
        for (const metadb_handle_ptr& track : list) {
            if (!track) continue;
            auto same = std::find_if(files_.begin(), files_.end(),
                                     [&](const file_tracks& file) { return file.path == track->get_path(); });
            if (same == files_.end()) same = files_.insert(files_.end(), {track->get_path(), {}});
            same->tracks.push_back(track);
        }
    }

    void on_init(host_window) override {}

    void run(threaded_process_status& status, abort_callback& abort) override {
        auto locks = service_lookup_one_t<file_lock_manager>(api_);
        for (size_t i = 0; i < files_.size(); ++i) {
            abort.check();
            status.set_progress(
                static_cast<unsigned>(uint64_t(i) * threaded_process_status::progress_max / files_.size()));
            status.set_item_path(files_[i].path.c_str());
            try {
                update_file(*locks, files_[i], abort);
            } catch (const velmora_io::exception_aborted&) {
                throw;
            } catch (const std::exception& failure) {
                failures_ += files_[i].path + ": " + failure.what() + "\n";
            }
        }
    }

    void on_done(host_window, bool aborted) override {
        for (const kept_hint& read : read_back_) tracks_.update(read.track, read.info, &read.stats);
        const unsigned code = aborted             ? metadb_io_v2::update_result_aborted
                              : failures_.empty() ? metadb_io_v2::update_result_success
                                                  : metadb_io_v2::update_result_failure;
        if (code == metadb_io_v2::update_result_failure && !(flags_ & metadb_io_v2::op_flag_no_errors))
            popups_.show("Tag update", "Could not update the tags of:\n" + failures_, popup_icon_error);
        if (notify_) notify_->on_completion(code);
    }

private:
    void update_file(file_lock_manager& locks, const file_tracks& file, abort_callback& abort) {
        const service_ptr lock = locks.acquire(file.path.c_str(), file_lock_manager::mode_write, abort);
        input_registry inputs(api_);
        bool changed = false;
        {
            service_ptr_t<input_info_writer> writer = inputs.open_for_info_write(file.path, abort);
            const file_stats stats = writer->query_file_stats(abort);
            for (const metadb_handle_ptr& track : file.tracks) {
                file_info_impl info;
                writer->read_info(track->get_subsong_index(), info, abort);
                if (!filter_->apply_filter(track, stats, info)) continue;
                writer->write_info(track->get_subsong_index(), info, abort);
                changed = true;
            }
            abort_callback_dummy never;  // a commit is not stopped half way
            if (changed) writer->finish_write(never);
        }
        if (!changed) return;
        service_ptr_t<input_info_reader> reader = inputs.open_for_info_read(file.path, abort);
        const file_stats written = reader->query_file_stats(abort);
        for (const metadb_handle_ptr& track : file.tracks) {
            kept_hint read{track, {}, written};
            reader->read_info(track->get_subsong_index(), read.info, abort);
            read_back_.push_back(std::move(read));
        }
    }

    host_api& api_;
    track_cache& tracks_;
    popup_router& popups_;
    service_ptr_t<file_info_filter> filter_;
    unsigned flags_;
    service_ptr_t<completion_notify> notify_;
    std::vector<file_tracks> files_;
    // Written by the worker, read in on_done after it.
    std::vector<kept_hint> read_back_;
    std::string failures_;
};

class metadb_io_impl : public metadb_io_v2 {
public:
    metadb_io_impl(host_api& api, track_cache& tracks, process_runner& runner, popup_router& popups)
        : api_(api), tracks_(tracks), runner_(runner), popups_(popups) {}

    service_ptr_t<metadb_hint_list> create_hint_list() override {
        return service_ptr_t<metadb_hint_list>(new service_impl_t<hint_list_impl>(tracks_));
    }

    void update_info_async(const metadb_handle_list& tracks, service_ptr_t<file_info_filter> filter, host_window parent,
                           unsigned flags, service_ptr_t<completion_notify> notify) override {
        if (!filter) throw zorb::exception_invalid_params();
        unsigned shown = 0;
        if (!(flags & op_flag_background))
            shown = threaded_process::flag_show_abort | threaded_process::flag_show_progress |
                    threaded_process::flag_show_item |
                    (flags & op_flag_delay_ui ? threaded_process::flag_show_delayed : 0);
        service_ptr_t<threaded_process_callback> process(new service_impl_t<tag_update_process>(
            api_, tracks_, popups_, tracks, std::move(filter), flags, std::move(notify)));
        if (!runner_.start(process, shown, parent, tag_update_title, false))
            throw zorb::exception("Cannot start a thread for the tag update");
    }

private:
    host_api& api_;
    track_cache& tracks_;
    process_runner& runner_;
    popup_router& popups_;
};

}  // namespace

service_ptr make_metadb_io(host_api& api, track_cache& tracks, process_runner& runner, popup_router& popups) {
    return service_ptr(new service_impl_t<metadb_io_impl>(api, tracks, runner, popups));
}

}  // namespace minihost
