#include "zorb/files.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "zorb/exception.h"

namespace zorb {

std::filesystem::path native_path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8_path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool read_file(std::string_view path, std::vector<uint8_t>& out) {
    out.clear();
    std::ifstream file(native_path(path), std::ios::binary);
    if (!file) return false;
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        out.clear();
        return false;
    }
    return true;
}

void replace_file(std::string_view path, const void* data, size_t size, std::string_view what) {
    replace_file_with(path, what, [&](std::ostream& content) {
        content.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    });
}

void replace_file_with(std::string_view path, std::string_view what,
                       const std::function<void(std::ostream& content)>& write_content) {
    const std::filesystem::path target = native_path(path);
    std::filesystem::path fresh = target;
    fresh += ".new";
    // The half-written new file goes; the old one was never touched.
    const auto remove_fresh = [&] {
        std::error_code ignored;
        std::filesystem::remove(fresh, ignored);
    };
    const auto failure = [&](const std::string& reason) {
        remove_fresh();
        return zorb::exception("Cannot write " + std::string(what) + " " + std::string(path) + ": " + reason);
    };
    {
        std::ofstream file(fresh, std::ios::binary | std::ios::trunc);
        if (!file.is_open()) throw failure("the new file " + utf8_path(fresh) + " could not be created");
        try {
            write_content(file);
        } catch (...) {
            file.close();
            remove_fresh();
            throw;
        }
        const bool written = static_cast<bool>(file.flush());
        file.close();
        if (!written || file.fail()) throw failure("the new content could not be written");
    }
    std::error_code error;
    std::filesystem::rename(fresh, target, error);
    if (error) throw failure(error.message());
}

}  // namespace zorb
