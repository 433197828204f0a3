#include "minihost/app/tag_commands.h"

#include <algorithm>
#include <cstdio>

#include "host/file_info_impl.h"
#include "minihost/host/input_registry.h"

namespace minihost {

bool parse_tag_assignment(const std::string& text, tag_assignment& out) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    out = {text.substr(0, equals), text.substr(equals + 1)};
    return true;
}

void apply_tag_assignments(const std::vector<tag_assignment>& assignments, file_info& info) {
    std::vector<std::string> replaced;
    for (const tag_assignment& assignment : assignments) {
        const char* field = assignment.field.c_str();
        if (assignment.value.empty()) {
            info.meta_remove_field(field);
        } else if (std::find(replaced.begin(), replaced.end(), assignment.field) == replaced.end()) {
            info.meta_set(field, assignment.value.c_str());
            replaced.push_back(assignment.field);
        } else {
            info.meta_add(field, assignment.value.c_str());
        }
    }
}

void print_tags(const std::string& path, const std::string& input, const file_info& info, std::ostream& out) {
    out << path << ": " << input << '\n';
    for (size_t field = 0; field < info.meta_get_count(); ++field)
        for (size_t value = 0; value < info.meta_enum_value_count(field); ++value)
            out << "  " << info.meta_enum_name(field) << '=' << info.meta_enum_value(field, value) << '\n';
    if (info.meta_get_count() == 0) out << "  (no tags)\n";
    if (info.get_length() > 0)
        out << "  length: " << info.get_length() << " s\n";
    else
        out << "  length: unknown\n";
    for (size_t field = 0; field < info.info_get_count(); ++field)
        out << "  " << info.info_enum_name(field) << ": " << info.info_enum_value(field) << '\n';
}

int tags_command(command_context& context, const arguments_t& arguments) {
    if (arguments.empty()) throw usage_error("tags needs a file");
    const std::string& path = arguments[0];
    std::vector<tag_assignment> assignments(arguments.size() - 1);
    for (size_t i = 1; i < arguments.size(); ++i)
        if (!parse_tag_assignment(arguments[i], assignments[i - 1]))
            throw usage_error("expected FIELD=VALUE, not " + arguments[i]);

    input_registry inputs(context.running);
    abort_callback_dummy abort;
    service_ptr_t<input_entry> input = inputs.find(path);
    const std::string name = input_name(input);
    if (!assignments.empty()) {
        service_ptr_t<input_info_writer> writer;
        input->open_for_info_write(writer, {}, path.c_str(), abort);
        const uint32_t subsong = writer->subsong_at(0);
        file_info_impl info;
        writer->read_info(subsong, info, abort);
        apply_tag_assignments(assignments, info);
        try {
            writer->write_info(subsong, info, abort);
            writer->finish_write(abort);
        } catch (const std::exception& failure) {
            throw zorb::exception(path + ": the " + name + " wrote no tags: " + failure.what());
        }
    }

    service_ptr_t<input_info_reader> reader;
    input->open_for_info_read(reader, {}, path.c_str(), abort);
    file_info_impl info;
    reader->read_info(reader->subsong_at(0), info, abort);
    print_tags(path, name, info, context.out);
    // A field the file's format has no place for is not written; say so rather than seem to succeed.
    int status = 0;
    for (const tag_assignment& assignment : assignments) {
        if (assignment.value.empty() || info.meta_find(assignment.field.c_str()) != file_info::npos) continue;
        context.out.flush();
        std::fprintf(stderr, "minihost: %s: the %s keeps no field \"%s\"\n", path.c_str(), name.c_str(),
                     assignment.field.c_str());
        status = 1;
    }
    return status;
}

}  // namespace minihost
