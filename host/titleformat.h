// Title formatting as a host service: patterns compiled by the host and run over tracks, and the
// fields that components publish for every pattern.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/metadb.h"
#include "host/records.h"
#include "host/service.h"
#include "zorb/string.h"

// A compiled pattern, immutable: any thread, several at once. A created object.
class titleformat_object : public service_base {
public:
    static constexpr GUID class_guid = {0x2C0B0F55, 0x1D3E, 0x4A7C, {0x8E, 0x61, 0x5B, 0x40, 0x97, 0xC2, 0xAE, 0x13}};
    using parent_t = service_base;

    // The pattern over the track at `location` with the information record `info` (null: none):
    // meta, technical and location fields only. Raises nothing of its own.
    virtual void run_info(const playable_location& location, const file_info* info, zorb::string_base& out) = 0;
    // The pattern over `track` as the host holds it, the components' display fields included.
    // Raises what a display field provider raises.
    virtual void run_track(const metadb_handle_ptr& track, zorb::string_base& out) = 0;
};

// The compiler, a singleton of the host; any thread.
class titleformat_compiler : public service_base {
public:
    static constexpr GUID class_guid = {0x3F7674AB, 0x044C, 0x4796, {0x88, 0x01, 0x6C, 0x44, 0x3C, 0x24, 0x4D, 0x88}};
    using parent_t = service_base;

    // Compiles `pattern` (UTF-8). Raises zorb::exception naming what is wrong and its position.
    virtual void compile(service_ptr_t<titleformat_object>& out, const char* pattern) = 0;
};

// Where a display field provider writes a field's value.
class titleformat_text_out {
public:
    // `input_type` tells what kind of text it is; the host treats every kind as plain text.
    virtual void write(const GUID& input_type, const char* text, size_t length) = 0;
    virtual void write_int(const GUID& input_type, int64_t value) = 0;

protected:
    ~titleformat_text_out() = default;
};

// The kind of text that display fields write.
constexpr GUID titleformat_inputtypes_meta = {
    0xCD839C8E, 0x5C66, 0x4AE1, {0x8D, 0xAD, 0x71, 0x1F, 0x86, 0x00, 0x0A, 0xE3}};

// Fields that a component publishes for every pattern the host runs over a track. Any thread.
class metadb_display_field_provider : public service_base {
public:
    static constexpr GUID class_guid = {0x6A3B0F42, 0x27C9, 0x4D15, {0xB8, 0x0E, 0x94, 0x1C, 0x5F, 0x73, 0xD2, 0x6E}};
    using parent_t = service_base;

    virtual uint32_t get_field_count() = 0;
    // Field names compare without regard to case.
    virtual void get_field_name(uint32_t index, zorb::string_base& out) = 0;
    // Writes the field's value for `track`: true, or false when it has none.
    virtual bool process_field(uint32_t index, const metadb_handle_ptr& track, titleformat_text_out& out) = 0;
};
