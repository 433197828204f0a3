// The host's digest service: MD5 digests of byte sequences, through the system's cryptography.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/service.h"

// A 16-byte digest.
struct digest_value {
    uint8_t bytes[16];
};

// One digest in progress: bytes in, 16 bytes out. One thread at a time; a created object, released
// by its last reference.
class hasher_md5_state : public service_base {
public:
    static constexpr GUID class_guid = {0xB21F2108, 0x9F5D, 0x4BF2, {0x8D, 0xBD, 0x97, 0xC5, 0xC9, 0xFE, 0xD2, 0x5A}};
    using parent_t = service_base;

    // Feeds `size` bytes. Raises zorb::exception when the system fails, or when called after finish.
    virtual void process(const void* data, size_t size) = 0;
    // The digest of everything fed; the state is spent afterwards. Raises as process.
    virtual digest_value finish() = 0;
};

// A singleton of the host; any thread.
class hasher_md5 : public service_base {
public:
    static constexpr GUID class_guid = {0x4B897EC8, 0xA2F9, 0x478D, {0xA9, 0x5E, 0x1A, 0x21, 0x10, 0xA4, 0x00, 0x78}};
    using parent_t = service_base;

    // A fresh state, with one reference owned by the caller. Raises zorb::exception when the
    // system's cryptography is not available.
    virtual service_ptr_t<hasher_md5_state> create_state() = 0;

    // The digest of one block of bytes.
    digest_value process_single(const void* data, size_t size) {
        service_ptr_t<hasher_md5_state> state = create_state();
        state->process(data, size);
        return state->finish();
    }

    // A digest used as a GUID: its 16 bytes as the GUID's bytes in memory.
    static GUID as_guid(const digest_value& digest) {
        GUID guid;
        std::memcpy(&guid, digest.bytes, sizeof guid);
        return guid;
    }
};
