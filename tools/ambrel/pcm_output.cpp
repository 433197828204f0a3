#include "pcm_output.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "module_session.h"

namespace {

constexpr uint32_t wav_header_bytes = 44;

void put_u16(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(value & 0xff);
    out.push_back((value >> 8) & 0xff);
}

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    put_u16(out, value & 0xffff);
    put_u16(out, value >> 16);
}

void put_tag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

std::vector<uint8_t> wav_header(uint32_t data_bytes) {
    const unsigned channels = 2, bits = 16;
    const uint32_t rate = module_session::output_rate, block = channels * bits / 8;
    std::vector<uint8_t> header;
    put_tag(header, "RIFF");
    put_u32(header, wav_header_bytes - 8 + data_bytes);
    put_tag(header, "WAVE");
    put_tag(header, "fmt ");
    put_u32(header, 16);
    put_u16(header, 1);  // integer PCM
    put_u16(header, channels);
    put_u32(header, rate);
    put_u32(header, rate * block);
    put_u16(header, block);
    put_u16(header, bits);
    put_tag(header, "data");
    put_u32(header, data_bytes);
    return header;
}

}  // namespace

uint64_t wav_max_frames() { return (0xffffffffull - wav_header_bytes) / module_session::frame_bytes; }

pcm_output::~pcm_output() {
    if (file_ && file_ != stdout) std::fclose(file_);
}

bool pcm_output::open(const std::string& path, uint64_t frames) {
    path_ = path;
    if (path == "-") {
        file_ = stdout;
        return true;
    }
    if (frames > wav_max_frames()) {
        std::fprintf(stderr, "%s: a WAV file holds at most %llu frames\n", path.c_str(),
                     static_cast<unsigned long long>(wav_max_frames()));
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::vector<uint8_t> header = wav_header(static_cast<uint32_t>(frames * module_session::frame_bytes));
    failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    return true;
}

bool pcm_output::write(const int16_t* stereo, size_t frames) {
    if (failed_) return false;
    size_t values = frames * 2;
    if constexpr (std::endian::native == std::endian::little) {
        failed_ = std::fwrite(stereo, sizeof *stereo, values, file_) != values;
    } else {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < values; ++i) put_u16(bytes, static_cast<uint16_t>(stereo[i]));
        failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
    }
    return !failed_;
}

bool pcm_output::close() {
    if (!file_) return false;
    bool flushed = std::fflush(file_) == 0;
    if (file_ != stdout) flushed = std::fclose(file_) == 0 && flushed;
    file_ = nullptr;
    if (failed_ || !flushed) {
        std::fprintf(stderr, "%s: write error\n", path_.c_str());
        return false;
    }
    return true;
}
