// Configuration records from any bytes: the parser must neither crash nor read out of bounds,
// and whatever the variables took must survive a write and a second read unchanged.
#include <cstdlib>
#include <stdexcept>

#include "helpers/config_records.h"

namespace {

constexpr GUID value_guid = {0x00000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr GUID bytes_guid = {0x00000002, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr GUID picky_guid = {0x00000003, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Keeps its record's bytes, as much as it is given.
class bytes_variable final : public config_variable {
public:
    bytes_variable(const GUID& guid, config_variable_list& list) : config_variable(guid, list) {}
    void write_data(stream_writer& out, abort_callback& abort) override {
        out.write(bytes.data(), bytes.size(), abort);
    }
    void read_data(stream_reader& in, size_t size, abort_callback& abort) override {
        std::vector<uint8_t> data(size);
        if (in.read(data.data(), size, abort) != size) std::abort();  // the record was promised whole
        bytes = data;
    }
    std::vector<uint8_t> bytes;
};

// Reads a byte at a time and gives up on a zero, keeping nothing.
class picky_variable final : public config_variable {
public:
    picky_variable(const GUID& guid, config_variable_list& list) : config_variable(guid, list) {}
    void write_data(stream_writer& out, abort_callback& abort) override { out.write(&sum, sizeof sum, abort); }
    void read_data(stream_reader& in, size_t, abort_callback& abort) override {
        uint32_t total = 0;
        uint8_t byte;
        while (in.read(&byte, 1, abort) == 1) {
            if (byte == 0) throw std::runtime_error("zero");
            total += byte;
        }
        sum = total;
    }
    uint32_t sum = 0;
};

struct variables {
    config_variable_list list;
    config_value_t<uint32_t> value{value_guid, 7, list};
    bytes_variable bytes{bytes_guid, list};
    picky_variable picky{picky_guid, list};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    abort_callback_dummy abort;
    variables first;
    config_records_parse(first.list, data, size, abort);

    memory_stream_writer written;
    config_records_write(first.list, written, abort);
    variables second;
    second.picky.sum = 1;  // the written sum is read back through the byte-wise reader only when non-zero
    config_records_parse(second.list, written.bytes().data(), written.bytes().size(), abort);
    if (second.value.get() != first.value.get() || second.bytes.bytes != first.bytes.bytes) std::abort();
    return 0;
}
