// The sample commands of the host's main menu: the popup group "Sample component", its seven fixed
// commands (mainmenu_commands_sample) and the dynamic command whose menu is a tree of nodes
// (mainmenu_sample_dynamic).
#pragma once

#include <cstdint>

#include "helpers/menu_impl.h"

namespace ambrel {

constexpr GUID guid_main_group = {0x44963E7A, 0x4B2A, 0x4588, {0xB0, 0x17, 0xA8, 0x69, 0x18, 0xCB, 0x8A, 0xA5}};
constexpr char main_group_name[] = "Sample component";
constexpr uint32_t main_menu_priority = 0x80000000;

// The web page that the network test asks for: the host maker's home page.
constexpr char network_test_url[] = "https://www.velmora.org/";

class mainmenu_commands_sample : public mainmenu_commands {
public:
    uint32_t get_command_count() override;
    GUID get_command(uint32_t index) override;
    void get_name(uint32_t index, zorb::string_base& out) override;
    bool get_description(uint32_t index, zorb::string_base& out) override;
    GUID get_parent() override { return guid_main_group; }
    uint32_t get_sort_priority() override { return main_menu_priority; }
    bool get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) override;
    void execute(uint32_t index, service_ptr callback) override;
};

class mainmenu_sample_dynamic : public mainmenu_commands_v2 {
public:
    uint32_t get_command_count() override { return 1; }
    GUID get_command(uint32_t index) override;
    void get_name(uint32_t index, zorb::string_base& out) override;
    bool get_description(uint32_t index, zorb::string_base& out) override;
    GUID get_parent() override { return guid_main_group; }
    uint32_t get_sort_priority() override { return main_menu_priority; }
    bool get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) override;
    void execute(uint32_t index, service_ptr callback) override;
    bool is_command_dynamic(uint32_t index) override;
    service_ptr_t<mainmenu_node> dynamic_instantiate(uint32_t index) override;
    bool dynamic_execute(uint32_t index, const GUID& subcommand, service_ptr callback) override;
};

// The network test: asks the host's web client for `url`; popup "Network test OK", or "Network
// test failure:" and the failure's text on the next line.
void run_network_test(const char* url);

}  // namespace ambrel
