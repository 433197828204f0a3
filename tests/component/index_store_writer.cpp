// index_store_writer PATH FIRST_KEY COUNT: writes "first KEY", then "final KEY", for each key from
// FIRST_KEY on into the track index at PATH, compacting past 4 KiB half dead. Tests run two at once.
#include <cstdio>
#include <exception>
#include <string>

#include "minihost/host/index_store.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    constexpr GUID track_index = {0x88CF3F09, 0x26A8, 0x42EF, {0xB7, 0xB8, 0x42, 0x21, 0xB9, 0x62, 0x26, 0x78}};
    try {
        minihost::index_store_options options;
        options.compact_threshold = 4096;
        minihost::index_store store(argv[1], options);
        const uint64_t first = std::stoull(argv[2]);
        const uint64_t count = std::stoull(argv[3]);
        for (uint64_t key = first; key < first + count; ++key) {
            for (const char* stage : {"first ", "final "}) {
                const std::string text = stage + std::to_string(key);
                store.write(track_index, key, text.data(), text.size());
            }
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "index_store_writer: %s\n", failure.what());
        return 1;
    }
    return 0;
}
