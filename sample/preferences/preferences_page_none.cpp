// Builds without a window system cannot show the page.
#include "sample/preferences/preferences.h"

namespace ambrel {

service_ptr_t<preferences_page_instance> create_my_preferences(host_window, preferences_page_callback&) {
    throw zorb::exception_not_implemented();
}

}  // namespace ambrel
