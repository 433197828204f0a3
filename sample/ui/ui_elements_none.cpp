// Without windows there is nothing to place and nothing to bump.
#include "sample/ui/ui_elements.h"
#include "zorb/exception.h"

namespace ambrel {

service_ptr_t<ui_element_instance> ui_element_myimpl::instantiate(host_window, const ui_element_config&,
                                                                  service_ptr_t<ui_element_instance_callback>) {
    throw zorb::exception_not_implemented();
}

bool ui_element_myimpl::bump() { return false; }

service_ptr_t<ui_element_instance> ui_element_dialog_myimpl::instantiate(host_window, const ui_element_config&,
                                                                         service_ptr_t<ui_element_instance_callback>) {
    throw zorb::exception_not_implemented();
}

}  // namespace ambrel
