// A minihost host with a console that remembers its lines, for tests of the component.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "host/guid_records.h"
#include "host/identity.h"
#include "host/memory_stream.h"
#include "minihost/host/host.h"
#include "zorb/files.h"

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

namespace test_support {

class capture_console : public console_receiver {
public:
    void print(const char* text, size_t length) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(text, length);
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

inline service_ptr_t<capture_console> make_capture_console() {
    return service_ptr_t<capture_console>(new service_impl_t<capture_console>());
}

// A popup as the host was asked to show it.
struct shown_popup {
    std::string title;
    std::string message;
    unsigned icon;
    bool operator==(const shown_popup&) const = default;
};

// Takes over the popups of `host`: they are recorded, never shown.
class popup_recorder {
public:
    explicit popup_recorder(minihost::host& host) : host_(host) {
        host.popups().set_presenter([this](const std::string& title, const std::string& message, unsigned icon) {
            std::lock_guard lock(mutex_);
            popups_.push_back({title, message, icon});
        });
    }
    ~popup_recorder() { host_.popups().set_presenter({}); }
    std::vector<shown_popup> popups() {
        std::lock_guard lock(mutex_);
        return popups_;
    }

private:
    minihost::host& host_;
    std::mutex mutex_;
    std::vector<shown_popup> popups_;
};

// Takes over how the threaded processes of `host` show themselves: what they report is recorded
// (on the worker threads), and `abort_when` may ask for the abort on a change it is shown.
class progress_recorder {
public:
    explicit progress_recorder(minihost::host& host) {
        host.processes().set_views([this](const minihost::progress_view_request& request) {
            std::lock_guard lock(mutex_);
            started_.push_back({request.title, request.flags});
            return std::make_unique<view>(*this, request.abort);
        });
    }

    struct started_process {
        std::string title;
        unsigned flags;
        bool operator==(const started_process&) const = default;
    };

    std::vector<started_process> started() {
        std::lock_guard lock(mutex_);
        return started_;
    }
    // The values reported of one kind, of every process in the order reported.
    std::vector<unsigned> values(minihost::progress_change::kind_t kind) {
        std::lock_guard lock(mutex_);
        std::vector<unsigned> found;
        for (const auto& change : changes_)
            if (change.kind == kind) found.push_back(change.value);
        return found;
    }
    // How the processes ended: true for aborted.
    std::vector<bool> endings() {
        std::lock_guard lock(mutex_);
        return endings_;
    }

    std::function<bool(const minihost::progress_change&)> abort_when;  // set before the process starts

private:
    class view : public minihost::progress_view {
    public:
        view(progress_recorder& owner, abort_callback_impl& abort) : owner_(owner), abort_(abort) {}
        void changed(const minihost::progress_change& change) override {
            {
                std::lock_guard lock(owner_.mutex_);
                owner_.changes_.push_back(change);
            }
            if (owner_.abort_when && owner_.abort_when(change)) abort_.abort();
        }
        void ended(bool aborted) override {
            std::lock_guard lock(owner_.mutex_);
            owner_.endings_.push_back(aborted);
        }

    private:
        progress_recorder& owner_;
        abort_callback_impl& abort_;
    };

    std::mutex mutex_;
    std::vector<started_process> started_;
    std::vector<minihost::progress_change> changes_;
    std::vector<bool> endings_;
};

// A folder of its own under the system's temporary folder, removed afterwards. The process id is
// part of its name: ctest runs the tests of one program in parallel processes, which must not
// remove each other's folders.
class scratch_folder {
public:
    explicit scratch_folder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("ambrel-" + name + "-" + std::to_string(current_process_id()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~scratch_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return zorb::utf8_path(path_ / name); }

private:
    static long current_process_id() {
#ifdef _WIN32
        return long(_getpid());
#else
        return long(getpid());
#endif
    }

    std::filesystem::path path_;
};

// A host with the component in-process, started, its configuration in a scratch folder of its own.
struct started_host {
    explicit started_host(const std::string& name) : folder(name), host(folder.file("config.bin")) {
        host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
    }
    scratch_folder folder;
    minihost::host host;
};

// The data of the configuration record the client would write now for `guid`, or nothing.
inline std::vector<uint8_t> stored_record(velmora_client& client, const GUID& guid) {
    memory_stream_writer out;
    abort_callback_dummy abort;
    client.get_config(out, abort);
    size_t position = 0;
    host_guid::record_view record;
    while (host_guid::next_record(out.bytes().data(), out.bytes().size(), position, record))
        if (record.guid == guid) return {record.data, record.data + record.length};
    return {};
}

// One configuration record holding `data`.
inline std::vector<uint8_t> record(const GUID& guid, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    host_guid::append_record(bytes, guid, data.data(), static_cast<uint32_t>(data.size()));
    return bytes;
}

}  // namespace test_support
