// A plain per-frame mixing run written straight from the mixing rules, kept beside the
// tests as the yardstick for the library's span mixer: same arguments, same result.
#pragma once

#include "player_internal.h"

i32 reference_mix_run(module_context* context, u32 flags, void* output, i32 frames);
