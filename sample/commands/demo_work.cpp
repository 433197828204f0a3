#include "sample/commands/demo_work.h"

#include <map>
#include <vector>

#include "helpers/client.h"
#include "helpers/track_text.h"
#include "host/album_art.h"
#include "host/audio_chunk_impl.h"
#include "host/file_info_impl.h"
#include "host/file_lock.h"
#include "host/shared.h"
#include "host/input.h"
#include "sample/commands/demo_text.h"

namespace ambrel {
namespace {

class picture_block final : public mem_block_container {
public:
    void set_size(size_t bytes) override { bytes_.resize(bytes); }
    size_t get_size() const override { return bytes_.size(); }
    void* get_ptr() override { return bytes_.data(); }

private:
    std::vector<unsigned char> bytes_;
};

// Every report is also an abort point: nothing is handed on once the abort is set.
class checked_reporter {
public:
    checked_reporter(abort_callback& abort, demo_reporter& report) : abort_(abort), report_(report) {}
    void clear() {
        abort_.check();
        report_.clear();
    }
    void line(const std::string& text) {
        abort_.check();
        report_.line(text);
    }
    void finished() {
        abort_.check();
        report_.finished();
    }

private:
    abort_callback& abort_;
    demo_reporter& report_;
};

void report_pictures(const std::string& path, abort_callback& abort, checked_reporter& post) {
    struct kind {
        GUID id;
        const char* found;
    };
    static const kind kinds[] = {{album_art_ids::cover_front, "Album art: front cover found"},
                                 {album_art_ids::cover_back, "Album art: back cover found"},
                                 {album_art_ids::artist, "Album art: artist picture found"}};
    try {
        service_ptr_t<album_art_extractor_instance> extractor = album_art_extractor::g_open(host(), path, abort);
        for (const kind& each : kinds) {
            picture_block picture;
            extractor->query(each.id, picture, abort);
            post.line(each.found);
        }
    } catch (const exception_album_art_unsupported_format&) {
    } catch (const exception_album_art_not_found&) {
    }
}

void examine(const metadb_handle_ptr& track, abort_callback& abort, checked_reporter& post) {
    if (!track) throw velmora_io::exception_io_not_found();
    const std::string path = track->get_path();
    const uint32_t subsong = track->get_subsong_index();

    service_ptr read_lock;
    if (service_ptr_t<file_lock_manager> locks; service_try_lookup_one_t(host(), locks))
        read_lock = locks->acquire(path.c_str(), file_lock_manager::mode_read, abort);
    service_ptr_t<input_decoder> decoder;
    {
        uCallStackTracker tracker("input_entry::g_open_for_decoding");
        decoder = input_lookup::open_for_decoding(host(), path, abort);
    }

    file_info_impl info;
    decoder->read_info(subsong, info, abort);
    const size_t title = info.meta_find("title");
    if (title != file_info::npos && info.meta_enum_value_count(title) > 0)
        post.line(std::string("Title: ") + info.meta_enum_value(title, 0));
    else
        post.line("Untitled");
    if (info.get_length() > 0) post.line("Duration: " + exact_time_text(info.get_length()));

    const file_stats stats = decoder->query_file_stats(abort);
    if (stats.size != UINT64_MAX) post.line("Size: " + size_text(stats.size));
    if (stats.timestamp != 0) post.line("Last modified: " + local_time_text(stats.timestamp));

    decoder->initialize(subsong, input_flag_no_seeking | input_flag_analysis, abort);
    audio_chunk_impl chunk;
    uint64_t chunks = 0, samples = 0;
    std::map<unsigned, uint64_t> samples_by_rate;
    // Inputs that never end (a module played round and round) stop here when the user cancels.
    for (;;) {
        abort.check();
        if (!decoder->run(chunk, abort)) break;
        if (chunks == 0) {
            post.line("Audio sample rate: " + std::to_string(chunk.get_sample_rate()));
            post.line("Audio channels: " + channel_description(chunk.get_channel_config()));
        }
        ++chunks;
        samples += chunk.get_sample_count();
        if (chunk.get_sample_rate() != 0 && chunk.get_sample_count() != 0)
            samples_by_rate[chunk.get_sample_rate()] += chunk.get_sample_count();
    }
    post.line("Decoded " + std::to_string(chunks) + " chunks");
    double seconds = 0;
    for (const auto& [rate, count] : samples_by_rate) seconds += double(count) / rate;
    post.line("Exact duration decoded: " + exact_time_text(seconds) + ", " + std::to_string(samples) + " samples");

    report_pictures(path, abort, post);
}

}  // namespace

void run_demo_work(const metadb_handle_list& tracks, abort_callback& abort, demo_reporter& report) {
    checked_reporter post(abort, report);
    try {
        try {
            post.clear();
            for (const metadb_handle_ptr& track : tracks) {
                abort.check();
                post.line("Track: " + track_line(track));
                try {
                    examine(track, abort, post);
                } catch (const velmora_io::exception_aborted&) {
                    throw;
                } catch (const std::exception& failure) {
                    post.line(std::string("Failure: ") + failure.what());
                }
            }
            post.line("All done.");
        } catch (const velmora_io::exception_aborted&) {
            throw;
        } catch (const std::exception& failure) {
            post.line(std::string("Critical error: ") + failure.what());
        }
        post.finished();
    } catch (const velmora_io::exception_aborted&) {
    } catch (...) {
        // A report that could not be handed on: nobody is left to tell.
    }
}

}  // namespace ambrel
