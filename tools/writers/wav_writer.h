// RIFF WAVE files of 16-bit PCM, written a whole block of samples at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class wav_writer {
public:
    // The most data bytes a WAV file describes: its sizes are 32-bit, counted with the 44-byte header.
    static constexpr uint64_t max_data_bytes = 0xFFFFFFFFull - 44;

    wav_writer() = default;
    // Closes a file that finish did not, leaving what was written.
    ~wav_writer();
    wav_writer(const wav_writer&) = delete;
    wav_writer& operator=(const wav_writer&) = delete;

    // Creates (or empties) the file at `path` (UTF-8) for interleaved samples of `channels` channels
    // at `rate` Hz, behind a header whose sizes finish fills in. "-" is the standard output, which
    // takes the raw little-endian samples without a header. False, with `error` saying why, when the
    // file cannot be created.
    bool open(const std::string& path, unsigned rate, unsigned channels);
    // Appends `count` samples as little-endian 16-bit values. False once any write has failed.
    bool write(const int16_t* samples, size_t count);
    // Fills in the header's sizes and closes the file. False, with `error` set, when a write failed
    // or the data outgrew max_data_bytes.
    bool finish();

    // "PATH: reason" of the last failure.
    const std::string& error() const { return error_; }
    uint64_t data_bytes() const { return data_bytes_; }

private:
    bool fail(const std::string& reason);
    bool put_header();

    std::string path_;
    FILE* file_ = nullptr;
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    uint64_t data_bytes_ = 0;
    bool failed_ = false;
    std::string error_;
};
