#include "sample/commands/main_commands.h"

#include <string>
#include <vector>

#include "helpers/client.h"
#include "helpers/popup.h"
#include "host/digest.h"
#include "host/http.h"
#include "host/service_lookup.h"
#include "sample/capture/capture.h"
#include "sample/commands/capture_state.h"
#include "sample/commands/command_rows.h"
#include "sample/listcontrol/list_demos.h"
#include "sample/commands/playback_state.h"

namespace ambrel {
namespace {

const command_row commands[] = {
    {"Test command",
     {0x7C4726DF, 0x3B2D, 0x4C7C, {0xAD, 0xE8, 0x43, 0xD8, 0x46, 0xBE, 0xCE, 0xA8}},
     "This is a sample menu command."},
    {"Playback state demo",
     {0xBD880C51, 0xF0CC, 0x473F, {0x9D, 0x14, 0xA6, 0x6E, 0x8C, 0xED, 0x25, 0xAE}},
     "Opens the playback state demo dialog."},
    {"I/O test", {0xD380C333, 0xA72C, 0x4E1E, {0x97, 0xCA, 0xED, 0x14, 0xEB, 0x93, 0x76, 0x23}}, "Runs I/O test."},
    {"Simple CListControl demo",
     {0x34664996, 0x54CD, 0x48EB, {0xA8, 0x20, 0x8F, 0x45, 0x7D, 0xCC, 0xFF, 0xBB}},
     "Runs Simple CListControl demo."},
    {"Owner-data CListControl demo",
     {0xC6D23696, 0x4BE5, 0x4DAA, {0xAF, 0xB2, 0x35, 0x14, 0x0A, 0x47, 0xD2, 0xF9}},
     "Runs Owner Data CListControl demo."},
    {"Advanced CListControl demo",
     {0x27E29DB0, 0x3079, 0x4CE0, {0x8B, 0x4A, 0xA0, 0x78, 0xEB, 0x06, 0x56, 0x86}},
     "Runs Advanced CListControl demo."},
    {"Playback stream capture demo",
     {0x3D0F0F1A, 0x6B5F, 0x42E3, {0xA4, 0x6D, 0x49, 0x01, 0x03, 0xF0, 0x54, 0xB2}},
     "Toggles playback stream capture operation."},
};

constexpr uint32_t command_count = sizeof commands / sizeof commands[0];
constexpr uint32_t command_test = 0, command_playback_state = 1, command_io_test = 2, command_simple_list = 3,
                   command_owner_data_list = 4, command_advanced_list = 5, command_capture = 6;

const command_row& command_at(uint32_t index) {
    return command_row_at(commands, index, "kiv_ambrel: main menu command index out of range");
}

const command_row dynamic_command = {"Dynamic menu test",
                                     {0xAB754B0B, 0x0204, 0x4471, {0xB5, 0x29, 0xFF, 0x73, 0xAE, 0x51, 0x5D, 0xE9}},
                                     "This is a dynamic menu command test."};

void check_dynamic_index(uint32_t index) {
    if (index != 0) uBugCheck("kiv_ambrel: dynamic menu command index out of range");
}

// The nodes of the dynamic command's tree.
class sample_node : public mainmenu_node {
public:
    size_t get_children_count() override { return 0; }
    service_ptr_t<mainmenu_node> get_child(size_t) override { throw zorb::exception_invalid_params(); }
    GUID get_guid() override { return {}; }
    bool get_description(zorb::string_base&) override { return false; }
    void execute(service_ptr) override {}
};

class sample_separator : public sample_node {
public:
    uint32_t get_type() override { return type_separator; }
    void get_display(zorb::string_base& text, uint32_t& flags) override {
        text.set_string("");
        flags = 0;
    }
};

// Test dynamic item #n.
class sample_command : public sample_node {
public:
    explicit sample_command(uint32_t number) : number_(number) {
        // Its GUID is the host's digest of the number as 4 little-endian bytes.
        const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                                  static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        guid_ = hasher_md5::as_guid(service_lookup_one_t<hasher_md5>(host())->process_single(bytes, sizeof bytes));
    }
    uint32_t get_type() override { return type_command; }
    void get_display(zorb::string_base& text, uint32_t& flags) override {
        text.set_string(("Test dynamic item #" + std::to_string(number_)).c_str());
        flags = 0;
    }
    GUID get_guid() override { return guid_; }
    bool get_description(zorb::string_base& out) override {
        out.set_string(("This is a test menu item #" + std::to_string(number_) + ".").c_str());
        return true;
    }
    void execute(service_ptr) override {
        popup_message_show("Invoked test menu item #" + std::to_string(number_), "Information", popup_icon_information);
    }

private:
    uint32_t number_;
    GUID guid_;
};

// sample_group: six commands with a separator between each two.
class sample_group : public sample_node {
public:
    sample_group() {
        constexpr size_t child_count = 11;
        for (size_t position = 0; position < child_count; ++position) {
            if (position % 2 == 0)
                children_.emplace_back(new service_impl_t<sample_command>(static_cast<uint32_t>(position / 2 + 1)));
            else
                children_.emplace_back(new service_impl_t<sample_separator>());
        }
    }
    uint32_t get_type() override { return type_group; }
    void get_display(zorb::string_base& text, uint32_t& flags) override {
        text.set_string("Dynamic menu test group");
        flags = 0;
    }
    size_t get_children_count() override { return children_.size(); }
    service_ptr_t<mainmenu_node> get_child(size_t index) override {
        if (index >= children_.size()) throw zorb::exception_invalid_params();
        return children_[index];
    }

private:
    std::vector<service_ptr_t<mainmenu_node>> children_;
};

// Runs the command node of `node`'s tree whose GUID is `guid`, searching groups depth-first.
bool execute_in_tree(mainmenu_node& node, const GUID& guid, const service_ptr& callback) {
    switch (node.get_type()) {
        case mainmenu_node::type_command:
            if (node.get_guid() != guid) return false;
            node.execute(callback);
            return true;
        case mainmenu_node::type_group:
            for (size_t i = 0; i < node.get_children_count(); ++i)
                if (execute_in_tree(*node.get_child(i), guid, callback)) return true;
            return false;
        default:
            return false;
    }
}

}  // namespace

uint32_t mainmenu_commands_sample::get_command_count() { return command_count; }

GUID mainmenu_commands_sample::get_command(uint32_t index) { return command_at(index).guid; }

void mainmenu_commands_sample::get_name(uint32_t index, zorb::string_base& out) {
    out.set_string(command_at(index).name);
}

bool mainmenu_commands_sample::get_description(uint32_t index, zorb::string_base& out) {
    if (index >= command_count) return false;
    out.set_string(commands[index].description);
    return true;
}

bool mainmenu_commands_sample::get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) {
    get_name(index, text);
    flags = 0;
    if (index == command_capture && capture_active()) flags |= mainmenu_flag_checked;
    return true;
}

void mainmenu_commands_sample::execute(uint32_t index, service_ptr) {
    command_at(index);
    switch (index) {
        case command_test:
            popup_message_show("This is a sample menu command.", "Blah", popup_icon_information);
            return;
        case command_playback_state:
            open_playback_state_demo();
            return;
        case command_io_test:
            run_network_test(network_test_url);
            return;
        case command_simple_list:
            open_list_demo(list_demo::simple);
            return;
        case command_owner_data_list:
            open_list_demo(list_demo::owner_data);
            return;
        case command_advanced_list:
            open_list_demo(list_demo::advanced);
            return;
        case command_capture:
            capture_toggle();
            return;
        default:
            throw zorb::exception_not_implemented();
    }
}

GUID mainmenu_sample_dynamic::get_command(uint32_t index) {
    check_dynamic_index(index);
    return dynamic_command.guid;
}

void mainmenu_sample_dynamic::get_name(uint32_t index, zorb::string_base& out) {
    check_dynamic_index(index);
    out.set_string(dynamic_command.name);
}

bool mainmenu_sample_dynamic::get_description(uint32_t index, zorb::string_base& out) {
    if (index != 0) return false;
    out.set_string(dynamic_command.description);
    return true;
}

bool mainmenu_sample_dynamic::get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) {
    get_name(index, text);
    flags = 0;
    return true;
}

void mainmenu_sample_dynamic::execute(uint32_t index, service_ptr) { check_dynamic_index(index); }

bool mainmenu_sample_dynamic::is_command_dynamic(uint32_t index) {
    check_dynamic_index(index);
    return true;
}

service_ptr_t<mainmenu_node> mainmenu_sample_dynamic::dynamic_instantiate(uint32_t index) {
    check_dynamic_index(index);
    return service_ptr_t<mainmenu_node>(new service_impl_t<sample_group>());
}

bool mainmenu_sample_dynamic::dynamic_execute(uint32_t index, const GUID& subcommand, service_ptr callback) {
    service_ptr_t<mainmenu_node> tree = dynamic_instantiate(index);
    return execute_in_tree(*tree, subcommand, callback);
}

void run_network_test(const char* url) {
    std::string failure;
    try {
        service_ptr_t<http_request> request = service_lookup_one_t<http_client>(host())->create_request("GET");
        abort_callback_dummy never;
        request->run(url, never);  // the response is released unread
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (failure.empty())
        popup_message_show("Network test OK", "Information", popup_icon_information);
    else
        popup_message_show("Network test failure:\n" + failure, "Information", popup_icon_information);
}

}  // namespace ambrel
