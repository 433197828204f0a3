#include "minihost/commands.h"

#include <iomanip>

#include "host/identity.h"
#include "host/service_lookup.h"

namespace minihost {
namespace {

struct known_class {
    const GUID& guid;
    const char* name;
};

const known_class known_classes[] = {
    {console_receiver::class_guid, "console_receiver"},
    {initquit::class_guid, "initquit"},
    {componentversion::class_guid, "componentversion"},
    {component_installation_validator::class_guid, "component_installation_validator"},
};

// The name a service gives itself, for the classes that have one.
std::string service_name(const registered_service& service) {
    if (service.class_guid == componentversion::class_guid) {
        service_base* object = nullptr;
        service.factory->instance_create(object);
        auto version = service_ptr_t<componentversion>::adopt(static_cast<componentversion*>(object));
        zorb::string8 name;
        version->component_name(name);
        return name.str();
    }
    return {};
}

}  // namespace

bool parse_command_line(const std::vector<std::string>& arguments, const std::string& executable_directory,
                        command_options& options, std::string& error) {
    options = {{}, executable_directory + default_component_name, executable_directory + default_config_name};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--component" || argument == "--config") {
            if (i + 1 == arguments.size()) {
                error = argument + " needs a path";
                return false;
            }
            (argument == "--component" ? options.component_path : options.config_path) = arguments[++i];
        } else if (!options.command.empty() || argument.starts_with("-")) {
            error = "unexpected argument " + argument;
            return false;
        } else {
            options.command = argument;
        }
    }
    if (options.command != "services" && options.command != "about") {
        error = options.command.empty() ? "no command given" : "unknown command " + options.command;
        return false;
    }
    return true;
}

const char* host_class_name(const GUID& class_guid) {
    for (const known_class& cls : known_classes)
        if (cls.guid == class_guid) return cls.name;
    return nullptr;
}

void list_services(host& running, std::ostream& out) {
    for (const registered_service& service : running.services()) {
        if (service.factory == nullptr) continue;
        const char* class_name = host_class_name(service.class_guid);
        out << std::left << std::setw(34) << (class_name ? class_name : "unknown") << ' '
            << host_guid::to_text(service.class_guid);
        if (const std::string name = service_name(service); !name.empty()) out << ' ' << name;
        out << '\n';
    }
    out.flush();
}

void print_about(host& running, std::ostream& out) {
    auto version = service_lookup_one_t<componentversion>(running);
    zorb::string8 file_name, name, version_text, about;
    version->file_name(file_name);
    version->component_name(name);
    version->component_version(version_text);
    version->about_text(about);
    out << "file name: " << file_name.str() << '\n'
        << "name: " << name.str() << '\n'
        << "version: " << version_text.str() << '\n'
        << "about: " << about.str() << '\n';
    service_ptr_t<component_installation_validator> validator;
    if (!service_try_lookup_one_t(running, validator))
        out << "installation check: none\n";
    else
        out << "installation check: " << (validator->check_installation() ? "passed" : "failed") << '\n';
    out.flush();
}

}  // namespace minihost
