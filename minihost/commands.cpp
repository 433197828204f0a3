#include "minihost/commands.h"

#include <cstdio>
#include <iomanip>

#include "host/advconfig.h"
#include "host/dsp.h"
#include "host/identity.h"
#include "host/input.h"
#include "host/preferences.h"
#include "host/service_lookup.h"
#include "minihost/commands_info_play.h"
#include "minihost/sample_commands.h"

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
    {input_entry::class_guid, "input_entry"},
    {input_file_type::class_guid, "input_file_type"},
    {filesystem::class_guid, "filesystem"},
    {core_version_info::class_guid, "core_version_info"},
    {dsp_entry::class_guid, "dsp_entry"},
    {preferences_page::class_guid, "preferences_page"},
    {advconfig_entry::class_guid, "advconfig_entry"},
};

// Commands, and whether they take arguments of their own.
struct known_command {
    const char* name;
    bool takes_arguments;
};

const known_command known_commands[] = {{"services", false}, {"about", false}, {"info", true},       {"play", true},
                                        {"advconfig", true}, {"dsp", true},    {"preferences", true}};

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
    if (service.class_guid == input_entry::class_guid) {
        service_base* object = nullptr;
        service.factory->instance_create(object);
        if (auto input = service_ptr::adopt(object).query_as<input_entry_v2>()) return input->get_name();
    }
    if (service.factory) return sample_service_name(*service.factory);
    return {};
}

}  // namespace

bool parse_command_line(const std::vector<std::string>& arguments, const std::string& executable_directory,
                        command_options& options, std::string& error) {
    options = {{}, {}, executable_directory + default_component_name, executable_directory + default_config_name};
    const known_command* command = nullptr;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--component" || argument == "--config") {
            if (i + 1 == arguments.size()) {
                error = argument + " needs a path";
                return false;
            }
            (argument == "--component" ? options.component_path : options.config_path) = arguments[++i];
        } else if (command == nullptr && !argument.starts_with("-")) {
            for (const known_command& known : known_commands)
                if (argument == known.name) command = &known;
            if (command == nullptr) {
                error = "unknown command " + argument;
                return false;
            }
            options.command = argument;
        } else if (command != nullptr && command->takes_arguments) {
            options.arguments.push_back(argument);
        } else {
            error = "unexpected argument " + argument;
            return false;
        }
    }
    if (command == nullptr) {
        error = "no command given";
        return false;
    }
    return true;
}

int run_command(host& running, const command_options& options, std::ostream& out) {
    if (options.command == "services") {
        list_services(running, out);
    } else if (options.command == "about") {
        print_about(running, out);
    } else if (options.command == "info") {
        return print_info(running, options.arguments, out);
    } else if (is_sample_command(options.command)) {
        return run_sample_command(running, options.command, options.arguments, options.config_path, out);
    } else {
        play_options play_request;
        std::vector<std::string> arguments = options.arguments;
        std::vector<dsp_choice> dsps;
        std::string error;
        if (!take_dsp_options(arguments, dsps, error) || !parse_play_arguments(arguments, play_request, error)) {
            std::fprintf(stderr, "minihost: %s\n%s%s", error.c_str(), usage_text, sample_usage_text);
            return 2;
        }
        dsp_chain chain(running);
        try {
            load_play_chain(running, dsps, options.config_path, chain);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "minihost: %s\n", failure.what());
            return 1;
        }
        return play(running, play_request, out, &chain);
    }
    return 0;
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
