// A WAV file written as audio chunks come: RIFF WAVE of integer samples, the sizes filled in at
// close. The plain 16-byte format block for mono on the front centre or stereo on the front left and
// right at full bits; the 40-byte extensible block with channel mask for everything else.
#pragma once

#include <cstdint>
#include <vector>

#include "host/filesystem.h"
#include "host/playback.h"
#include "zorb/exception.h"

namespace ambrel {

ZORB_DECLARE_EXCEPTION(exception_unexpected_audio_format_change, zorb::exception, "Unexpected audio format change");

struct wav_writer_setup {
    uint32_t bits;          // container bits per sample: 16
    uint32_t valid_bits;    // significant bits per sample, at most bits
    uint32_t sample_rate;   // Hz, 1000 .. 20000000
    uint32_t channels;      // 1 .. 18
    uint32_t channel_mask;  // speaker bits as in WAVE files, as many as channels
};

// The setup a capture of `chunk` writes: 16 bits, at the chunk's rate and channels.
wav_writer_setup capture_setup_of(const audio_chunk& chunk);
// Raises velmora_io::exception_io_data unless the writer takes `setup`.
void check_wav_format(const wav_writer_setup& setup);
// True when `setup` needs the extensible format block.
bool needs_extensible_block(const wav_writer_setup& setup);
// The header written at open, with both sizes as placeholders (0xFFFFFFFF).
std::vector<uint8_t> wav_header(const wav_writer_setup& setup);

// The converter's output block: reused, and grown to 1.5 times the size asked for when too small.
class growing_block final : public mem_block_container {
public:
    void set_size(size_t bytes) override;  // raises zorb::exception "Overflow" past size_t
    size_t get_size() const override { return size_; }
    void* get_ptr() override { return bytes_.data(); }
    size_t capacity() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
    size_t size_ = 0;
};

// One thread at a time. Every operation raises what the file, the converter or the host raise.
class wav_file_writer {
public:
    ~wav_file_writer();

    // Writes the header to `out` (just created, at its start) and keeps it. Raises
    // velmora_io::exception_io_data, writing nothing, for a format it does not take.
    void open(service_ptr_t<file> out, const wav_writer_setup& setup, abort_callback& abort);
    // Converts `chunk` to integers and appends it. Raises exception_unexpected_audio_format_change
    // when its format is not the setup's.
    void write(const audio_chunk& chunk, abort_callback& abort);
    // Pads odd data, fills in the sizes when the file can seek (0xFFFFFFFF for sizes past 32 bits)
    // and lets the file go, also when that fails. Nothing when no file is open.
    void close(abort_callback& abort);

    bool is_open() const { return static_cast<bool>(file_); }
    const wav_writer_setup& setup() const { return setup_; }
    uint64_t audio_bytes() const { return audio_bytes_; }

private:
    service_ptr_t<file> file_;
    wav_writer_setup setup_{};
    bool extensible_ = false;
    uint64_t riff_size_position_ = 0;  // of the top-level size field
    uint64_t data_size_position_ = 0;  // of the data chunk's size field
    uint64_t header_bytes_ = 0;        // what the top-level size counts before the audio
    uint64_t audio_bytes_ = 0;
    service_ptr_t<pcm_converter> converter_;
    growing_block buffer_;
};

}  // namespace ambrel
