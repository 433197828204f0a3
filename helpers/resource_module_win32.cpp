#include "helpers/resource_module.h"

#include <windows.h>

namespace ambrel {

void* resource_module() {
    HMODULE module = nullptr;
    // The module that contains this very function; no reference is taken, the module outlives the call.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&resource_module), &module);
    return module;
}

}  // namespace ambrel
