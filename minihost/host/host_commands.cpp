#include "minihost/host/host_commands.h"

#include "host/mainmenu.h"
#include "zorb/exception.h"

namespace minihost {
namespace {

// The host's commands of one menu. The list may change between two requests of the host's menu
// builder, never during one: both run on the user-interface thread.
class host_menu_commands : public mainmenu_commands {
public:
    host_menu_commands(const host_command_list& list, const GUID& menu) : list_(list), menu_(menu) {}

    uint32_t get_command_count() override { return static_cast<uint32_t>(list_.in_menu(menu_).size()); }
    GUID get_command(uint32_t index) override { return at(index).guid; }
    void get_name(uint32_t index, zorb::string_base& out) override { out.set_string(at(index).name.c_str()); }
    bool get_description(uint32_t index, zorb::string_base& out) override {
        if (at(index).description.empty()) return false;
        out.set_string(at(index).description.c_str());
        return true;
    }
    GUID get_parent() override { return menu_; }
    uint32_t get_sort_priority() override { return 0; }
    bool get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) override {
        const host_command& command = at(index);
        text.set_string(command.name.c_str());
        flags = command.flags ? command.flags() : 0;
        return true;
    }
    void execute(uint32_t index, service_ptr) override { at(index).run(); }

private:
    const host_command& at(uint32_t index) const {
        const auto commands = list_.in_menu(menu_);
        if (index >= commands.size()) throw zorb::exception_invalid_params();
        return *commands[index];
    }

    const host_command_list& list_;
    GUID menu_;
};

}  // namespace

size_t host_command_list::add(host_command command) {
    commands_.emplace_back(next_id_, std::move(command));
    return next_id_++;
}

void host_command_list::remove(size_t id) {
    std::erase_if(commands_, [&](const auto& each) { return each.first == id; });
}

service_ptr host_command_list::service_for(const GUID& menu) {
    return service_ptr(new service_impl_t<host_menu_commands>(*this, menu));
}

std::vector<const host_command*> host_command_list::in_menu(const GUID& menu) const {
    std::vector<const host_command*> out;
    for (const auto& each : commands_)
        if (each.second.menu == menu) out.push_back(&each.second);
    return out;
}

}  // namespace minihost
