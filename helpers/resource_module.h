// The module that holds the component's dialog templates: the DLL itself (or the executable a test
// links the component into).
#pragma once

namespace ambrel {

// The HINSTANCE of the module this code was linked into.
void* resource_module();

}  // namespace ambrel
