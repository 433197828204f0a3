#include "sample/listcontrol/list_demos.h"
#include "zorb/exception.h"

namespace ambrel {

void open_list_demo(list_demo) { throw zorb::exception_not_implemented(); }

}  // namespace ambrel
