#include "sample/commands/context_commands.h"

#include "helpers/popup.h"
#include "helpers/track_text.h"
#include "sample/commands/command_rows.h"
#include "sample/commands/file_commands.h"
#include "sample/commands/peak_scan.h"
#include "sample/commands/demo_dialog.h"

namespace ambrel {
namespace {

const command_row commands[] = {
    {"Test command",
     {0x4021C80D, 0x9340, 0x423B, {0xA3, 0xE2, 0x8E, 0x1E, 0xDA, 0x87, 0x13, 0x7F}},
     "This is a sample command."},
    {"Calculate peak",
     {0xE629B5C3, 0x5AF3, 0x4A1E, {0xA0, 0xCD, 0x2D, 0x5B, 0xFF, 0xA6, 0x04, 0x58}},
     "This is a sample command that decodes the selected tracks and reports the peak sample value."},
    {"Copy files",
     {0x7F8A6569, 0xE46B, 0x4698, {0xAA, 0x30, 0xC4, 0xC1, 0x44, 0xC9, 0xC8, 0x92}},
     "This is a sample command that copies the selected tracks to another location."},
    {"Alter tags",
     {0xDFB8182B, 0xF8F3, 0x4CE9, {0xAE, 0xF6, 0x8E, 0x4E, 0x51, 0x7C, 0x2D, 0x03}},
     "This is a sample command that performs tag manipulation on the files."},
    {"Alter tags (low level)",
     {0x6B43324D, 0x6CB2, 0x42A6, {0xBF, 0x0C, 0xD9, 0x43, 0xFC, 0x83, 0x2F, 0x39}},
     "This is a sample command that performs low-level manipulation of tags on the files."},
    {"UI and threads demo",
     {0x30DACE2E, 0xCCCF, 0x41D4, {0x8C, 0x24, 0x57, 0xEC, 0xF4, 0xA0, 0xD9, 0xC9}},
     "This is a smple command that runs UI and Threads demo."},
};

constexpr unsigned command_count = sizeof commands / sizeof commands[0];

const command_row& command_at(unsigned index) {
    return command_row_at(commands, index, "kiv_ambrel: context command index out of range");
}

}  // namespace

unsigned myitem::get_num_items() { return command_count; }

void myitem::get_item_name(unsigned index, zorb::string_base& out) { out.set_string(command_at(index).name); }

GUID myitem::get_item_guid(unsigned index) { return command_at(index).guid; }

bool myitem::get_item_description(unsigned index, zorb::string_base& out) {
    out.set_string(command_at(index).description);
    return true;
}

bool myitem::context_get_display(unsigned index, const metadb_handle_list& data, zorb::string_base& out, unsigned&,
                                 const GUID&) {
    if (data.empty()) return false;
    if (index == 0)
        out.set_string(test_command_display(data.get_count()).c_str());
    else
        get_item_name(index, out);
    return true;
}

void myitem::context_command(unsigned index, const metadb_handle_list& data, const GUID&) {
    command_at(index);
    switch (index) {
        case 0:
            popup_message_show(test_command_text(data), "Blah", popup_icon_information);
            return;
        case 1:
            start_peak_scan(data);
            return;
        case 2:
            start_copy_files(data);
            return;
        case 3:
            start_alter_tags(data);
            return;
        case 4:
            start_low_level_tags(data);
            return;
        default:
            open_demo_dialog(data);
            return;
    }
}

std::string test_command_display(size_t count) {
    return std::string(commands[0].name) + " : " + std::to_string(count) + " item" + (count == 1 ? "" : "s") +
           " selected";
}

std::string test_command_text(const metadb_handle_list& data) {
    std::string text = "This is a test command.\n";
    if (data.empty()) return text;
    text += "Parameters:\n";
    for (const metadb_handle_ptr& track : data) text += track_line(track) + "\n";
    return text;
}

}  // namespace ambrel
