#include "minihost/gui/folder_scan.h"

#include <algorithm>
#include <filesystem>

#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost {
namespace {

// The order of paths: letters without case, and a folder's files before those of a folder whose
// name goes on past it ("sub/a" before "sub2/a"), whichever separator the system writes.
std::string sort_key(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '\\' || c == '/') c = '\x01';
    }
    return text;
}

}  // namespace

std::vector<std::string> files_in_folder(const std::string& folder,
                                         const std::function<bool(const std::string& path)>& wanted) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::recursive_directory_iterator entry(zorb::native_path(folder), fs::directory_options::skip_permission_denied,
                                           error);
    if (error) throw zorb::exception("Cannot read the folder " + folder + ": " + error.message());
    std::vector<std::string> files;
    for (; entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (error) break;
        std::error_code ignored;
        if (!entry->is_regular_file(ignored)) continue;
        std::string path = zorb::utf8_path(entry->path());
        if (wanted(path)) files.push_back(std::move(path));
    }
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        const std::string key_a = sort_key(a), key_b = sort_key(b);
        return key_a != key_b ? key_a < key_b : a < b;
    });
    return files;
}

}  // namespace minihost
