// How the host picks an input for a path and opens its instances.
#pragma once

#include <string>

#include "host/host_api.h"
#include "host/input.h"

namespace minihost {

// The extension as the host hands it to accepts_path: what follows the last dot of the path's
// file name (after its last \, / or |), without the dot; empty when the name has no dot.
std::string extension_of(const std::string& path);

// The input services of a started host. Inputs are asked in list order, those that call
// themselves a last resort after all others.
class input_registry {
public:
    explicit input_registry(host_api& api) : api_(api) {}

    // The first input that accepts `path`; raises exception_io_unsupported_format when none does.
    service_ptr_t<input_entry> find(const std::string& path);

    // An instance on `path` through the input that accepts it. The input's own failures pass on.
    service_ptr_t<input_decoder> open_for_decoding(const std::string& path, abort_callback& abort);
    service_ptr_t<input_info_reader> open_for_info_read(const std::string& path, abort_callback& abort);
    service_ptr_t<input_info_writer> open_for_info_write(const std::string& path, abort_callback& abort);

private:
    host_api& api_;
};

// The name an input gives itself (input_entry_v2), or "unnamed input".
std::string input_name(const service_ptr_t<input_entry>& input);

}  // namespace minihost
