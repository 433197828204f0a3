// The file-level commands on a selection: copying its files to a folder (tpc_copyFiles), the tag
// update through the host (myFilter), and the low-level tag write (processLLtags).
#pragma once

#include <cstdint>
#include <string>

#include "helpers/file_list.h"
#include "host/filesystem.h"
#include "host/metadb_io.h"
#include "host/threaded_process.h"

namespace ambrel {

constexpr char copy_folder_prompt[] = "Choose destination folder";
constexpr char copy_title[] = "Sample Component: Copying Files";
constexpr char low_level_tags_title[] = "Sample Component: Updating Tags";
// Abort button, the main bar, the current item.
constexpr unsigned file_process_flags = 0x15;
constexpr char tag_field[] = "comment";
constexpr char alter_tags_value[] = "kiv_sample was here";
constexpr char low_level_tags_value[] = "kiv_sample lowlevel tags write demo was here";
// Passed unchanged to the host's tag update.
constexpr unsigned alter_tags_update_flags = 8;
// The most bytes of a file's start that the copy logs.
constexpr size_t copy_header_bytes = 256;

class tpc_copyFiles : public threaded_process_callback {
public:
    // `folder`: "file://" and the folder chosen; its file system is looked up here.
    tpc_copyFiles(const metadb_handle_list& tracks, std::string folder);

    void on_init(host_window) override {}
    // Copies each file in list order; a file that fails is noted and the next one goes on; an
    // abort ends the run.
    void run(threaded_process_status& status, abort_callback& abort) override;
    // The failures' popup, unless aborted or none failed.
    void on_done(host_window, bool aborted) override;

private:
    void copy_one(const std::string& source, abort_callback& abort);

    file_list_helper::file_list_from_metadb_handle_list files_;
    std::string folder_;
    service_ptr_t<filesystem> folder_system_;
    std::string message_;
};

class myFilter : public file_info_filter {
public:
    // Makes "kiv_sample was here" the one value of the field "comment".
    bool apply_filter(const metadb_handle_ptr& track, const file_stats& stats, file_info& info) override;
};

class processLLtags : public threaded_process_callback {
public:
    explicit processLLtags(const metadb_handle_list& tracks);

    void on_init(host_window) override {}
    // Writes each track's tags in selection order; a track that fails is noted and the next one
    // goes on; an abort ends the run.
    void run(threaded_process_status& status, abort_callback& abort) override;
    // Hands the hints to the host's database (after an abort too), then the failures' popup.
    void on_done(host_window, bool aborted) override;

private:
    void update_one(const metadb_handle_ptr& track, abort_callback& abort);

    service_ptr_t<metadb_hint_list> hints_;
    metadb_handle_list tracks_;
    std::string message_;
};

// Copy files: asks for a folder (unless another modal dialog is open, which is brought forward)
// and copies the selection's files there.
void start_copy_files(const metadb_handle_list& tracks);
// Alter tags: the host's asynchronous update with myFilter; the console hears its result code.
void start_alter_tags(const metadb_handle_list& tracks);
// Alter tags (low level).
void start_low_level_tags(const metadb_handle_list& tracks);

// Where a file named `name` goes in `folder`: the folder, `separator` unless the folder already
// ends with it, and the name.
std::string destination_path(const std::string& folder, char separator, const std::string& name);
// "0A FF 10": each byte in two upper-case hexadecimal digits, single blanks between.
std::string hex_bytes(const uint8_t* bytes, size_t count);

}  // namespace ambrel
