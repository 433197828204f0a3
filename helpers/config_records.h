// Configuration variables and the GUID-tagged records in which the host keeps them.
//
// A record is the variable's GUID, the length of its data and the data (host/guid_records.h). The parser never trusts
// the stream: damaged or unknown records are skipped, and one variable's failure leaves the others' records intact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "host/abort.h"
#include "host/guid.h"
#include "host/memory_stream.h"

class config_variable;

// Variables of one module, in reverse creation order (each links itself at the head).
struct config_variable_list {
    config_variable* head = nullptr;  // null when the module has no variable
};

// The component's own variables; created on first use so that variables defined at static
// initialisation in any file can join it.
config_variable_list& component_config_variables();

class config_variable {
public:
    config_variable(const config_variable&) = delete;
    config_variable& operator=(const config_variable&) = delete;

    const GUID& guid() const { return guid_; }
    config_variable* next() const { return next_; }

    // Writes the variable's data, without the record header.
    virtual void write_data(stream_writer& out, abort_callback& abort) = 0;
    // Reads the data of one record; `in` ends with the record, `size` bytes in all. The variable
    // may read less; the rest is skipped. A failure leaves the other variables unaffected.
    virtual void read_data(stream_reader& in, size_t size, abort_callback& abort) = 0;

protected:
    config_variable(const GUID& guid, config_variable_list& list) : guid_(guid), next_(list.head) { list.head = this; }
    ~config_variable() = default;

private:
    GUID guid_;
    config_variable* next_;
};

// A variable holding one trivially copyable value, stored as its bytes. A record too short for
// the value leaves the value as it was rather than half-filled.
template <typename T>
class config_value_t final : public config_variable {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    config_value_t(const GUID& guid, T initial, config_variable_list& list = component_config_variables())
        : config_variable(guid, list), value_(initial) {}

    T get() const { return value_; }
    void set(T value) { value_ = value; }

    void write_data(stream_writer& out, abort_callback& abort) override { out.write(&value_, sizeof value_, abort); }
    void read_data(stream_reader& in, size_t, abort_callback& abort) override {
        T value;
        if (in.read(&value, sizeof value, abort) == sizeof value) value_ = value;
    }

private:
    T value_;
};

// Writes a record for every variable of `list`. A variable that fails while producing its data
// gets no record (it falls back to its initial value at the next start) and the others are still
// written; an abort and failures of `out` pass on.
void config_records_write(const config_variable_list& list, stream_writer& out, abort_callback& abort);

// Reads the whole stream and hands its records to the variables of `list`.
void config_records_read(const config_variable_list& list, stream_reader& in, abort_callback& abort);

// The record parser itself, over bytes in memory. A record whose length field or data runs past the
// end is dropped and ends the parse.
void config_records_parse(const config_variable_list& list, const uint8_t* data, size_t size, abort_callback& abort);
