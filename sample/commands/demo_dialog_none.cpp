#include "sample/commands/demo_dialog.h"
#include "zorb/exception.h"

namespace ambrel {

void open_demo_dialog(const metadb_handle_list&) { throw zorb::exception_not_implemented(); }

}  // namespace ambrel
