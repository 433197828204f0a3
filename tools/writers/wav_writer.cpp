#include "tools/writers/wav_writer.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "zorb/files.h"

namespace {

constexpr uint32_t header_bytes = 44;
constexpr unsigned bits_per_sample = 16;

void put_le(uint8_t*& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) *out++ = static_cast<uint8_t>(value >> (8 * i));
}

void put_tag(uint8_t*& out, const char* tag) {
    std::memcpy(out, tag, 4);
    out += 4;
}

// Blocks of this size reach the system: one call per block of audio would be one call too many
// under Wine, where every write is a round trip.
constexpr size_t buffer_bytes = 1 << 20;

FILE* open_for_writing(const std::string& path) {
#ifdef _WIN32
    FILE* file = _wfopen(zorb::native_path(path).c_str(), L"wb");
#else
    FILE* file = std::fopen(path.c_str(), "wb");
#endif
    if (file) std::setvbuf(file, nullptr, _IOFBF, buffer_bytes);
    return file;
}

}  // namespace

wav_writer::~wav_writer() {
    if (file_ && file_ != stdout) std::fclose(file_);
}

bool wav_writer::fail(const std::string& reason) {
    failed_ = true;
    error_ = path_ + ": " + reason;
    return false;
}

bool wav_writer::open(const std::string& path, unsigned rate, unsigned channels) {
    path_ = path;
    rate_ = rate;
    channels_ = channels;
    if (path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        file_ = stdout;
        return true;
    }
    file_ = open_for_writing(path);
    if (file_ == nullptr) return fail(std::strerror(errno));
    return put_header();
}

bool wav_writer::put_header() {
    const uint32_t data = static_cast<uint32_t>(data_bytes_);
    const uint32_t block = channels_ * bits_per_sample / 8;
    uint8_t header[header_bytes];
    uint8_t* out = header;
    put_tag(out, "RIFF");
    put_le(out, header_bytes - 8 + data, 4);
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put_le(out, 16, 4);
    put_le(out, 1, 2);  // integer PCM
    put_le(out, channels_, 2);
    put_le(out, rate_, 4);
    put_le(out, rate_ * block, 4);
    put_le(out, block, 2);
    put_le(out, bits_per_sample, 2);
    put_tag(out, "data");
    put_le(out, data, 4);
    if (std::fwrite(header, 1, header_bytes, file_) != header_bytes) return fail("write error");
    return true;
}

bool wav_writer::write(const int16_t* samples, size_t count) {
    if (failed_ || file_ == nullptr) return false;
    size_t written;
    if constexpr (std::endian::native == std::endian::little) {
        written = std::fwrite(samples, sizeof *samples, count, file_);
    } else {
        std::vector<uint8_t> bytes(count * 2);
        uint8_t* out = bytes.data();
        for (size_t i = 0; i < count; ++i) put_le(out, static_cast<uint16_t>(samples[i]), 2);
        written = std::fwrite(bytes.data(), 2, count, file_);
    }
    data_bytes_ += 2 * static_cast<uint64_t>(written);
    if (written != count) return fail("write error");
    return true;
}

bool wav_writer::finish() {
    if (file_ == nullptr) return false;
    if (!failed_ && file_ != stdout) {
        if (data_bytes_ > max_data_bytes)
            fail("too much audio for a WAV file");
        else if (std::fseek(file_, 0, SEEK_SET) == 0)
            put_header();
        else
            fail("cannot seek back to the header");
    }
    bool closed = std::fflush(file_) == 0;
    if (file_ != stdout) closed = std::fclose(file_) == 0 && closed;
    file_ = nullptr;
    if (!closed && !failed_) fail("write error");
    return !failed_;
}
