// The module input: recognises MOD, S3M and XM paths, opens instances that load the whole file
// into the module library, and decodes it as 44100 Hz stereo float audio. With "Loop modules for
// ever" on (the default) the audio never ends and has no length; off, it is the song's first pass,
// with its length, ending at its last frame, and seekable.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/input.h"

// The module library's record of one song and its playback (module.h), seen only by input_ambrel.cpp.
struct module_context;

namespace ambrel {

constexpr GUID input_ambrel_guid = {0xD9C01C8D, 0x69C5, 0x4EEC, {0xA2, 0x1C, 0x1D, 0x14, 0xEF, 0x65, 0xBF, 0x8B}};
constexpr char input_ambrel_name[] = "kiv_ambrel MOD input";
constexpr char input_type_name[] = "MOD Files";
constexpr char input_type_mask[] = "*.mod;*.s3m;*.xm";

constexpr unsigned input_sample_rate = 44100;  // Hz
constexpr unsigned input_channels = 2;
constexpr size_t input_block_frames = 1024;  // frames per run: 4096 bytes of 16-bit stereo
// The module library takes an image's length as a signed 32-bit count; larger files are refused.
constexpr uint64_t input_largest_file = 0x7FFFFFFF;

// Why an instance is opened; chooses the file's open mode.
enum class open_reason { info_read = 0, decode = 1, info_write = 2 };

// One opened module. The instance is one object, never copied; the wrappers below hold it.
class input_ambrel {
public:
    input_ambrel();
    ~input_ambrel();
    input_ambrel(const input_ambrel&) = delete;
    input_ambrel& operator=(const input_ambrel&) = delete;

    // Reads the whole file at `path` anew (the hint is not used), loads and starts the module,
    // and takes the loop setting as it stands now; not looping, it measures the first pass.
    // Raises exception_io_unsupported_format for data no loader takes, for an empty file and for
    // files of 2 GiB and more, std::bad_alloc when the length pass finds no memory; the host's
    // I/O and abort failures pass on.
    void open(service_ptr_t<file> hint, const char* path, open_reason reason, abort_callback& abort);
    void read_info(file_info& info) const;
    file_stats stats() const { return stats_; }
    // Renders the next input_block_frames frames into `chunk`, fewer for the last block of a pass;
    // false with `chunk` untouched once a pass that does not loop has ended.
    bool run(audio_chunk& chunk);
    bool loops_forever() const { return loops_forever_; }
    // Not looping: moves to the frame nearest `seconds`, 0 for negative times (and NaN), the end
    // for times beyond it. Looping: nothing. Raises std::bad_alloc when the pass finds no memory.
    void seek(double seconds);
    // Not looping: back to the start unless already there. Looping: nothing.
    void rewind();

private:
    std::vector<int16_t> render_buffer_;      // empty until the first run, then 4096 bytes for good
    std::unique_ptr<module_context> module_;  // owned, zeroed at construction; freed with module_free
    file_stats stats_{};                      // as the file was at open
    bool loops_forever_ = true;               // the setting at open
    uint64_t length_ = 0;                     // frames of the first pass; kept only when not looping
    uint64_t position_ = 0;                   // frames delivered since the start (or the last seek)
};

// The info reader operations, common to the three instance kinds: one subsong, index 0.
template <typename Interface>
class input_wrapper_singletrack_t : public Interface {
public:
    uint32_t count_subsongs() override { return 1; }
    uint32_t subsong_at(uint32_t) override { return 0; }
    void read_info(uint32_t subsong, file_info& info, abort_callback&) override {
        check_subsong(subsong);
        instance_.read_info(info);
    }
    file_stats query_file_stats(abort_callback&) override { return instance_.stats(); }

    input_ambrel& instance() { return instance_; }

protected:
    // Raises exception_io_bad_subsong_index for any subsong but 0.
    static void check_subsong(uint32_t subsong) {
        if (subsong != 0) throw velmora_io::exception_io_bad_subsong_index();
    }

    input_ambrel instance_;
};

class input_ambrel_decoder : public input_wrapper_singletrack_t<input_decoder_v4> {
public:
    void initialize(uint32_t subsong, unsigned, abort_callback&) override;
    bool run(audio_chunk& chunk, abort_callback& abort) override;
    void seek(double seconds, abort_callback&) override { instance_.seek(seconds); }
    bool can_seek() override { return !instance_.loops_forever(); }
    bool poll_stream_info(file_info&, double&) override { return false; }
    bool poll_track_info(file_info&, double&) override { return false; }
    void idle(abort_callback&) override {}
    bool run_with_raw(audio_chunk&, mem_block_container&, abort_callback&) override;
    void attach_logger(service_ptr_t<event_logger>) override {}
    void notify_pause(bool) override {}
    bool wants_flush_on_pause() override { return false; }
    intptr_t extended_query(const GUID&, size_t, void*, size_t) override { return 0; }
};

class input_ambrel_info_reader : public input_wrapper_singletrack_t<input_info_reader> {};

class input_ambrel_info_writer : public input_wrapper_singletrack_t<input_info_writer> {
public:
    void write_info(uint32_t subsong, const file_info& info, abort_callback& abort) override;
    void finish_write(abort_callback&) override {}
};

// The entry service, a singleton.
class input_ambrel_entry : public input_entry_v3 {
public:
    bool accepts_content_type(const char*) override { return false; }
    bool accepts_path(const char* path, const char* extension) override;
    void open_for_decoding(service_ptr_t<input_decoder>& out, service_ptr_t<file> hint, const char* path,
                           abort_callback& abort) override;
    void open_for_info_read(service_ptr_t<input_info_reader>& out, service_ptr_t<file> hint, const char* path,
                            abort_callback& abort) override;
    void open_for_info_write(service_ptr_t<input_info_writer>& out, service_ptr_t<file> hint, const char* path,
                             abort_callback& abort) override;
    void read_extra_data(service_ptr_t<file>, const playable_location&, const GUID&, mem_block_container&,
                         abort_callback&) override {}
    unsigned get_flags() override { return 0; }
    GUID get_guid() override { return input_ambrel_guid; }
    const char* get_name() override { return input_ambrel_name; }
    GUID get_settings_page_guid() override { return GUID{}; }
    bool is_last_resort() override { return false; }
    void open_instance(service_ptr& out, const GUID& interface_guid, service_ptr_t<file> hint, const char* path,
                       service_ptr_t<event_logger> logger, abort_callback& abort) override;
};

// The file type registration, a singleton.
class input_file_type_impl : public input_file_type {
public:
    unsigned count_types() override { return 1; }
    bool type_name(unsigned index, zorb::string_base& out) override;
    bool type_mask(unsigned index, zorb::string_base& out) override;
    bool may_associate(unsigned) override { return true; }
};

}  // namespace ambrel
