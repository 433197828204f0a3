#include "minihost/host/modeless_dialogs.h"

namespace minihost {

bool modeless_registry::dispatch(void*) const { return false; }

}  // namespace minihost
