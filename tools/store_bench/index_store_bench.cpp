// index-store-bench [--writes N] [--records N] [--folder DIR]: what the index store costs on this
// disk. Prints the time of N durable writes into a fresh store (and of the same writes to files in
// memory, the store's own share), of opening a store of N records
// (compacted, and a log half of which is dead, which the opening compacts), of one write into
// that store, and of the same change made the other way a store could make it: the whole file
// written anew and renamed over the old one.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "minihost/host/index_store.h"
#include "zorb/files.h"

namespace {

namespace format = minihost::index_store_format;
using clock_type = std::chrono::steady_clock;

constexpr GUID track_index = {0x88CF3F09, 0x26A8, 0x42EF, {0xB7, 0xB8, 0x42, 0x21, 0xB9, 0x62, 0x26, 0x78}};

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// A rating record with a short comment, as the rating component writes it.
std::string rating(uint64_t key) { return std::string("\x03\0\0\0\x07\0\0\0comment", 15) + std::to_string(key % 10); }

// A log of `records` put records: each key once, or (`dead`) every key twice.
std::vector<uint8_t> log_of(uint64_t records, bool dead) {
    std::vector<uint8_t> bytes = format::header(1);
    const uint64_t keys = dead ? records / 2 : records;
    for (uint64_t i = 0; i < records; ++i) {
        const uint64_t key = (i % keys) * 0x9E3779B97F4A7C15u;
        const std::string data = rating(i);
        format::append(bytes, {format::record_kind::put, track_index, key, 1,
                               reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size())});
    }
    return bytes;
}

double time_open(const std::string& path, const std::vector<uint8_t>& bytes, size_t& keys) {
    minihost::system_index_store_io()->replace(path, bytes.data(), bytes.size());
    const auto start = clock_type::now();
    minihost::index_store store(path);
    const double took = seconds_since(start);
    keys = store.state().keys;
    return took;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t writes = 10'000;
    uint64_t records = 100'000;
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--writes"))
            writes = std::stoull(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--records"))
            records = std::stoull(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--folder"))
            folder = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: index-store-bench [--writes N] [--records N] [--folder DIR]\n");
            return 2;
        }
    }
    folder /= "index-store-bench-" + std::to_string(clock_type::now().time_since_epoch().count());
    std::filesystem::create_directories(folder);
    const std::string path = zorb::utf8_path(folder / "index.bin");
    try {
        {
            minihost::index_store store(path);
            const auto start = clock_type::now();
            for (uint64_t key = 0; key < writes; ++key) {
                const std::string data = rating(key);
                store.write(track_index, key % 1000, data.data(), data.size());
            }
            const double took = seconds_since(start);
            std::printf("%llu durable writes (1,000 keys, 15-16 bytes each): %.3f s, %.1f us a write; log %llu bytes\n",
                        (unsigned long long)writes, took, took * 1e6 / double(writes),
                        (unsigned long long)store.state().file_bytes);
        }
        {
            // The store's own share of a write: the same writes to files in memory.
            minihost::index_store_options in_memory;
            in_memory.io = std::make_shared<minihost::memory_index_store_io>();
            minihost::index_store store("index.bin", in_memory);
            const auto start = clock_type::now();
            for (uint64_t key = 0; key < writes; ++key) {
                const std::string data = rating(key);
                store.write(track_index, key % 1000, data.data(), data.size());
            }
            const double took = seconds_since(start);
            std::printf("the same writes to files in memory: %.3f s, %.2f us a write\n", took,
                        took * 1e6 / double(writes));
        }
        size_t keys = 0;
        const std::vector<uint8_t> compacted = log_of(records, false);
        const double open_compacted = time_open(path, compacted, keys);
        std::printf("open a store of %llu records (%zu keys, %zu bytes): %.3f s\n", (unsigned long long)records, keys,
                    compacted.size(), open_compacted);
        const std::vector<uint8_t> half_dead = log_of(records, true);
        const double open_half_dead = time_open(path, half_dead, keys);
        std::printf("open a log of %llu records, half of them dead (%zu keys), compacting it: %.3f s\n",
                    (unsigned long long)records, keys, open_half_dead);

        time_open(path, compacted, keys);
        minihost::index_store store(path);
        const uint64_t rounds = 20;
        auto start = clock_type::now();
        for (uint64_t i = 0; i < rounds; ++i) {
            const std::string data = rating(i + 1);
            store.write(track_index, 0, data.data(), data.size());
        }
        const double append = seconds_since(start) / double(rounds);
        const auto io = minihost::system_index_store_io();
        start = clock_type::now();
        for (uint64_t i = 0; i < rounds; ++i) io->replace(path + ".whole", compacted.data(), compacted.size());
        const double rewrite = seconds_since(start) / double(rounds);
        std::printf("one write into a store of %zu keys: append %.3f ms, whole file anew %.3f ms (%.0fx)\n", keys,
                    append * 1e3, rewrite * 1e3, rewrite / append);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "index-store-bench: %s\n", failure.what());
        std::filesystem::remove_all(folder);
        return 1;
    }
    std::filesystem::remove_all(folder);
    return 0;
}
