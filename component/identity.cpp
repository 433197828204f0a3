#include "component/identity.h"

#include "helpers/client.h"
#include "helpers/console.h"

namespace ambrel {

bool installed_under_expected_name(std::string_view path) {
    const size_t separator = path.find_last_of("\\/|:");
    const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    return name == component_expected_file_name;
}

void ambrel_initquit::on_init() { console_print("kiv_ambrel component: on_init()"); }
void ambrel_initquit::on_quit() { console_print("kiv_ambrel component: on_quit()"); }

void componentversion_myimpl::file_name(zorb::string_base& out) { out.set_string(library_file_name().c_str()); }
void componentversion_myimpl::component_name(zorb::string_base& out) { out.set_string(component_display_name); }
void componentversion_myimpl::component_version(zorb::string_base& out) { out.set_string(component_version_text); }
void componentversion_myimpl::about_text(zorb::string_base& out) { out.set_string(component_about_text); }

bool component_installation_validator_filename::check_installation() {
    return installed_under_expected_name(library_path());
}

}  // namespace ambrel
