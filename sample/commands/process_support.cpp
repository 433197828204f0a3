#include "sample/commands/process_support.h"

#include "helpers/client.h"
#include "host/service_lookup.h"

namespace ambrel {

unsigned item_progress(size_t index, size_t count) {
    if (count == 0) return 0;
    return static_cast<unsigned>(uint64_t(index) * threaded_process_status::progress_max / uint64_t(count));
}

void run_process_modeless(service_ptr_t<threaded_process_callback> process, unsigned flags, const char* title) {
    auto service = service_lookup_one_t<threaded_process>(host());
    if (!service->run_modeless(std::move(process), flags, host().get_main_window(), title))
        throw zorb::exception("The host could not start the work");
}

}  // namespace ambrel
