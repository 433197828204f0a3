#include "minihost/app/settings_commands.h"

#include "minihost/host/advconfig.h"
#include "minihost/host/window_session.h"

namespace minihost {

int preferences_command(command_context& context, const arguments_t& arguments) {
    double close_after = 0;
    if (!arguments.empty() &&
        (arguments.size() != 2 || arguments[0] != "--close-after" || !parse_number(arguments[1], close_after)))
        throw usage_error("preferences takes only --close-after SECONDS");
    return show_preferences_window(context.running, close_after);
}

int advconfig_command(command_context& context, const arguments_t& arguments) {
    if (arguments.size() == 1 && arguments[0] == "list") {
        print_advconfig_tree(context.running, context.out);
        return 0;
    }
    if (arguments.size() != 3 || arguments[0] != "set") throw usage_error("advconfig needs list or set NAME VALUE");
    std::string error;
    if (set_advconfig_value(context.running, arguments[1], arguments[2], context.out, error)) return 0;
    throw zorb::exception(error);
}

}  // namespace minihost
