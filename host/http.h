// The host's web client: HTTP requests whose responses read like files.
#pragma once

#include "host/abort.h"
#include "host/filesystem.h"
#include "host/service.h"

// One request; a created object, one thread at a time.
class http_request : public service_base {
public:
    static constexpr GUID class_guid = {0xC2000B7C, 0x7717, 0x433B, {0xBA, 0xFA, 0x61, 0xB9, 0x67, 0x01, 0xD4, 0x66}};
    using parent_t = service_base;

    // Adds a header line `name: value` to the request. Raises nothing.
    virtual void add_header(const char* name, const char* value) = 0;
    // Sends the request to `url` (http or https, UTF-8) and waits for the whole response. Returns
    // its body as a file open for reading, with one reference owned by the caller. Raises
    // velmora_io::exception_io with the system's message when the request cannot be made or
    // answered, with the status line when the server answers 400 or above, and
    // velmora_io::exception_aborted when `abort` asks (polled between the steps of the exchange).
    virtual service_ptr_t<file> run(const char* url, abort_callback& abort) = 0;
};

// A singleton of the host; any thread.
class http_client : public service_base {
public:
    static constexpr GUID class_guid = {0x3B5FFE0C, 0xD75A, 0x491E, {0xBB, 0x6F, 0x10, 0x3F, 0x73, 0x1E, 0x81, 0x84}};
    using parent_t = service_base;

    // A new request with the method `method` ("GET", "HEAD", ...), one reference owned by the
    // caller. Raises nothing.
    virtual service_ptr_t<http_request> create_request(const char* method) = 0;
};
