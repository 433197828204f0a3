// "Loop modules for ever": whether the module input plays a song round and round until the host
// stops it (no length, no seeking), or plays its first pass once, with a length and seeking. The
// advanced setting and the preferences page show and change the same variable; the input reads it
// when it opens a file, so a change holds for the files opened after it.
#pragma once

#include <cstdint>

#include "helpers/advconfig_impl.h"
#include "helpers/config_records.h"

namespace ambrel {

constexpr GUID guid_cfg_loop_modules = {0x50D729FD, 0x9BEF, 0x4A43, {0x8E, 0x86, 0x0C, 0x39, 0xC9, 0x74, 0x13, 0xDC}};
constexpr char loop_modules_name[] = "Loop modules for ever";
constexpr bool default_loop_modules = true;

// One byte: 1 on, 0 off. Defined with the service factories, in the component's creation order.
extern config_value_t<uint8_t> cfg_loop_modules;

inline bool modules_loop_forever() { return cfg_loop_modules.get() != 0; }

// The check box in the component's advanced-settings branch.
class advconfig_loop_modules : public advconfig_checkbox_impl {
public:
    advconfig_loop_modules();
};

}  // namespace ambrel
