// What the MOD, S3M and XM loader tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module.h"

// A file of the source tree, by its path from the tree's root.
inline std::vector<uint8_t> source_file(const std::string& path) {
    std::ifstream in(std::string(AMBREL_SOURCE_DIR) + "/" + path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using load_function = i32 (*)(const u8*, i32, module_context*);

// A record loaded from `file` by `load` and released when the test ends. A format's own loader
// leaves `loaded` to the format table, so a song it loaded is marked here for module_free.
struct loaded_song {
    module_context context;
    i32 result;

    explicit loaded_song(const std::vector<uint8_t>& file, load_function load = module_load) {
        std::memset(&context, 0, sizeof context);
        result = load(file.data(), static_cast<i32>(file.size()), &context);
    }
    ~loaded_song() {
        if (result >= 0) context.loaded = 1;
        module_free(&context);
    }
    loaded_song(const loaded_song&) = delete;
    loaded_song& operator=(const loaded_song&) = delete;

    const module_cell& cell(int pattern, int row, int column) const {
        return context.patterns[pattern][static_cast<size_t>(row) * context.channel_count + column];
    }
    const module_cell& global(int pattern, int row) const { return cell(pattern, row, context.channel_count - 1); }
    const module_sample& sample(int index) const { return context.samples[index]; }
    // The frames of a sample as the player reads them: `length` values of T.
    template <class T>
    std::vector<T> frames(int index) const {
        const module_sample& s = context.samples[index];
        const T* values = static_cast<const T*>(s.data);
        return values ? std::vector<T>(values, values + s.length) : std::vector<T>();
    }
};

// A failed load leaves the record without any song block.
inline void expect_empty_record(const module_context& context) {
    EXPECT_EQ(context.loaded, 0);
    EXPECT_EQ(context.patterns, nullptr);
    EXPECT_EQ(context.pattern_rows, nullptr);
    EXPECT_EQ(context.instruments, nullptr);
    EXPECT_EQ(context.samples, nullptr);
    EXPECT_EQ(context.format_id, 0u);
}

inline void expect_refused(const std::vector<uint8_t>& file, load_function load = module_load) {
    loaded_song song(file, load);
    EXPECT_EQ(song.result, -1);
    expect_empty_record(song.context);
}

// Without a loop both points sit on the last frame (0xffffffff for an empty sample).
inline void expect_sample(const module_sample& sample, u32 length, i32 looped, u32 loop_start, u32 loop_end) {
    EXPECT_EQ(sample.length, length);
    EXPECT_EQ(sample.looped, looped);
    EXPECT_EQ(sample.loop_start, loop_start);
    EXPECT_EQ(sample.loop_end, loop_end);
    EXPECT_EQ(sample.data == nullptr, length == 0);
}

inline void expect_unlooped(const module_sample& sample, u32 length) {
    expect_sample(sample, length, 0, length - 1, length - 1);
}

// What every loaded sample must hold whatever its header said; returns the frames of all samples.
inline size_t expect_samples_well_formed(const module_context& context) {
    size_t frames = 0;
    for (i32 s = 0; s < context.sample_count; ++s) {
        const module_sample& sample = context.samples[s];
        EXPECT_EQ(sample.length == 0, sample.data == nullptr) << s;
        if (sample.looped) {
            EXPECT_LT(sample.loop_start, sample.loop_end) << s;
            EXPECT_LE(sample.loop_end, sample.length) << s;
        } else {
            EXPECT_EQ(sample.loop_start, sample.length - 1) << s;
            EXPECT_EQ(sample.loop_end, sample.length - 1) << s;
        }
        frames += sample.length;
    }
    return frames;
}

// Loads every prefix of `file`, each in a block of its own size so that the sanitizers see any
// read past it; `check(size, song)` then says what that prefix must give.
template <class Check>
void load_every_prefix(const std::vector<uint8_t>& file, load_function load, Check check) {
    for (size_t size = 0; size <= file.size(); ++size) {
        std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        prefix.reserve(1);  // a valid pointer for the empty prefix too
        loaded_song song(prefix, load);
        ASSERT_TRUE(song.result == 0 || song.result == -1) << size << " bytes gave " << song.result;
        if (song.result) expect_empty_record(song.context);
        check(size, song);
        if (testing::Test::HasFatalFailure()) return;
    }
}
