// The module input in-process against host objects that misbehave on purpose.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>

#include "host/service_lookup.h"
#include "minihost/host/input_registry.h"
#include "module.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"

namespace {

using test_support::failure_text;

// Files in memory under fake://NAME. A file may claim another size than the bytes it delivers,
// and its reads may fail; every read is counted.
class fake_filesystem : public filesystem {
public:
    struct entry {
        uint64_t size;
        std::vector<uint8_t> bytes;
        bool read_fails = false;
    };

    bool is_our_path(const char* path) override { return std::string_view(path).starts_with("fake://"); }
    void get_display_path(const char* path, zorb::string_base& out) override { out.set_string(path + 7); }
    void open(service_ptr_t<file>& out, const char* path, open_mode, abort_callback& abort) override {
        abort.check();
        auto found = files.find(path);
        if (found == files.end()) throw velmora_io::exception_io_not_found();
        out = service_ptr_t<file>(new service_impl_t<fake_file>(found->second, reads));
    }

    std::map<std::string, entry> files;
    std::atomic<int> reads{0};

private:
    class fake_file : public file {
    public:
        fake_file(const entry& content, std::atomic<int>& reads) : content_(content), reads_(reads) {}
        uint64_t get_size(abort_callback&) override { return content_.size; }
        uint64_t get_timestamp(abort_callback&) override { return 132000000000000000; }
        size_t read(void* buffer, size_t byte_count, abort_callback&) override {
            ++reads_;
            if (content_.read_fails) throw velmora_io::exception_io("Disk removed");
            const size_t count = std::min(byte_count, content_.bytes.size() - position_);
            if (count) std::memcpy(buffer, content_.bytes.data() + position_, count);
            position_ += count;
            return count;
        }
        void write(const void*, size_t, abort_callback&) override { throw velmora_io::exception_io_denied(); }

    private:
        const entry& content_;
        std::atomic<int>& reads_;
        size_t position_ = 0;
    };
};

class counting_logger : public event_logger {
public:
    void log_entry(const char*, unsigned) override { ++entries; }
    std::atomic<int> entries{0};
};

class InputInHost : public ::testing::Test {
protected:
    void SetUp() override {
        host.add_service(filesystem::class_guid, files);
        host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
        // The host has an input of its own for WAV files; the module input is the one for modules.
        entry = minihost::input_registry(host).find("song.mod").query_as<input_entry_v3>();
        ASSERT_TRUE(entry);
    }
    void add_file(const std::string& path, uint64_t size, std::vector<uint8_t> bytes, bool read_fails = false) {
        files->files[path] = {size, std::move(bytes), read_fails};
    }
    // What opening a decoder on `path` raises; the out reference must stay empty.
    std::string open_failure(const std::string& path, abort_callback& abort) {
        service_ptr_t<input_decoder> decoder;
        const std::string text = failure_text([&] { entry->open_for_decoding(decoder, {}, path.c_str(), abort); });
        EXPECT_FALSE(decoder) << path;
        return text;
    }
    std::string open_failure(const std::string& path) {
        abort_callback_dummy abort;
        return open_failure(path, abort);
    }

    test_support::scratch_folder folder{"input-host"};
    service_ptr_t<fake_filesystem> files{new service_impl_t<fake_filesystem>()};
    minihost::host host{folder.file("config.bin")};
    service_ptr_t<input_entry_v3> entry;
};

// Files of 2 GiB and more are refused before any read; what the host raises passes through unchanged.
TEST_F(InputInHost, OpeningFailsWithTheHostsFailureOrForASizeTheLibraryCannotTake) {
    add_file("fake://2gib.xm", uint64_t(1) << 31, {});
    add_file("fake://4gib.xm", (uint64_t(1) << 32) + 1, {});
    add_file("fake://failing.xm", 5000, {}, true);
    const std::pair<const char*, const char*> cases[] = {{"fake://2gib.xm", "Unsupported file format"},
                                                         {"fake://4gib.xm", "Unsupported file format"},
                                                         {"fake://failing.xm", "Disk removed"},
                                                         {"fake://missing.xm", "Object not found"},
                                                         {"ftp://server/song.xm", "Unsupported file path"}};
    for (const auto& [path, failure] : cases) EXPECT_EQ(open_failure(path), failure);
    EXPECT_EQ(files->reads, 1);  // of the failing file only

    class aborted final : public abort_callback {
    public:
        bool is_aborting() const override { return true; }
    } abort;
    EXPECT_EQ(open_failure(test_support::demo_song("demo.xm"), abort), "User abort");
}

TEST_F(InputInHost, OnlyTheBytesTheFileDeliversAreLoaded) {
    // 4000 zero bytes pass for a MOD, so filling up a short read would have made a song of nothing.
    std::vector<uint8_t> zeros(4000);
    module_context scratch{};
    ASSERT_EQ(module_load(zeros.data(), int32_t(zeros.size()), &scratch), 0);
    module_free(&scratch);
    add_file("fake://shrunk.mod", zeros.size(), {});
    EXPECT_EQ(open_failure("fake://shrunk.mod"), "Unsupported file format");

    // A file that grew a tail after its size was taken: the tail is not read.
    const std::vector<uint8_t> song = test_support::read_bytes(test_support::demo_song("demo.mod"));
    std::vector<uint8_t> longer = song;
    longer.resize(song.size() + 100, 0xFF);
    add_file("fake://grown.mod", song.size(), longer);
    add_file("fake://plain.mod", song.size(), song);
    service_ptr_t<input_decoder> grown, plain;
    abort_callback_dummy abort;
    entry->open_for_decoding(grown, {}, "fake://grown.mod", abort);
    entry->open_for_decoding(plain, {}, "fake://plain.mod", abort);
    EXPECT_EQ(test_support::decode_blocks(*grown, 50), test_support::decode_blocks(*plain, 50));
}

TEST_F(InputInHost, HintAndLoggerAreNeitherUsedNorKept) {
    add_file("fake://hint.xm", 5000, {}, true);
    abort_callback_dummy abort;
    service_ptr_t<file> hint = filesystem::g_open(host, "fake://hint.xm", filesystem::open_mode_read, abort);
    service_ptr_t<counting_logger> logger(new service_impl_t<counting_logger>());
    service_ptr instance;
    entry->open_instance(instance, input_decoder::class_guid, hint, test_support::demo_song("demo.s3m").c_str(), logger,
                         abort);
    auto decoder = instance.query_as<input_decoder>();
    ASSERT_TRUE(decoder);
    test_support::decode_blocks(*decoder, 20);
    EXPECT_EQ(files->reads, 0);  // the file is opened anew
    EXPECT_EQ(logger->entries, 0);
    // Ours are the only references left.
    EXPECT_EQ(hint->add_ref(), 2);
    EXPECT_EQ(logger->add_ref(), 2);
    hint->release();
    logger->release();
}

TEST_F(InputInHost, LastResortInputsAreAskedAfterTheOthers) {
    class catch_all_input : public input_entry_v2 {
    public:
        bool accepts_content_type(const char*) override { return false; }
        bool accepts_path(const char*, const char*) override { return true; }
        void open_for_decoding(service_ptr_t<input_decoder>&, service_ptr_t<file>, const char*,
                               abort_callback&) override {}
        void open_for_info_read(service_ptr_t<input_info_reader>&, service_ptr_t<file>, const char*,
                                abort_callback&) override {}
        void open_for_info_write(service_ptr_t<input_info_writer>&, service_ptr_t<file>, const char*,
                                 abort_callback&) override {}
        void read_extra_data(service_ptr_t<file>, const playable_location&, const GUID&, mem_block_container&,
                             abort_callback&) override {}
        unsigned get_flags() override { return 0; }
        GUID get_guid() override { return GUID{}; }
        const char* get_name() override { return "catch-all"; }
        GUID get_settings_page_guid() override { return GUID{}; }
        bool is_last_resort() override { return true; }
    };
    test_support::scratch_folder other_folder("input-last-resort");
    minihost::host other(other_folder.file("config.bin"));
    other.add_service(input_entry::class_guid, service_ptr(new service_impl_t<catch_all_input>()));
    other.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"});
    minihost::input_registry inputs(other);
    EXPECT_EQ(minihost::input_name(inputs.find("C:\\music\\song.XM")), "kiv_ambrel MOD input");
    EXPECT_EQ(minihost::input_name(inputs.find("C:\\music\\song.flac")), "catch-all");

    minihost::input_registry only_ours(host);
    EXPECT_EQ(failure_text([&] { only_ours.find("C:\\music\\song.flac"); }), "Unsupported file format");
}

}  // namespace
