#include "minihost/app/library_commands.h"

#include <cstdio>

#include "host/exceptions.h"
#include "host/service_lookup.h"
#include "minihost/app/menu_commands.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/input_registry.h"
#include "minihost/host/properties_window.h"
#include "minihost/host/track_format.h"
#include "minihost/host/track_properties.h"
#include "zorb/exception.h"

namespace minihost {
namespace {

bool some_input_takes(host& running, const std::string& path) {
    try {
        input_registry(running).find(path);
        return true;
    } catch (const velmora_io::exception_io_unsupported_format&) {
        return false;
    }
}

void report_failure(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "minihost: %s: %s\n", path.c_str(), reason.c_str());
}

std::string track_listing(host& running, const metadb_handle_ptr& track) {
    std::string line = format_track(running, "%path%", track);
    if (track->get_subsong_index() != 0) line += " / index: " + std::to_string(track->get_subsong_index());
    return line;
}

}  // namespace

int library_command(command_context& context, const arguments_t& arguments) {
    const std::string action = arguments.empty() ? "" : arguments[0];
    host& running = context.running;
    if (action == "list" && arguments.size() == 1) {
        const metadb_handle_list tracks = running.library().tracks();
        for (const metadb_handle_ptr& track : tracks) context.out << track_listing(running, track) << '\n';
        context.out << tracks.get_count() << " track" << (tracks.get_count() == 1 ? "" : "s") << " in the library\n";
        return 0;
    }
    if (action == "add" && arguments.size() > 1) {
        const metadb_handle_list added = running.library().add(
            arguments_t(arguments.begin() + 1, arguments.end()),
            [&](const std::string& path) { return some_input_takes(running, path); }, report_failure);
        running.index_manager().mark_seen(added);
        for (const metadb_handle_ptr& track : added) context.out << "added " << track_listing(running, track) << '\n';
        context.out << added.get_count() << " track" << (added.get_count() == 1 ? "" : "s") << " added\n";
        return 0;
    }
    if (action == "remove" && arguments.size() > 1) {
        const size_t removed = running.library().remove(arguments_t(arguments.begin() + 1, arguments.end()));
        context.out << removed << " file" << (removed == 1 ? "" : "s") << " removed\n";
        return removed > 0 ? 0 : 1;
    }
    throw usage_error("library needs add PATH..., list or remove PATH...");
}

int format_command(command_context& context, const arguments_t& arguments) {
    if (arguments.size() < 2) throw usage_error("format needs a pattern and at least one file");
    // Compiled once first, so that a bad pattern fails before any file is read.
    auto compiler = service_lookup_one_t<titleformat_compiler>(context.running);
    service_ptr_t<titleformat_object> pattern;
    compiler->compile(pattern, arguments[0].c_str());
    for (const metadb_handle_ptr& track :
         tracks_of_files(context.running, arguments_t(arguments.begin() + 1, arguments.end()))) {
        zorb::string8 line;
        pattern->run_track(track, line);
        context.out << line.str() << '\n';
    }
    return 0;
}

int properties_command(command_context& context, const arguments_t& arguments) {
    arguments_t files;
    bool window = false;
    double close_after = 0;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--window") {
            window = true;
        } else if (arguments[i] == "--close-after") {
            if (i + 1 == arguments.size() || !parse_number(arguments[i + 1], close_after))
                throw usage_error("--close-after needs a number of seconds");
            ++i;
        } else {
            files.push_back(arguments[i]);
        }
    }
    if (files.empty()) throw usage_error("properties needs at least one file");
    const metadb_handle_list tracks = tracks_of_files(context.running, files);
    if (window) return show_properties_window(context.running, tracks, close_after);
    std::vector<std::string> failed;
    context.out << property_text(track_property_rows(context.running, tracks, &failed));
    for (const std::string& reason : failed)
        std::fprintf(stderr, "minihost: a property provider failed: %s\n", reason.c_str());
    return failed.empty() ? 0 : 1;
}

}  // namespace minihost
