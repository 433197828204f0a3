// The peak scan: decodes every selected track completely on the host's worker thread and reports
// the largest absolute sample value met in any of them.
#pragma once

#include <string>

#include "host/metadb.h"
#include "host/threaded_process.h"

namespace ambrel {

class calculate_peak_process : public threaded_process_callback {
public:
    explicit calculate_peak_process(const metadb_handle_list& tracks) : tracks_(tracks) {}

    void on_init(host_window) override {}
    // Scans the tracks in order; the first failure (the abort included) ends the scan and is kept.
    void run(threaded_process_status& status, abort_callback& abort) override;
    // The result popup, or the failure's; nothing after an abort.
    void on_done(host_window, bool aborted) override;

private:
    void scan(const metadb_handle_ptr& track, threaded_process_status& status, abort_callback& abort);

    float peak_ = 0;
    std::string failure_;
    metadb_handle_list tracks_;
};

constexpr char peak_scan_title[] = "Sample component: peak scan";
// Abort button, both bars, the current item.
constexpr unsigned peak_scan_flags = 0x19;
// The decoder is not asked to seek; the audio is examined, not played.
constexpr unsigned peak_scan_decode_flags = 3;

// Starts the scan of `tracks`; raises zorb::exception_invalid_params for none.
void start_peak_scan(const metadb_handle_list& tracks);

// The secondary progress after `decoded` of `length` seconds: 0 to 5000, the fraction cut off.
unsigned time_progress(double decoded, double length);

// "Value: " and the peak with 7 decimals, then "\n\nScanned items:\n" and a track line each.
std::string peak_report(float peak, const metadb_handle_list& tracks);

}  // namespace ambrel
