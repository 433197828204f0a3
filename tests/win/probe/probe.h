// Services of ambrel_probe.dll: the component's core with a few services that let tests look at
// the component from the host's side of the DLL boundary.
#pragma once

#include "host/service.h"

// A created (reference-counted) service that tells how many of its objects are alive.
class probe_counted : public service_base {
public:
    static constexpr GUID class_guid = {0x13C55F04, 0xC044, 0x4434, {0x9F, 0x36, 0x6E, 0xEA, 0x2B, 0x1B, 0xD4, 0xA2}};
    using parent_t = service_base;

    virtual int live_objects() = 0;
};

// Runs the component's service lookups inside the DLL, so their failures cross the boundary.
class probe_lookups : public service_base {
public:
    static constexpr GUID class_guid = {0x5076F02C, 0x30FB, 0x4544, {0xA7, 0x83, 0x65, 0xC1, 0xCF, 0x2D, 0xD2, 0x00}};
    using parent_t = service_base;

    // service_lookup_one_t for the console receiver: raises when there is not exactly one.
    virtual void lookup_console() = 0;
    // The tolerant twin: true when exactly one console receiver is registered.
    virtual bool try_lookup_console() = 0;
};
