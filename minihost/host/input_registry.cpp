#include "minihost/host/input_registry.h"

#include <vector>

#include "host/service_lookup.h"

namespace minihost {

std::string extension_of(const std::string& path) {
    const size_t name_start = path.find_last_of("\\/|");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (name_start != std::string::npos && dot < name_start)) return {};
    return path.substr(dot + 1);
}

service_ptr_t<input_entry> input_registry::find(const std::string& path) {
    const std::string extension = extension_of(path);
    std::vector<service_ptr_t<input_entry>> last_resorts;
    const size_t count = service_count_t<input_entry>(api_);
    for (size_t index = 0; index < count; ++index) {
        service_ptr_t<input_entry> input = service_create_at_t<input_entry>(api_, index);
        if (!input) continue;
        if (auto versioned = input.query_as<input_entry_v2>(); versioned && versioned->is_last_resort()) {
            last_resorts.push_back(input);
            continue;
        }
        if (input->accepts_path(path.c_str(), extension.c_str())) return input;
    }
    for (auto& input : last_resorts)
        if (input->accepts_path(path.c_str(), extension.c_str())) return input;
    throw velmora_io::exception_io_unsupported_format();
}

service_ptr_t<input_decoder> input_registry::open_for_decoding(const std::string& path, abort_callback& abort) {
    service_ptr_t<input_decoder> decoder;
    find(path)->open_for_decoding(decoder, {}, path.c_str(), abort);
    return decoder;
}

service_ptr_t<input_info_reader> input_registry::open_for_info_read(const std::string& path, abort_callback& abort) {
    service_ptr_t<input_info_reader> reader;
    find(path)->open_for_info_read(reader, {}, path.c_str(), abort);
    return reader;
}

service_ptr_t<input_info_writer> input_registry::open_for_info_write(const std::string& path, abort_callback& abort) {
    service_ptr_t<input_info_writer> writer;
    find(path)->open_for_info_write(writer, {}, path.c_str(), abort);
    return writer;
}

std::string input_name(const service_ptr_t<input_entry>& input) {
    if (auto versioned = input.query_as<input_entry_v2>()) return versioned->get_name();
    return "unnamed input";
}

}  // namespace minihost
