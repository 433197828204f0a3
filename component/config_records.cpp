#include "component/config_records.h"

#include <algorithm>

namespace {

constexpr size_t length_field_size = 4;

uint32_t read_le32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

config_variable* find_variable(const config_variable_list& list, const GUID& guid) {
    for (config_variable* variable = list.head; variable; variable = variable->next())
        if (variable->guid() == guid) return variable;
    return nullptr;
}

}  // namespace

config_variable_list& component_config_variables() {
    static config_variable_list list;
    return list;
}

void config_records_write(const config_variable_list& list, stream_writer& out, abort_callback& abort) {
    for (config_variable* variable = list.head; variable; variable = variable->next()) {
        memory_stream_writer data;
        try {
            variable->write_data(data, abort);
        } catch (const velmora_io::exception_aborted&) {
            throw;
        } catch (...) {
            continue;
        }
        uint8_t header[host_guid::record_size + length_field_size];
        host_guid::to_bytes(variable->guid(), header);
        const auto length = uint32_t(data.bytes().size());
        for (size_t i = 0; i < length_field_size; ++i) header[host_guid::record_size + i] = uint8_t(length >> (8 * i));
        out.write(header, sizeof header, abort);
        if (length) out.write(data.bytes().data(), length, abort);
    }
}

void config_records_parse(const config_variable_list& list, const uint8_t* data, size_t size, abort_callback& abort) {
    size_t position = 0;
    while (size - position >= host_guid::record_size) {
        const GUID guid = host_guid::from_bytes(data + position);
        position += host_guid::record_size;
        if (size - position < length_field_size) return;
        const uint32_t length = read_le32(data + position);
        position += length_field_size;
        // A record cut short was damaged on its way; its variable keeps its value instead of
        // taking half of one.
        if (length > size - position) return;
        if (config_variable* variable = find_variable(list, guid)) {
            memory_stream_reader record(data + position, length);
            try {
                variable->read_data(record, length, abort);
            } catch (const velmora_io::exception_aborted&) {
                throw;
            } catch (...) {
                // The variable keeps whatever it made of its record; the other records still count.
            }
        }
        position += length;
    }
}

void config_records_read(const config_variable_list& list, stream_reader& in, abort_callback& abort) {
    std::vector<uint8_t> data;
    constexpr size_t chunk = 64 * 1024;
    for (;;) {
        const size_t used = data.size();
        data.resize(used + chunk);
        const size_t got = in.read(data.data() + used, chunk, abort);
        data.resize(used + got);
        if (got < chunk) break;
    }
    config_records_parse(list, data.data(), data.size(), abort);
}
