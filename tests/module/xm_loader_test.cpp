#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "module.h"
#include "xm_writer.h"

namespace {

struct loaded_song {
    module_context context;
    i32 result;
    explicit loaded_song(const std::vector<uint8_t> &file) {
        std::memset(&context, 0, sizeof context);
        result = module_load(file.data(), static_cast<i32>(file.size()), &context);
    }
    ~loaded_song() { module_free(&context); }
};

TEST(XmLoader, DefaultWriterSongLoads) {
    loaded_song song(write_xm(xm_song{}));
    ASSERT_EQ(song.result, 0);
    EXPECT_EQ(song.context.format_id, module_format_xm);
    EXPECT_EQ(song.context.channel_count, 5);
    EXPECT_EQ(song.context.pattern_count, 1);
    EXPECT_EQ(song.context.pattern_rows[0], 64u);
}

}  // namespace
