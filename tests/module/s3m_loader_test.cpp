#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "loader.h"
#include "module.h"
#include "s3m_writer.h"

namespace {

// A zeroed record that releases whatever a test leaves loaded.
struct loaded_song {
    module_context context;
    loaded_song() { std::memset(&context, 0, sizeof context); }
    ~loaded_song() { module_free(&context); }
    i32 load(const std::vector<uint8_t> &file) {
        return module_load(file.data(), static_cast<i32>(file.size()), &context);
    }
    const module_cell &cell(i32 pattern, u32 row, i32 column) const {
        return context.patterns[pattern][row * context.channel_count + column];
    }
    const module_cell &global(i32 pattern, u32 row) const { return cell(pattern, row, context.channel_count - 1); }
};

TEST(S3mLoader, MinimalSongLoads) {
    loaded_song song;
    ASSERT_EQ(song.load(write_s3m(s3m_song{})), 0);
    EXPECT_EQ(song.context.format_id, module_format_s3m);
    EXPECT_EQ(song.context.loaded, 1);
    EXPECT_EQ(song.context.channel_count, 5);
    EXPECT_EQ(song.context.pattern_count, 1);
    EXPECT_EQ(song.context.pattern_rows[0], 64u);
}

}  // namespace
