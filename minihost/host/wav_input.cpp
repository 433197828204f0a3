#include "minihost/host/wav_input.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <type_traits>

#include "minihost/host/filesystem.h"
#include "zorb/files.h"
#include "zorb/string.h"

namespace minihost {
namespace {

// A host file as the parser's byte source. Reads at an offset, seeking only where the last read
// did not end; the abort object is that of the operation under way.
class file_source final : public byte_source {
public:
    file_source(service_ptr_t<file> opened, abort_callback& abort)
        : file_(std::move(opened)), abort_(&abort), size_(file_->get_size(abort)) {}

    uint64_t size() override { return size_; }
    size_t read_at(uint64_t offset, void* buffer, size_t count) override {
        if (offset != position_) {
            file_->seek(offset, *abort_);
            position_ = offset;
        }
        const size_t got = file_->read(buffer, count, *abort_);
        position_ += got;
        return got;
    }
    void use_abort(abort_callback& abort) { abort_ = &abort; }
    uint64_t timestamp() { return file_->get_timestamp(*abort_); }

private:
    service_ptr_t<file> file_;
    abort_callback* abort_;
    uint64_t size_;
    uint64_t position_ = UINT64_MAX;  // unknown: a hint may have been read already
};

class stream_sink final : public byte_sink {
public:
    explicit stream_sink(std::ostream& stream) : stream_(stream) {}
    void write(const void* data, size_t size) override {
        errno = 0;
        stream_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!stream_) {
            const std::string reason = errno ? std::strerror(errno) : "the new file could not be written";
            throw velmora_io::exception_io("Cannot write the new file: " + reason);
        }
    }

private:
    std::ostream& stream_;
};

// One opened file: what every instance answers. Only decoders keep the file open: a file open
// here could not be replaced on Windows, not even by the info writer's own commit.
class wav_instance {
public:
    void open(host_api& api, service_ptr_t<file> hint, const char* path, bool keep_open, abort_callback& abort) {
        service_ptr_t<file> opened = hint ? hint : filesystem::g_open(api, path, filesystem::open_mode_read, abort);
        source_.emplace(std::move(opened), abort);
        parsed_ = parse_wave(*source_);
        stats_ = {parsed_.file_size, source_->timestamp()};
        if (!keep_open) source_.reset();
    }

    const wave_file& parsed() const { return parsed_; }
    file_source& source(abort_callback& abort) {
        source_->use_abort(abort);
        return *source_;
    }
    file_stats stats() const { return stats_; }

private:
    std::optional<file_source> source_;
    wave_file parsed_;
    file_stats stats_{};
};

// The info reader operations, common to the three instance kinds: one subsong, index 0.
template <typename Interface>
class wav_reader_t : public Interface {
public:
    uint32_t count_subsongs() override { return 1; }
    uint32_t subsong_at(uint32_t) override { return 0; }
    void read_info(uint32_t subsong, file_info& info, abort_callback& abort) override {
        check_subsong(subsong);
        abort.check();
        read_wave_info(instance_.parsed(), info);
    }
    file_stats query_file_stats(abort_callback&) override { return instance_.stats(); }

    void open(host_api& api, service_ptr_t<file> hint, const char* path, abort_callback& abort) {
        api_ = &api;
        path_ = path;
        instance_.open(api, std::move(hint), path, std::is_base_of_v<input_decoder, Interface>, abort);
    }

protected:
    static void check_subsong(uint32_t subsong) {
        if (subsong != 0) throw velmora_io::exception_io_bad_subsong_index();
    }

    host_api* api_ = nullptr;
    std::string path_;
    wav_instance instance_;
};

class wav_info_reader : public wav_reader_t<input_info_reader> {};

class wav_decoder : public wav_reader_t<input_decoder_v4> {
public:
    void initialize(uint32_t subsong, unsigned, abort_callback& abort) override {
        check_subsong(subsong);
        abort.check();
        frame_ = 0;
    }
    bool run(audio_chunk& chunk, abort_callback& abort) override { return decode(chunk, nullptr, abort); }
    bool run_with_raw(audio_chunk& chunk, mem_block_container& raw, abort_callback& abort) override {
        return decode(chunk, &raw, abort);
    }
    void seek(double seconds, abort_callback& abort) override {
        abort.check();
        const wave_file& parsed = instance_.parsed();
        const double frame = seconds * parsed.format.sample_rate;
        // Before the start (and NaN) is the start; past the end is the end.
        frame_ = frame > 0 ? std::min<uint64_t>(parsed.frames, static_cast<uint64_t>(std::min(frame + 0.5, 1e19))) : 0;
    }
    bool can_seek() override { return true; }
    bool poll_stream_info(file_info&, double&) override { return false; }
    bool poll_track_info(file_info&, double&) override { return false; }
    void idle(abort_callback&) override {}
    void attach_logger(service_ptr_t<event_logger>) override {}
    void notify_pause(bool) override {}
    bool wants_flush_on_pause() override { return false; }
    intptr_t extended_query(const GUID&, size_t, void*, size_t) override { return 0; }

private:
    bool decode(audio_chunk& chunk, mem_block_container* raw, abort_callback& abort) {
        abort.check();
        const wave_file& parsed = instance_.parsed();
        const wave_format& format = parsed.format;
        const uint64_t wanted = std::min<uint64_t>(wav_block_frames, parsed.frames - std::min(frame_, parsed.frames));
        if (wanted == 0) return false;
        bytes_.resize(static_cast<size_t>(wanted) * format.block_align);
        const size_t got = instance_.source(abort).read_at(parsed.data_offset() + frame_ * format.block_align,
                                                           bytes_.data(), bytes_.size());
        // A file that shrank since it was opened ends where its bytes do.
        const size_t frames = got / format.block_align;
        if (frames == 0) return false;
        const size_t samples = frames * format.channels;
        chunk.set_data_size(samples);
        wave_samples_to_float(format, bytes_.data(), samples, chunk.get_data());
        chunk.set_sample_count(frames);
        chunk.set_sample_rate(format.sample_rate);
        chunk.set_channels(format.channels, format.channel_config);
        if (raw) {
            raw->set_size(frames * format.block_align);
            std::memcpy(raw->get_ptr(), bytes_.data(), frames * format.block_align);
        }
        frame_ += frames;
        return true;
    }

    uint64_t frame_ = 0;  // the next frame to decode, 0..frames
    std::vector<uint8_t> bytes_;
};

class wav_info_writer : public wav_reader_t<input_info_writer> {
public:
    void write_info(uint32_t subsong, const file_info& info, abort_callback& abort) override {
        check_subsong(subsong);
        abort.check();
        pending_ = info_tags_of(info);
    }

    // The file is written anew beside itself from what it holds now, and only a complete new file
    // takes its place.
    void finish_write(abort_callback& abort) override {
        if (!pending_) return;
        if (!is_local_path(path_)) throw velmora_io::exception_io_denied("Tags are written to local files only");
        zorb::replace_file_with(local_path_of(path_), "tags to", [&](std::ostream& content) {
            file_source current(filesystem::g_open(*api_, path_.c_str(), filesystem::open_mode_read, abort), abort);
            const wave_file now = parse_wave(current);
            stream_sink sink(content);
            write_wave_with_tags(current, now, *pending_, sink, abort);
        });
        pending_.reset();
        instance_.open(*api_, {}, path_.c_str(), false, abort);
    }

private:
    std::optional<std::vector<info_tag>> pending_;  // the tags write_info stored, until finish_write
};

class wav_input_entry : public input_entry_v3 {
public:
    explicit wav_input_entry(host_api& api) : api_(api) {}

    bool accepts_content_type(const char* type) override {
        for (const char* accepted : {"audio/wav", "audio/x-wav", "audio/wave", "audio/vnd.wave"})
            if (type && zorb::equal_ascii_nocase(type, accepted)) return true;
        return false;
    }
    bool accepts_path(const char*, const char* extension) override {
        return extension && zorb::equal_ascii_nocase(extension, "wav");
    }
    void open_for_decoding(service_ptr_t<input_decoder>& out, service_ptr_t<file> hint, const char* path,
                           abort_callback& abort) override {
        out = open<wav_decoder>(std::move(hint), path, abort);
    }
    void open_for_info_read(service_ptr_t<input_info_reader>& out, service_ptr_t<file> hint, const char* path,
                            abort_callback& abort) override {
        out = open<wav_info_reader>(std::move(hint), path, abort);
    }
    void open_for_info_write(service_ptr_t<input_info_writer>& out, service_ptr_t<file> hint, const char* path,
                             abort_callback& abort) override {
        out = open<wav_info_writer>(std::move(hint), path, abort);
    }
    void read_extra_data(service_ptr_t<file>, const playable_location&, const GUID&, mem_block_container&,
                         abort_callback&) override {}
    unsigned get_flags() override { return 0; }
    GUID get_guid() override { return wav_input_guid; }
    const char* get_name() override { return wav_input_name; }
    GUID get_settings_page_guid() override { return GUID{}; }
    bool is_last_resort() override { return false; }
    void open_instance(service_ptr& out, const GUID& interface_guid, service_ptr_t<file> hint, const char* path,
                       service_ptr_t<event_logger>, abort_callback& abort) override {
        if (interface_guid == input_decoder::class_guid)
            out = open<wav_decoder>(std::move(hint), path, abort);
        else if (interface_guid == input_info_reader::class_guid)
            out = open<wav_info_reader>(std::move(hint), path, abort);
        else if (interface_guid == input_info_writer::class_guid)
            out = open<wav_info_writer>(std::move(hint), path, abort);
        else
            throw zorb::exception_not_implemented();
    }

private:
    template <typename Instance>
    service_ptr_t<Instance> open(service_ptr_t<file> hint, const char* path, abort_callback& abort) {
        service_ptr_t<Instance> instance(new service_impl_t<Instance>());
        instance->open(api_, std::move(hint), path, abort);
        return instance;
    }

    host_api& api_;
};

std::string decimal(uint64_t value) { return std::to_string(value); }

}  // namespace

service_ptr make_wav_input(host_api& api) { return service_ptr(new service_impl_t<wav_input_entry>(api)); }

std::vector<info_tag> info_tags_of(const file_info& info) {
    std::vector<info_tag> tags;
    for (size_t field = 0; field < info.meta_get_count(); ++field) {
        const std::string id = info_id_of_field(info.meta_enum_name(field));
        if (id.empty()) continue;
        std::string joined;
        for (size_t value = 0; value < info.meta_enum_value_count(field); ++value) {
            const std::string_view text = info.meta_enum_value(field, value);
            if (text.empty()) continue;
            if (!joined.empty()) joined += "; ";
            joined += text;
        }
        if (joined.empty()) continue;
        const auto same_id = std::find_if(tags.begin(), tags.end(), [&](const info_tag& tag) { return tag.id == id; });
        if (same_id != tags.end())
            same_id->value += "; " + joined;
        else
            tags.push_back({id, joined});
    }
    return tags;
}

void read_wave_info(const wave_file& parsed, file_info& info) {
    const wave_format& format = parsed.format;
    info.set_length(static_cast<double>(parsed.frames) / format.sample_rate);
    info.info_set("codec", format.encoding == sample_encoding::floating ? "PCM (floating point)" : "PCM");
    info.info_set("encoding", "lossless");
    const double bits_per_second = 8.0 * format.block_align * format.sample_rate;
    info.info_set("bitrate", decimal(static_cast<uint64_t>(std::llround(bits_per_second / 1000))).c_str());
    info.info_set("samplerate", decimal(format.sample_rate).c_str());
    info.info_set("channels", decimal(format.channels).c_str());
    info.info_set("bitspersample", decimal(format.bits).c_str());
    if (format.format_tag == 0xFFFE) {
        char mask[16];
        std::snprintf(mask, sizeof mask, "0x%X", format.channel_mask);
        info.info_set("channel_mask", mask);
    }
    for (const info_tag& tag : parsed.tags) info.meta_add(info_field_name(tag.id).c_str(), tag.value.c_str());
}

}  // namespace minihost
