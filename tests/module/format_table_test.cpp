#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "module.h"

namespace {

TEST(FormatTable, ListsS3mXmModThenTerminator) {
    ASSERT_NE(module_formats[0].probe, nullptr);
    EXPECT_EQ(module_formats[0].format_id(), module_format_s3m);
    EXPECT_STREQ(module_formats[0].name(), "Future Crew Screamtracker 3");
    EXPECT_STREQ(module_formats[0].version(), "v0.01b");
    EXPECT_EQ(module_formats[1].format_id(), module_format_xm);
    EXPECT_STREQ(module_formats[1].name(), "Triton FastTracker II Extended Module");
    EXPECT_STREQ(module_formats[1].version(), "v0.01b");
    EXPECT_EQ(module_formats[2].format_id(), module_format_mod);
    EXPECT_STREQ(module_formats[2].name(), "Amiga Pro/Soundtracker");
    EXPECT_STREQ(module_formats[2].version(), "v0.03b");
    // S3M and MOD share an author, S3M and XM a copyright line.
    EXPECT_EQ(module_formats[0].author, module_formats[2].author);
    EXPECT_STREQ(module_formats[0].author(), module_formats[2].author());
    EXPECT_STRNE(module_formats[0].author(), module_formats[1].author());
    EXPECT_STREQ(module_formats[0].copyright(), module_formats[1].copyright());
    EXPECT_STRNE(module_formats[0].copyright(), module_formats[2].copyright());
    const module_format& end = module_formats[3];
    EXPECT_EQ(end.load, nullptr);
    EXPECT_EQ(end.probe, nullptr);
    EXPECT_EQ(end.name, nullptr);
}

TEST(ModuleLoad, RefusesBadArguments) {
    module_context context;
    std::memset(&context, 0, sizeof context);
    std::vector<u8> data(2000, 0);
    EXPECT_EQ(module_load(nullptr, 10, &context), -1);
    EXPECT_EQ(module_load(data.data(), 0, &context), -1);
    EXPECT_EQ(module_load(data.data(), -5, &context), -1);
    EXPECT_EQ(module_load(data.data(), 10, nullptr), -1);
    EXPECT_EQ(context.loaded, 0);
}

TEST(ModuleLoad, ShortDataIsRefusedByEveryFormat) {
    for (i32 size = 1; size <= 47; ++size) {
        std::vector<u8> data(size, 0x41);
        module_context context;
        std::memset(&context, 0, sizeof context);
        EXPECT_EQ(module_load(data.data(), size, &context), -1) << size;
        EXPECT_EQ(context.loaded, 0);
        EXPECT_EQ(context.patterns, nullptr);
    }
}

TEST(ModuleFree, EmptyRecordIsLeftAlone) {
    module_context context;
    std::memset(&context, 0xAB, sizeof context);
    context.loaded = 0;
    module_free(&context);  // must not touch the garbage pointers
    EXPECT_EQ(context.loaded, 0);
    module_free(nullptr);
}

}  // namespace
