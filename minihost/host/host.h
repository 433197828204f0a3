// minihost: our own implementation of the velmora host, enough to load a component, merge its
// services with the host's own, keep its configuration in the profile and run it through start and
// stop.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/host_api.h"
#include "host/identity.h"
#include "minihost/host/command_settings.h"
#include "minihost/host/index_manager.h"
#include "minihost/host/main_thread.h"
#include "minihost/host/media_library.h"
#include "minihost/host/host_commands.h"
#include "minihost/host/metadb.h"
#include "minihost/host/modeless_dialogs.h"
#include "minihost/host/playlist.h"
#include "minihost/host/playback.h"
#include "minihost/host/popup.h"
#include "minihost/host/profile.h"
#include "minihost/host/status_line.h"
#include "minihost/host/threaded_process.h"

struct host_service_class;

namespace minihost {

// One service as the host lists it: from a factory of the component, or one of the host's own,
// either a single instance or made anew for each request.
struct registered_service {
    GUID class_guid;
    service_factory_base* factory;      // the component's factory; null for a host service
    service_ptr host_instance;          // the host's own single service
    std::function<service_ptr()> make;  // or the maker of the host's own service
};

// Where the component came from: its export, its module handle, its path.
struct component_binding {
    velmora_get_interface_t entry;
    void* module;              // the HINSTANCE; null when linked in-process
    std::string library_path;  // full path, UTF-8
};

// The host's own services, registered at construction: the local file system, the version, the
// popup service (popups()), the track database (tracks()), the digest service, the web client
// (Windows only), the context menu's root group, the context-menu manager, the menus of the menu
// bar with the host's own commands in them, an input for WAV files (wav_input.h), the title-formatting
// compiler (track_format.h), the index manager over the media library (index_manager.h), the playlist
// (playlist_manager), the registry of modeless windows, the player (playback(): the playback
// control, the play callbacks, the stream capture and the PCM converter), the threaded processes
// (processes()), the file locks, the database I/O, the main-thread callbacks and the album-art
// extractor. Everything the host keeps between runs lives in its profile. While started, the host
// answers the shared library's folder picker (uBrowseForFolder) with the command's --folder; without
// one the command line cancels it and a window session shows the system's picker.
class host final : public host_api {
public:
    explicit host(minihost::profile where);
    // The profile of a configuration file given alone: the folder that holds it.
    explicit host(const std::string& config_path) : host(profile::beside(config_path)) {}
    ~host();
    host(const host&) = delete;
    host& operator=(const host&) = delete;

    // A service of the host's own; only before start.
    void add_service(const GUID& class_guid, service_ptr instance);
    // A service of the host's own made anew for every request; only before start.
    void add_service_maker(const GUID& class_guid, std::function<service_ptr()> make);

    // The start sequence: export, library path, service list, configuration, services up, the init
    // stages with the media library loaded and the index manager's start-up scan between them,
    // on_init.
    // Raises zorb::exception when the component cannot be started.
    void start(const component_binding& component);
    // The stop sequence: on_quit, services down, configuration written (and the playlist, when it
    // changed), instances released. Does nothing when not started. Raises when the configuration
    // file or the playlist cannot be written.
    void stop();

    velmora_client& client() const { return *client_; }
    // Every registered service, the host's first, then the component's in list order.
    const std::vector<registered_service>& services() const { return services_; }

    const minihost::profile& profile() const { return profile_; }
    popup_router& popups() { return popups_; }
    track_cache& tracks() { return tracks_; }
    media_library& library() { return library_; }
    index_manager_impl& index_manager() { return *index_manager_; }
    playback_engine& playback() { return *playback_; }
    // The status line components override (ui_control).
    minihost::status_line& status_line() { return status_line_; }
    // The settings of the command running now; the command runner sets them between commands.
    const command_settings& settings() const { return settings_; }
    void set_settings(command_settings settings) { settings_ = std::move(settings); }
    // The window that owns the host's windows and message boxes; null while it has none.
    void set_main_window(host_window window) { main_window_ = window; }
    // The playlist, read from the profile the first time it is asked for while the host runs (a
    // file that cannot be read is reported on standard error and the playlist starts empty).
    minihost::playlist& playlist();
    modeless_registry& modeless_dialogs() { return modeless_; }
    // Work that other threads hand to this one (main_thread_callback_manager).
    main_thread_queue& main_thread_callbacks() { return callbacks_; }
    // The host's own commands of the menu bar; the window session adds them.
    host_command_list& host_commands() { return host_commands_; }
    process_runner& processes() { return processes_; }
    // A window session shows popups as message boxes, threaded processes in progress windows and
    // the system's folder picker; otherwise they go to the command line (the start).
    void set_window_session(bool windows);
    bool window_session() const { return window_session_; }

    // host_api
    service_class_ref service_enum_find_class(const GUID& class_guid) override;
    bool service_enum_create(service_base*& out, service_class_ref cls, size_t index) override;
    size_t service_enum_get_count(service_class_ref cls) override;
    host_window get_main_window() override { return main_window_; }
    void reserved_slot() override {}
    bool is_main_thread() override { return std::this_thread::get_id() == main_thread_; }
    bool is_shutting_down() override { return shutting_down_; }

private:
    void read_config();
    void write_config();
    static int answer_folder(void* self, void* parent, const char* title, zorb::string_base& out);
    void run_init_stages();

    minihost::profile profile_;
    std::thread::id main_thread_;
    std::atomic<bool> shutting_down_{false};
    std::atomic<host_window> main_window_{nullptr};
    velmora_client* client_ = nullptr;
    popup_router popups_;
    track_cache tracks_;
    process_runner processes_;
    bool window_session_ = false;
    media_library library_;
    service_ptr_t<index_manager_impl> index_manager_;
    std::unique_ptr<playback_engine> playback_;
    minihost::status_line status_line_;
    command_settings settings_;
    modeless_registry modeless_;
    main_thread_queue callbacks_;
    host_command_list host_commands_;
    minihost::playlist playlist_;
    bool playlist_loaded_ = false;
    uint64_t playlist_saved_revision_ = 0;
    std::vector<registered_service> host_services_;
    std::vector<registered_service> services_;
    std::vector<std::unique_ptr<host_service_class>> classes_;
    std::vector<service_ptr_t<initquit>> initquits_;
};

// Writes console lines to standard output, one line each, at once.
service_ptr make_stdout_console();

// The file name part of a path (after its last \ or /).
std::string file_name_of(const std::string& path);

}  // namespace minihost
