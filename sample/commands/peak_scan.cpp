#include "sample/commands/peak_scan.h"

#include "helpers/client.h"
#include "helpers/popup.h"
#include "helpers/track_text.h"
#include "host/audio_chunk_impl.h"
#include "host/file_info_impl.h"
#include "host/input.h"
#include "host/shared.h"
#include "sample/commands/process_support.h"
#include "zorb/text_format.h"

namespace ambrel {

void calculate_peak_process::run(threaded_process_status& status, abort_callback& abort) {
    try {
        for (size_t i = 0; i < tracks_.get_count(); ++i) {
            abort.check();
            status.set_progress(item_progress(i, tracks_.get_count()));
            status.set_progress_secondary(0);
            scan(tracks_[i], status, abort);
        }
    } catch (const std::exception& failure) {
        failure_ = failure.what();
    }
}

void calculate_peak_process::scan(const metadb_handle_ptr& track, threaded_process_status& status,
                                  abort_callback& abort) {
    if (!track) throw velmora_io::exception_io_not_found();
    status.set_item_path(track->get_path());
    service_ptr_t<input_decoder> decoder = input_lookup::open_for_decoding(host(), track->get_path(), abort);
    decoder->initialize(track->get_subsong_index(), peak_scan_decode_flags, abort);
    file_info_impl info;
    const double length = track->get_info(info) ? info.get_length() : 0;
    double decoded = 0;
    audio_chunk_impl chunk;
    for (;;) {
        bool more;
        {
            uCallStackTracker tracker("input_decoder::run");
            more = decoder->run(chunk, abort);
        }
        if (!more) break;
        const float chunk_peak =
            audio_math::calculate_peak(chunk.get_data(), chunk.get_sample_count() * chunk.get_channels());
        peak_ = peak_ > chunk_peak ? peak_ : chunk_peak;
        if (length > 0) {
            const double frames = static_cast<double>(chunk.get_sample_count());
            const double rate = chunk.get_sample_rate();
            if (frames > 0 && rate > 0) decoded += frames / rate;
            if (decoded > length) decoded = length;
            status.set_progress_secondary(time_progress(decoded, length));
        }
        abort.check();
    }
}

void calculate_peak_process::on_done(host_window, bool aborted) {
    if (aborted) return;
    if (!failure_.empty())
        popup_message_show("Peak scan failure: " + failure_, "Information", popup_icon_error);
    else
        popup_message_show(peak_report(peak_, tracks_), "Peak scan result", popup_icon_information);
}

void start_peak_scan(const metadb_handle_list& tracks) {
    if (tracks.empty()) throw zorb::exception_invalid_params();
    run_process_modeless(service_ptr_t<threaded_process_callback>(new service_impl_t<calculate_peak_process>(tracks)),
                         peak_scan_flags, peak_scan_title);
}

unsigned time_progress(double decoded, double length) {
    const double ratio = decoded / length;
    if (ratio < 0) return 0;
    if (ratio >= 1) return threaded_process_status::progress_max;
    return static_cast<unsigned>(ratio * threaded_process_status::progress_max);
}

std::string peak_report(float peak, const metadb_handle_list& tracks) {
    std::string report = "Value: " + zorb::format_fixed(peak, 7) + "\n\nScanned items:\n";
    for (const metadb_handle_ptr& track : tracks) report += track_line(track) + "\n";
    return report;
}

}  // namespace ambrel
