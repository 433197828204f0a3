#include "component/identity.h"

#include "component/client.h"
#include "component/console.h"
#include "host/identity.h"

namespace ambrel {

bool installed_under_expected_name(std::string_view path) {
    const size_t separator = path.find_last_of("\\/|:");
    const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    return name == component_expected_file_name;
}

namespace {

class ambrel_initquit : public initquit {
public:
    void on_init() override { console_print("kiv_ambrel component: on_init()"); }
    void on_quit() override { console_print("kiv_ambrel component: on_quit()"); }
};

class componentversion_myimpl : public componentversion {
public:
    void file_name(zorb::string_base& out) override { out.set_string(library_file_name().c_str()); }
    void component_name(zorb::string_base& out) override { out.set_string(component_display_name); }
    void component_version(zorb::string_base& out) override { out.set_string(component_version_text); }
    void about_text(zorb::string_base& out) override { out.set_string(component_about_text); }
};

class component_installation_validator_filename : public component_installation_validator {
public:
    bool check_installation() override { return installed_under_expected_name(library_path()); }
};

// Creation order is the order the host lists them in reverse.
service_factory_single_t<ambrel_initquit> initquit_factory;
service_factory_single_t<componentversion_myimpl> componentversion_factory;
service_factory_single_t<component_installation_validator_filename> installation_validator_factory;

}  // namespace
}  // namespace ambrel
