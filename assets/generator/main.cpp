// make-demo-songs OUTDIR: writes demo.mod, demo.s3m and demo.xm into OUTDIR.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "demo_songs.h"

namespace {

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    try {
        const demo::song score = demo::compose_demo_song();
        const struct {
            const char* name;
            std::vector<uint8_t> bytes;
        } files[] = {
            {"demo.mod", demo::write_mod_song(score)},
            {"demo.s3m", demo::write_s3m_song(score)},
            {"demo.xm", demo::write_xm_song(score)},
        };
        for (const auto& f : files) {
            const std::string path = directory + "/" + f.name;
            if (!write_file(path, f.bytes)) {
                std::fprintf(stderr, "%s: cannot write\n", path.c_str());
                return 1;
            }
            std::printf("%s: %zu bytes\n", path.c_str(), f.bytes.size());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the score does not fit a format: %s\n", error.what());
        return 1;
    }
    return 0;
}
