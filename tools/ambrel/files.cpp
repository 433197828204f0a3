#include <cerrno>
#include <cstdio>
#include <cstring>

#include "commands.h"

bool read_whole_file(const std::string& path, std::vector<u8>& contents) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    contents.clear();
    u8 block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) contents.insert(contents.end(), block, block + got);
    bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "%s: read error\n", path.c_str());
        return false;
    }
    return true;
}

int load_module_file(const std::string& path, module_session& session) {
    std::vector<u8> image;
    if (!read_whole_file(path, image)) return 2;
    i32 result = session.load(image.data(), image.size());
    if (result == -2) {
        std::fprintf(stderr, "%s: Out of memory\n", path.c_str());
        return 1;
    }
    if (result != 0) {
        std::fprintf(stderr, "%s: Unsupported file format\n", path.c_str());
        return 1;
    }
    return 0;
}

bool measure_song(const std::string& path, const module_session& session, module_pass& pass) {
    i32 result = session.measure(pass);
    if (result == -2) std::fprintf(stderr, "%s: Out of memory\n", path.c_str());
    if (result < 0 && result != -2) std::fprintf(stderr, "%s: cannot measure the song\n", path.c_str());
    return result >= 0;
}

double frames_to_seconds(uint64_t frames) { return static_cast<double>(frames) / module_session::output_rate; }

const char* format_name(u32 format_id) {
    switch (format_id) {
        case module_format_mod:
            return "MOD";
        case module_format_s3m:
            return "S3M";
        case module_format_xm:
            return "XM";
        default:
            return "unknown";
    }
}
