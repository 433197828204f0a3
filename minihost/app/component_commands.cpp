#include "minihost/app/component_commands.h"

#include <iomanip>

#include "host/advconfig.h"
#include "host/contextmenu.h"
#include "host/dsp.h"
#include "host/identity.h"
#include "host/input.h"
#include "host/mainmenu.h"
#include "host/metadb_index.h"
#include "host/playback.h"
#include "host/preferences.h"
#include "host/service_lookup.h"
#include "host/titleformat.h"
#include "host/track_property.h"
#include "host/ui_element.h"

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
    {contextmenu_group::class_guid, "contextmenu_group"},
    {contextmenu_item::class_guid, "contextmenu_item"},
    {mainmenu_group::class_guid, "mainmenu_group"},
    {mainmenu_commands::class_guid, "mainmenu_commands"},
    {ui_element::class_guid, "ui_element"},
    {init_stage_callback::class_guid, "init_stage_callback"},
    {metadb_display_field_provider::class_guid, "metadb_display_field_provider"},
    {track_property_provider::class_guid, "track_property_provider"},
    {metadb_index_manager::class_guid, "metadb_index_manager"},
    {titleformat_compiler::class_guid, "titleformat_compiler"},
    {play_callback_static::class_guid, "play_callback_static"},
};

// The name a service gives itself, for the classes that have one; empty for the others.
std::string service_name(service_factory_base& factory) {
    service_base* object = nullptr;
    factory.instance_create(object);
    const service_ptr service = service_ptr::adopt(object);
    zorb::string8 name;
    if (auto version = service.query_as<componentversion>())
        version->component_name(name);
    else if (auto input = service.query_as<input_entry_v2>())
        name.set_string(input->get_name());
    else if (auto entry = service.query_as<dsp_entry>())
        entry->get_name(name);
    else if (auto page = service.query_as<preferences_page>())
        page->page_name(name);
    else if (auto setting = service.query_as<advconfig_entry>())
        setting->entry_name(name);
    else if (auto context_group = service.query_as<contextmenu_group_popup>())
        context_group->get_display_string(name);
    else if (auto main_group = service.query_as<mainmenu_group_popup>())
        main_group->get_display_string(name);
    else if (auto element = service.query_as<ui_element>())
        element->get_name(name);
    return name.str();
}

void expect_no_arguments(const arguments_t& arguments) {
    if (!arguments.empty()) throw usage_error("unexpected argument " + arguments[0]);
}

}  // namespace

int services_command(command_context& context, const arguments_t& arguments) {
    expect_no_arguments(arguments);
    list_services(context.running, context.out);
    return 0;
}

int about_command(command_context& context, const arguments_t& arguments) {
    expect_no_arguments(arguments);
    print_about(context.running, context.out);
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
        if (const std::string name = service_name(*service.factory); !name.empty()) out << ' ' << name;
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
