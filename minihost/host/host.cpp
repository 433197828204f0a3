#include "minihost/host/host.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "host/contextmenu.h"
#include "host/digest.h"
#include "host/file_lock.h"
#include "host/http.h"
#include "host/mainmenu.h"
#include "host/memory_stream.h"
#include "host/metadb_index.h"
#include "host/modeless.h"
#include "host/playlist.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "host/titleformat.h"
#include "host/ui_control.h"
#include "minihost/host/album_art.h"
#include "minihost/host/context_menu.h"
#include "minihost/host/core_version.h"
#include "minihost/host/digest.h"
#include "minihost/host/file_locks.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/guarded_call.h"
#include "minihost/host/layout_menu.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/metadb_io.h"
#include "minihost/host/track_format.h"
#include "minihost/host/pcm_convert.h"
#include "minihost/host/wav_input.h"
#include "minihost/host/web_client.h"
#include "zorb/files.h"

// The host's record of one service class: every registered service of that class, in list order.
struct host_service_class {
    GUID guid;
    std::vector<const minihost::registered_service*> services;
};

namespace minihost {
namespace {

class stdout_console : public console_receiver {
public:
    void print(const char* text, size_t length) override {
        std::fwrite(text, 1, length, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

}  // namespace

std::string file_name_of(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

service_ptr make_stdout_console() { return service_ptr(new service_impl_t<stdout_console>()); }

host::host(minihost::profile where)
    : profile_(std::move(where)),
      main_thread_(std::this_thread::get_id()),
      tracks_(*this),
      processes_(*this, [this](const std::string& title, const std::string& failure) {
          popups_.show(title, failure, popup_icon_error);
      }),
      library_(tracks_, profile_.file("library.txt")),
      index_manager_(make_index_manager(library_, profile_.file("metadb_index.log"))),
      playback_(std::make_unique<playback_engine>(*this, tracks_)) {
    add_service(filesystem::class_guid, make_local_filesystem());
    add_service(core_version_info::class_guid, make_core_version_info());
    add_service(popup_message::class_guid, popups_.service());
    add_service(metadb::class_guid, tracks_.service());
    add_service(hasher_md5::class_guid, make_md5_hasher());
    if (service_ptr web_client = make_web_client(settings_)) add_service(http_client::class_guid, web_client);
    add_service(contextmenu_group::class_guid, make_context_root_group());
    add_service_maker(contextmenu_manager::class_guid, [this] { return make_contextmenu_manager(*this); });
    for (service_ptr& group : make_main_menu_groups()) add_service(mainmenu_group::class_guid, group);
    add_service(threaded_process::class_guid, processes_.service());
    add_service(file_lock_manager::class_guid, make_file_lock_manager());
    add_service(metadb_io::class_guid, make_metadb_io(*this, tracks_, processes_, popups_));
    add_service(input_entry::class_guid, make_wav_input(*this));
    add_service(titleformat_compiler::class_guid, make_titleformat_compiler(*this));
    add_service(metadb_index_manager::class_guid, index_manager_);
    for (const GUID& menu : host_menu_guids())
        add_service(mainmenu_commands::class_guid, host_commands_.service_for(menu));
    add_service_maker(playlist_manager::class_guid, [this] { return playlist().manager(); });
    add_service(modeless_dialog_manager::class_guid, modeless_.service());
    add_service(playback_control::class_guid, playback_->control_service());
    add_service(play_callback_manager::class_guid, playback_->callback_manager_service());
    add_service(playback_stream_capture::class_guid, playback_->capture_service());
    add_service(pcm_converter::class_guid, make_pcm_converter());
    add_service(ui_control::class_guid, status_line_.service());
    add_service(main_thread_callback_manager::class_guid, callbacks_.service());
    add_service(album_art_extractor::class_guid, make_sidecar_album_art());
    for (service_ptr& group : make_layout_menu_groups()) add_service(mainmenu_group::class_guid, group);
    for (const GUID& menu : layout_menu_guids())
        add_service(mainmenu_commands::class_guid, host_commands_.service_for(menu));
}

host::~host() {
    guarded("stop", [&] { stop(); });
}

void host::add_service(const GUID& class_guid, service_ptr instance) {
    host_services_.push_back({class_guid, nullptr, std::move(instance), {}});
}

void host::add_service_maker(const GUID& class_guid, std::function<service_ptr()> make) {
    host_services_.push_back({class_guid, nullptr, {}, std::move(make)});
}

void host::start(const component_binding& component) {
    client_ = component.entry(this, component.module);
    if (client_ == nullptr) throw zorb::exception("The component returned no client object");
    if (client_->get_version() != velmora_client_version) {
        client_ = nullptr;
        throw zorb::exception("The component was built for another host version");
    }
    client_->set_library_path(component.library_path.c_str(), file_name_of(component.library_path).c_str());

    profile_.create();
    services_ = host_services_;
    for (service_factory_base* factory = client_->get_service_list(); factory; factory = factory->get_next())
        services_.push_back({factory->get_class_guid(), factory, {}, {}});
    // The class table points into services_, which no longer grows.
    for (const registered_service& service : services_) {
        auto cls = static_cast<host_service_class*>(service_enum_find_class(service.class_guid));
        if (cls == nullptr) {
            classes_.push_back(std::make_unique<host_service_class>(host_service_class{service.class_guid, {}}));
            cls = classes_.back().get();
        }
        cls->services.push_back(&service);
    }

    read_config();
    uBrowseForFolder_set_hook(answer_folder, this);
    client_->services_init(true);
    const size_t count = service_count_t<initquit>(*this);
    for (size_t index = 0; index < count; ++index)
        guarded("initquit creation", [&] {
            if (auto service = service_create_at_t<initquit>(*this, index)) initquits_.push_back(service);
        });
    run_init_stages();
    for (auto& service : initquits_) guarded("on_init", [&] { service->on_init(); });
    playback_->attach_static_callbacks();
}

void host::run_init_stages() {
    std::vector<service_ptr_t<init_stage_callback>> callbacks;
    const size_t count = service_count_t<init_stage_callback>(*this);
    for (size_t index = 0; index < count; ++index)
        guarded("init stage callback creation", [&] {
            if (auto callback = service_create_at_t<init_stage_callback>(*this, index)) callbacks.push_back(callback);
        });
    const auto stage = [&](uint32_t number) {
        for (auto& callback : callbacks) guarded("init stage", [&] { callback->on_init_stage(number); });
    };
    stage(init_stages::before_library_init);
    guarded("media library load", [&] {
        library_.load([](const std::string& path, const std::string& reason) {
            std::fprintf(stderr, "minihost: media library: %s: %s\n", path.c_str(), reason.c_str());
        });
    });
    guarded("index retention", [&] { index_manager_->start_up_scan(); });
    stage(init_stages::after_library_init);
}

void host::stop() {
    if (client_ == nullptr) return;
    shutting_down_ = true;
    playback_->stop(play_stop_shutting_down);
    playback_->detach_static_callbacks();
    processes_.stop();  // the processes' objects belong to the component
    for (auto& service : initquits_) guarded("on_quit", [&] { service->on_quit(); });
    client_->services_init(false);
    uBrowseForFolder_set_hook(nullptr, nullptr);
    index_manager_->remove_all();
    std::exception_ptr write_failure;
    try {
        write_config();
    } catch (...) {
        write_failure = std::current_exception();
    }
    try {
        if (playlist_loaded_ && playlist_.revision() != playlist_saved_revision_)
            save_playlist(playlist_, profile_.playlist_file());
        playlist_saved_revision_ = playlist_.revision();
    } catch (...) {
        if (!write_failure) write_failure = std::current_exception();
    }
    callbacks_.close();
    initquits_.clear();
    classes_.clear();
    services_.clear();
    client_ = nullptr;
    if (write_failure) std::rethrow_exception(write_failure);
}

minihost::playlist& host::playlist() {
    if (!playlist_loaded_ && client_ != nullptr) {
        playlist_loaded_ = true;
        guarded("playlist read", [&] {
            if (const size_t skipped = load_playlist(playlist_, tracks_, profile_.playlist_file()))
                std::fprintf(stderr, "minihost: %s: %zu damaged lines skipped\n", profile_.playlist_file().c_str(),
                             skipped);
        });
        playlist_saved_revision_ = playlist_.revision();
    }
    return playlist_;
}

service_class_ref host::service_enum_find_class(const GUID& class_guid) {
    for (auto& cls : classes_)
        if (cls->guid == class_guid) return cls.get();
    return nullptr;
}

bool host::service_enum_create(service_base*& out, service_class_ref cls, size_t index) {
    if (cls == nullptr || index >= cls->services.size()) return false;
    const registered_service& service = *cls->services[index];
    if (service.factory) {
        service.factory->instance_create(out);
    } else if (service.make) {
        const service_ptr made = service.make();
        made->add_ref();  // the caller's reference; the maker's goes with `made`
        out = made.get();
    } else {
        service.host_instance->add_ref();
        out = service.host_instance.get();
    }
    return true;
}

size_t host::service_enum_get_count(service_class_ref cls) { return cls ? cls->services.size() : 0; }

void host::set_window_session(bool windows) {
    window_session_ = windows;
    popups_.set_presenter(windows ? message_box_popups(*this) : print_popups(stdout));
    processes_.set_views(windows ? progress_windows() : print_progress(stderr));
}

int host::answer_folder(void* self, void*, const char*, zorb::string_base& out) {
    const host& asked = *static_cast<const host*>(self);
    if (asked.settings_.folder.empty()) return asked.window_session_ ? -1 : 0;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(zorb::native_path(asked.settings_.folder), error);
    const std::string text = error ? asked.settings_.folder : zorb::utf8_path(folder.lexically_normal());
    out.set_string(text.data(), text.size());
    return 1;
}

void host::read_config() {
    std::vector<uint8_t> bytes;
    zorb::read_file(profile_.config_file(), bytes);
    memory_stream_reader reader(bytes.data(), bytes.size());
    abort_callback_dummy abort;
    guarded("configuration read", [&] { client_->set_config(reader, abort); });
}

void host::write_config() {
    memory_stream_writer writer;
    abort_callback_dummy abort;
    client_->get_config(writer, abort);
    zorb::replace_file(profile_.config_file(), writer.bytes().data(), writer.bytes().size(), "the configuration file");
}

}  // namespace minihost
