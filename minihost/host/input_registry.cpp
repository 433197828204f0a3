#include "minihost/host/input_registry.h"

namespace minihost {

std::string extension_of(const std::string& path) { return input_lookup::extension_of(path); }

service_ptr_t<input_entry> input_registry::find(const std::string& path) { return input_lookup::find(api_, path); }

service_ptr_t<input_decoder> input_registry::open_for_decoding(const std::string& path, abort_callback& abort) {
    return input_lookup::open_for_decoding(api_, path, abort);
}

service_ptr_t<input_info_reader> input_registry::open_for_info_read(const std::string& path, abort_callback& abort) {
    return input_lookup::open_for_info_read(api_, path, abort);
}

service_ptr_t<input_info_writer> input_registry::open_for_info_write(const std::string& path, abort_callback& abort) {
    return input_lookup::open_for_info_write(api_, path, abort);
}

std::string input_name(const service_ptr_t<input_entry>& input) {
    if (auto versioned = input.query_as<input_entry_v2>()) return versioned->get_name();
    return "unnamed input";
}

}  // namespace minihost
