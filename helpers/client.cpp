#include "helpers/client.h"

#include <atomic>
#include <mutex>

#include "helpers/config_records.h"
#include "host/shared.h"

namespace ambrel {
namespace {

class component_client final : public velmora_client {
public:
    unsigned get_version() override { return velmora_client_version; }
    service_factory_base* get_service_list() override { return service_factory_base::list_head; }
    void get_config(stream_writer& out, abort_callback& abort) override {
        config_records_write(component_config_variables(), out, abort);
    }
    void set_config(stream_reader& in, abort_callback& abort) override {
        config_records_read(component_config_variables(), in, abort);
    }
    void set_library_path(const char* path, const char* name) override {
        std::lock_guard lock(path_mutex);
        path_ = path ? path : "";
        name_ = name ? name : "";
    }
    void services_init(bool initialised) override {
        services_initialised = initialised;
        if (initialised) services_were_initialised = true;
    }
    bool is_debug() override { return false; }

    std::atomic<host_api*> api{nullptr};
    std::atomic<bool> services_initialised{false};
    std::atomic<bool> services_were_initialised{false};
    std::mutex path_mutex;
    std::string path_;
    std::string name_;
};

component_client& client() {
    static component_client instance;
    return instance;
}

}  // namespace

host_api& host() {
    host_api* api = client().api;
    if (api == nullptr) uBugCheck("kiv_ambrel: the host API was asked for before the host attached");
    return *api;
}

bool host_services_initialised() { return client().services_initialised; }
bool host_services_were_initialised() { return client().services_were_initialised; }

std::string library_path() {
    std::lock_guard lock(client().path_mutex);
    return client().path_;
}

std::string library_file_name() {
    std::lock_guard lock(client().path_mutex);
    return client().name_;
}

velmora_client* attach_host(host_api* api) {
    client().api = api;
    return &client();
}

}  // namespace ambrel
