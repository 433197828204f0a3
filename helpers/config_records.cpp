#include "helpers/config_records.h"

#include "host/guid_records.h"

namespace {

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
        uint8_t header[host_guid::record_header_size];
        const auto length = static_cast<uint32_t>(data.bytes().size());
        host_guid::record_header(variable->guid(), length, header);
        out.write(header, sizeof header, abort);
        if (length) out.write(data.bytes().data(), length, abort);
    }
}

void config_records_parse(const config_variable_list& list, const uint8_t* data, size_t size, abort_callback& abort) {
    size_t position = 0;
    host_guid::record_view record;
    // A record cut short was damaged on its way and ends the parse: its variable keeps its value
    // instead of taking half of one.
    while (host_guid::next_record(data, size, position, record)) {
        if (config_variable* variable = find_variable(list, record.guid)) {
            memory_stream_reader in(record.data, record.length);
            try {
                variable->read_data(in, record.length, abort);
            } catch (const velmora_io::exception_aborted&) {
                throw;
            } catch (...) {
                // The variable keeps whatever it made of its record; the other records still count.
            }
        }
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
