#include "minihost/host/menu_tree.h"
#include "zorb/exception.h"

namespace minihost {

void build_win32_menu(void*, const menu_node&, unsigned, unsigned) { throw zorb::exception_not_implemented(); }

}  // namespace minihost
