#include "component/input_ambrel.h"

#include <cmath>
#include <new>
#include <type_traits>

#include "helpers/client.h"
#include "host/shared.h"
#include "module.h"
#include "sample/preferences/loop_setting.h"

namespace ambrel {
namespace {

constexpr uint8_t full_master_volume = 64;

filesystem::open_mode open_mode_for(open_reason reason) {
    switch (reason) {
        case open_reason::info_read:
        case open_reason::decode:
            return filesystem::open_mode_read;
        case open_reason::info_write:
            return filesystem::open_mode_write_existing;
    }
    uBugCheck("kiv_ambrel: an input instance was opened for no known reason");
}

// Opens a new instance of wrapper type W for `reason` and hands it over with one reference; a
// failed open releases it.
template <typename W>
service_ptr_t<W> open_wrapper(service_ptr_t<file> hint, const char* path, open_reason reason,
                              service_ptr_t<event_logger> logger, abort_callback& abort) {
    service_ptr_t<W> wrapper(new service_impl_t<W>());
    if constexpr (std::is_base_of_v<input_decoder_v2, W>) {
        if (logger) wrapper->attach_logger(logger);
    }
    wrapper->instance().open(std::move(hint), path, reason, abort);
    return wrapper;
}

// What open_instance stored, seen as the interface I it was opened for.
template <typename I>
service_ptr_t<I> as_interface(const service_ptr& instance) {
    return service_ptr_t<I>(static_cast<I*>(instance.get()));
}

}  // namespace

input_ambrel::input_ambrel() : module_(std::make_unique<module_context>()) {}

input_ambrel::~input_ambrel() { module_free(module_.get()); }

void input_ambrel::open(service_ptr_t<file> hint, const char* path, open_reason reason, abort_callback& abort) {
    hint.reset();
    const filesystem::open_mode mode = open_mode_for(reason);
    std::vector<uint8_t> image;
    {
        service_ptr_t<file> source = filesystem::g_open(host(), path, mode, abort);
        const uint64_t size = source->get_size(abort);
        stats_ = {size, source->get_timestamp(abort)};
        if (size > input_largest_file) throw velmora_io::exception_io_unsupported_format();
        image.resize(static_cast<size_t>(size));
        // A file that shrank since its size was taken yields fewer bytes: only those are loaded,
        // never the rest of the buffer.
        if (size) image.resize(source->read(image.data(), image.size(), abort));
    }
    if (image.empty() || module_load(image.data(), static_cast<int32_t>(image.size()), module_.get()) < 0)
        throw velmora_io::exception_io_unsupported_format();
    module_->master_volume = full_master_volume;
    // Start first: it takes its tick length from the output rate, which setting the format then
    // fixes at 44100 Hz together with the samples per tick and the mix buffer.
    module_start(module_.get());
    module_set_output_format(module_.get());
    loops_forever_ = modules_loop_forever();
    if (loops_forever_) return;
    module_pass pass{};
    // A pass that reached the row cap still has a length: the frames up to the cap.
    if (module_song_length(module_.get(), &pass) < 0) throw std::bad_alloc();
    length_ = pass.frames;
}

void input_ambrel::read_info(file_info& info) const {
    info.info_set("samplerate", "44100");
    info.info_set("channels", "2");
    info.info_set("bitspersample", "16");
    info.info_set("encoding", "lossless");
    info.info_set("bitrate", "1411");
    if (!loops_forever_) info.set_length(static_cast<double>(length_) / input_sample_rate);
}

bool input_ambrel::run(audio_chunk& chunk) {
    size_t frames = input_block_frames;
    if (!loops_forever_) {
        if (position_ >= length_) return false;
        if (length_ - position_ < frames) frames = static_cast<size_t>(length_ - position_);
    }
    constexpr size_t block_samples = input_block_frames * input_channels;
    render_buffer_.resize(block_samples);
    module_->output_buffer = render_buffer_.data();
    module_->output_size = static_cast<int32_t>(block_samples * sizeof(int16_t));
    module_render(module_.get());
    const size_t samples = frames * input_channels;
    chunk.set_data_size(samples);
    audio_math::convert_from_int16(render_buffer_.data(), samples, chunk.get_data(), 1.0f);
    chunk.set_sample_count(frames);
    chunk.set_sample_rate(input_sample_rate);
    chunk.set_channels(input_channels, channel_config_stereo);
    position_ += frames;
    return true;
}

void input_ambrel::seek(double seconds) {
    if (loops_forever_) return;
    const double wanted = seconds * input_sample_rate;
    uint64_t frame = 0;
    if (wanted >= static_cast<double>(length_))
        frame = length_;
    else if (wanted > 0)
        frame = static_cast<uint64_t>(std::llround(wanted));
    if (module_seek(module_.get(), frame) < 0) throw std::bad_alloc();
    position_ = frame;
}

void input_ambrel::rewind() {
    if (position_ != 0) seek(0);
}

void input_ambrel_decoder::initialize(uint32_t subsong, unsigned, abort_callback&) {
    check_subsong(subsong);
    instance_.rewind();
}

bool input_ambrel_decoder::run(audio_chunk& chunk, abort_callback&) { return instance_.run(chunk); }

bool input_ambrel_decoder::run_with_raw(audio_chunk&, mem_block_container&, abort_callback&) {
    throw zorb::exception_not_implemented();
}

void input_ambrel_info_writer::write_info(uint32_t subsong, const file_info&, abort_callback&) {
    check_subsong(subsong);
    throw velmora_io::exception_io_unsupported_format();
}

bool input_ambrel_entry::accepts_path(const char*, const char* extension) {
    if (extension == nullptr) return false;
    for (const char* accepted : {"mod", "s3m", "xm"})
        if (stricmp_utf8(extension, accepted) == 0) return true;
    return false;
}

void input_ambrel_entry::open_for_decoding(service_ptr_t<input_decoder>& out, service_ptr_t<file> hint,
                                           const char* path, abort_callback& abort) {
    service_ptr instance;
    open_instance(instance, input_decoder::class_guid, std::move(hint), path, {}, abort);
    out = as_interface<input_decoder>(instance);
}

void input_ambrel_entry::open_for_info_read(service_ptr_t<input_info_reader>& out, service_ptr_t<file> hint,
                                            const char* path, abort_callback& abort) {
    service_ptr instance;
    open_instance(instance, input_info_reader::class_guid, std::move(hint), path, {}, abort);
    out = as_interface<input_info_reader>(instance);
}

void input_ambrel_entry::open_for_info_write(service_ptr_t<input_info_writer>& out, service_ptr_t<file> hint,
                                             const char* path, abort_callback& abort) {
    service_ptr instance;
    open_instance(instance, input_info_writer::class_guid, std::move(hint), path, {}, abort);
    out = as_interface<input_info_writer>(instance);
}

void input_ambrel_entry::open_instance(service_ptr& out, const GUID& interface_guid, service_ptr_t<file> hint,
                                       const char* path, service_ptr_t<event_logger> logger, abort_callback& abort) {
    if (interface_guid == input_decoder::class_guid)
        out = open_wrapper<input_ambrel_decoder>(std::move(hint), path, open_reason::decode, std::move(logger), abort);
    else if (interface_guid == input_info_reader::class_guid)
        out = open_wrapper<input_ambrel_info_reader>(std::move(hint), path, open_reason::info_read, {}, abort);
    else if (interface_guid == input_info_writer::class_guid)
        out = open_wrapper<input_ambrel_info_writer>(std::move(hint), path, open_reason::info_write, {}, abort);
    else
        throw zorb::exception_not_implemented();
}

bool input_file_type_impl::type_name(unsigned index, zorb::string_base& out) {
    if (index != 0) return false;
    out.set_string(input_type_name);
    return true;
}

bool input_file_type_impl::type_mask(unsigned index, zorb::string_base& out) {
    if (index != 0) return false;
    out.set_string(input_type_mask);
    return true;
}

}  // namespace ambrel
