#include "sample/commands/file_commands.h"

#include "helpers/client.h"
#include "helpers/console.h"
#include "helpers/popup.h"
#include "helpers/track_text.h"
#include "host/file_info_impl.h"
#include "host/file_lock.h"
#include "host/input.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "sample/commands/process_support.h"
#include "zorb/text_format.h"

namespace ambrel {
namespace {

// The file name part of `path`: as its file system cuts it when it offers that, otherwise what
// follows the last backslash, or the whole path.
std::string file_name_part(const std::string& path) {
    if (auto system = filesystem::g_find(host(), path.c_str()).query_as<filesystem_v2>()) {
        zorb::string8 name;
        system->get_file_name(path.c_str(), name);
        return name.str();
    }
    const size_t backslash = path.find_last_of('\\');
    return backslash == std::string::npos ? path : path.substr(backslash + 1);
}

void show_failures(const std::string& message, bool aborted) {
    if (!aborted && !message.empty()) popup_message_show(message, "Information", popup_icon_information);
}

}  // namespace

tpc_copyFiles::tpc_copyFiles(const metadb_handle_list& tracks, std::string folder)
    : files_(tracks), folder_(std::move(folder)), folder_system_(filesystem::g_find(host(), folder_.c_str())) {}

void tpc_copyFiles::run(threaded_process_status& status, abort_callback& abort) {
    for (size_t i = 0; i < files_.get_count(); ++i) {
        abort.check();
        status.set_progress(item_progress(i, files_.get_count()));
        status.set_item_path(files_[i].c_str());
        try {
            copy_one(files_[i], abort);
        } catch (const velmora_io::exception_aborted&) {
            throw;
        } catch (const std::exception& failure) {
            message_ += "Could not copy: " + display_path(files_[i].c_str()) + ", reason: " + failure.what() + "\n";
        }
    }
}

void tpc_copyFiles::copy_one(const std::string& source, abort_callback& abort) {
    console_print("File: " + display_path(source.c_str()));
    const auto with_separator = folder_system_.query_as<filesystem_v2>();
    const std::string target =
        destination_path(folder_, with_separator ? with_separator->get_separator() : '/', file_name_part(source));

    auto locks = service_lookup_one_t<file_lock_manager>(host());
    const service_ptr read_lock = locks->acquire(source.c_str(), file_lock_manager::mode_read, abort);
    service_ptr_t<file> input =
        open_with_retry([&] { return filesystem::g_open(host(), source.c_str(), filesystem::open_mode_read, abort); },
                        file_retry_pause, abort);
    if (const uint64_t size = input->get_size(abort); size != filesize_invalid)
        console_print("Size: " + zorb::format_file_size_short(size));
    if (const uint64_t time = input->get_timestamp(abort); time != filetimestamp_invalid)
        console_print("Last modified: " + zorb::format_file_time_local(time));
    if (zorb::string8 type; input->get_content_type(type)) console_print("Content type: " + type.str());
    uint8_t header[copy_header_bytes];
    if (const size_t got = input->read(header, sizeof header, abort); got > 0)
        console_print("Header bytes: " + hex_bytes(header, got));
    console_print(input->is_remote() ? "File is remote" : "File is local");
    input->reopen(abort);

    if (source == target) {
        console_print("Input and output paths are the same - not copying!");
        return;
    }
    const service_ptr write_lock = locks->acquire(target.c_str(), file_lock_manager::mode_write, abort);
    service_ptr_t<file> output = open_with_retry(
        [&] { return filesystem::g_open(host(), target.c_str(), filesystem::open_mode_write_new, abort); },
        file_retry_pause, abort);
    file::g_transfer_file(*input, *output, abort);
}

void tpc_copyFiles::on_done(host_window, bool aborted) { show_failures(message_, aborted); }

bool myFilter::apply_filter(const metadb_handle_ptr&, const file_stats&, file_info& info) {
    info.meta_set(tag_field, alter_tags_value);
    return true;
}

processLLtags::processLLtags(const metadb_handle_list& tracks)
    : hints_(service_lookup_one_t<metadb_io>(host())->create_hint_list()), tracks_(tracks) {}

void processLLtags::run(threaded_process_status& status, abort_callback& abort) {
    for (size_t i = 0; i < tracks_.get_count(); ++i) {
        abort.check();
        status.set_progress(item_progress(i, tracks_.get_count()));
        if (tracks_[i]) status.set_item_path(tracks_[i]->get_path());
        try {
            update_one(tracks_[i], abort);
        } catch (const velmora_io::exception_aborted&) {
            throw;
        } catch (const std::exception& failure) {
            message_ += "Could not update: " + track_line(tracks_[i]) + ", reason: " + failure.what() + "\n";
        }
    }
}

void processLLtags::update_one(const metadb_handle_ptr& track, abort_callback& abort) {
    console_print("kiv_sample will update tags on: " + track_line(track));
    if (!track) throw velmora_io::exception_io_not_found();
    const char* path = track->get_path();
    const service_ptr lock =
        service_lookup_one_t<file_lock_manager>(host())->acquire(path, file_lock_manager::mode_write, abort);
    service_ptr_t<input_info_writer> writer = open_with_retry(
        [&] { return input_lookup::open_for_info_write(host(), path, abort); }, info_writer_retry_pause, abort);
    if (const uint64_t time = writer->query_file_stats(abort).timestamp; time != filetimestamp_invalid)
        console_print("Last-modified before tag update: " + zorb::format_file_time_utc(time));
    file_info_impl info;
    writer->read_info(track->get_subsong_index(), info, abort);
    info.meta_set(tag_field, low_level_tags_value);
    abort_callback_dummy never;  // an abort must not stop the write half way
    writer->write_info(track->get_subsong_index(), info, never);
    writer->finish_write(never);
    if (const uint64_t time = writer->query_file_stats(abort).timestamp; time != filetimestamp_invalid)
        console_print("Last-modified after tag update: " + zorb::format_file_time_utc(time));
    hints_->add_hint(track, info, writer->query_file_stats(abort), true);
}

void processLLtags::on_done(host_window, bool aborted) {
    hints_->on_done();
    show_failures(message_, aborted);
}

void start_copy_files(const metadb_handle_list& tracks) {
    if (!ModalDialog_CanCreateNew()) {
        ModalDialog_PokeExisting();
        return;
    }
    zorb::string8 folder;
    if (!uBrowseForFolder(host().get_main_window(), copy_folder_prompt, folder)) return;
    run_process_modeless(
        service_ptr_t<threaded_process_callback>(new service_impl_t<tpc_copyFiles>(tracks, "file://" + folder.str())),
        file_process_flags, copy_title);
}

void start_alter_tags(const metadb_handle_list& tracks) {
    service_ptr_t<file_info_filter> filter(new service_impl_t<myFilter>());
    auto notify = completion_notify_create(
        [](unsigned code) { console_print("Tag update finished, code: " + std::to_string(code)); });
    auto updater = service_lookup_one_t<metadb_io>(host()).query_as<metadb_io_v2>();
    if (!updater) uBugCheck("kiv_ambrel: the host's database I/O service lacks its asynchronous update");
    updater->update_info_async(tracks, filter, host().get_main_window(), alter_tags_update_flags, notify);
}

void start_low_level_tags(const metadb_handle_list& tracks) {
    run_process_modeless(service_ptr_t<threaded_process_callback>(new service_impl_t<processLLtags>(tracks)),
                         file_process_flags, low_level_tags_title);
}

std::string destination_path(const std::string& folder, char separator, const std::string& name) {
    std::string path = folder;
    if (path.empty() || path.back() != separator) path.push_back(separator);
    return path + name;
}

std::string hex_bytes(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i) text.push_back(' ');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 15]);
    }
    return text;
}

}  // namespace ambrel
