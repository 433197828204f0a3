#include "minihost/host/profile.h"

#include <filesystem>
#include <system_error>

#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost {

profile::profile(std::string folder, std::string config_file)
    : folder_(std::move(folder)), config_file_(std::move(config_file)) {
    if (config_file_.empty()) config_file_ = file(config_file_name);
}

profile profile::beside(const std::string& config_file) {
    const std::filesystem::path folder = zorb::native_path(config_file).parent_path();
    return profile(folder.empty() ? std::string(".") : zorb::utf8_path(folder), config_file);
}

std::string profile::file(std::string_view name) const {
    return zorb::utf8_path(zorb::native_path(folder_) / zorb::native_path(name));
}

void profile::create() const {
    for (const std::filesystem::path& folder :
         {zorb::native_path(folder_), zorb::native_path(config_file_).parent_path()}) {
        std::error_code error;
        if (!folder.empty()) std::filesystem::create_directories(folder, error);
        if (error) throw zorb::exception("Cannot make the folder " + zorb::utf8_path(folder) + ": " + error.message());
    }
}

}  // namespace minihost
