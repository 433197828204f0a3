// Shared by the format loaders; not part of the library's public face.
#pragma once

#include "module.h"

// Releases every song block of the context exactly as module_free does, but
// without looking at `loaded`: a loader that fails half-way calls it so that
// the record is left empty with all four array pointers null. The channel
// records start over as in a zeroed record.
void module_release_song(module_context* context);
