#include "sample/capture/wav_writer.h"

#include <bit>
#include <limits>

#include "helpers/client.h"
#include "host/service_lookup.h"

namespace ambrel {
namespace {

constexpr uint32_t size_placeholder = 0xFFFFFFFF;
constexpr uint16_t format_pcm = 1, format_extensible = 0xFFFE;
// {00000001-0000-0010-8000-00AA00389B71}, integer PCM, in GUID byte order.
constexpr uint8_t subformat_pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void put_text(std::vector<uint8_t>& out, const char* four) { out.insert(out.end(), four, four + 4); }
void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void write_size(file& out, uint64_t position, uint64_t size, abort_callback& abort) {
    std::vector<uint8_t> field;
    put32(field, size > 0xFFFFFFFF ? size_placeholder : static_cast<uint32_t>(size));
    out.seek(position, abort);
    out.write(field.data(), field.size(), abort);
}

}  // namespace

wav_writer_setup capture_setup_of(const audio_chunk& chunk) {
    return {16, 16, chunk.get_sample_rate(), chunk.get_channels(), chunk.get_channel_config()};
}

void check_wav_format(const wav_writer_setup& setup) {
    if (setup.channels < 1 || setup.channels > 18 ||
        static_cast<uint32_t>(std::popcount(setup.channel_mask)) != setup.channels || setup.sample_rate < 1000 ||
        setup.sample_rate > 20000000)
        throw velmora_io::exception_io_data();
}

bool needs_extensible_block(const wav_writer_setup& setup) {
    const bool plain_layout = (setup.channels == 1 && setup.channel_mask == channel_front_center) ||
                              (setup.channels == 2 && setup.channel_mask == channel_config_stereo);
    return setup.valid_bits != setup.bits || !plain_layout;
}

std::vector<uint8_t> wav_header(const wav_writer_setup& setup) {
    const bool extensible = needs_extensible_block(setup);
    const uint32_t block_align = setup.bits / 8 * setup.channels;
    std::vector<uint8_t> out;
    put_text(out, "RIFF");
    put32(out, size_placeholder);
    put_text(out, "WAVE");
    put_text(out, "fmt ");
    put32(out, extensible ? 40 : 16);
    put16(out, extensible ? format_extensible : format_pcm);
    put16(out, setup.channels);
    put32(out, setup.sample_rate);
    put32(out, block_align * setup.sample_rate);
    put16(out, block_align);
    put16(out, setup.bits);
    if (extensible) {
        put16(out, 22);
        put16(out, setup.valid_bits);
        put32(out, setup.channel_mask);
        out.insert(out.end(), subformat_pcm, subformat_pcm + sizeof subformat_pcm);
    }
    put_text(out, "data");
    put32(out, size_placeholder);
    return out;
}

void growing_block::set_size(size_t bytes) {
    if (bytes > bytes_.size()) {
        if (bytes > std::numeric_limits<size_t>::max() / 3 * 2) throw zorb::exception("Overflow");
        bytes_.resize(bytes + bytes / 2);
    }
    size_ = bytes;
}

wav_file_writer::~wav_file_writer() {
    abort_callback_dummy abort;
    try {
        close(abort);
    } catch (const std::exception&) {
        // A destructor has nobody to tell; close() let the file go all the same.
    }
}

void wav_file_writer::open(service_ptr_t<file> out, const wav_writer_setup& setup, abort_callback& abort) {
    check_wav_format(setup);
    const std::vector<uint8_t> header = wav_header(setup);
    const uint64_t start = out->can_seek() ? out->get_position(abort) : 0;
    out->write(header.data(), header.size(), abort);
    file_ = std::move(out);
    setup_ = setup;
    extensible_ = needs_extensible_block(setup);
    riff_size_position_ = start + 4;
    data_size_position_ = start + header.size() - 4;
    header_bytes_ = header.size() - 8;
    audio_bytes_ = 0;
    converter_ = service_lookup_one_t<pcm_converter>(host());
}

void wav_file_writer::write(const audio_chunk& chunk, abort_callback& abort) {
    if (chunk.get_channels() != setup_.channels || chunk.get_channel_config() != setup_.channel_mask ||
        chunk.get_sample_rate() != setup_.sample_rate)
        throw exception_unexpected_audio_format_change();
    converter_->convert_to_int(chunk, buffer_, setup_.valid_bits, setup_.bits, false, 1.0f);
    file_->write(buffer_.get_ptr(), buffer_.get_size(), abort);
    // The file says how far the audio reaches, so what a write took in part cannot go uncounted.
    if (file_->can_seek())
        audio_bytes_ = file_->get_position(abort) - (riff_size_position_ + 4 + header_bytes_);
    else
        audio_bytes_ += buffer_.get_size();
}

void wav_file_writer::close(abort_callback& abort) {
    if (!file_) return;
    struct release_at_end {
        wav_file_writer& writer;
        ~release_at_end() {
            writer.file_.reset();
            writer.converter_.reset();
        }
    } release{*this};
    const uint64_t padding = audio_bytes_ % 2;
    if (padding) {
        const uint8_t zero = 0;
        file_->write(&zero, 1, abort);
    }
    if (!file_->can_seek()) return;
    write_size(*file_, riff_size_position_, padding + header_bytes_ + audio_bytes_, abort);
    write_size(*file_, data_size_position_, audio_bytes_, abort);
}

}  // namespace ambrel
