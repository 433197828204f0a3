// minihost.exe services and about: what the component offers and who it says it is.
#pragma once

#include <ostream>

#include "minihost/app/command_line.h"

namespace minihost {

int services_command(command_context& context, const arguments_t& arguments);
int about_command(command_context& context, const arguments_t& arguments);

// The host's name for a service class, or null for a class the host does not know.
const char* host_class_name(const GUID& class_guid);

// One line per service of the component: class name (or "unknown"), GUID, and the service's own
// name where its class has one.
void list_services(host& running, std::ostream& out);

// The component's file name, name, version, about text and the installation check's answer.
// Raises the lookup failures when the component has no single componentversion service.
void print_about(host& running, std::ostream& out);

}  // namespace minihost
