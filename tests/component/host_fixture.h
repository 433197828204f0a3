// A minihost host with a console that remembers its lines, for tests of the component.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "host/identity.h"
#include "minihost/host.h"

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

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

inline service_ptr_t<capture_console> make_capture_console() {
    return service_ptr_t<capture_console>(new service_impl_t<capture_console>());
}

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
    std::string file(const std::string& name) const {
        const std::u8string text = (path_ / name).u8string();
        return std::string(text.begin(), text.end());
    }

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

}  // namespace test_support
