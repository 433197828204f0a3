// Where `ambrel render` puts its PCM: a 44100 Hz 16-bit stereo WAV file, or
// raw little-endian PCM on standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class pcm_output {
public:
    pcm_output() = default;
    ~pcm_output();
    pcm_output(const pcm_output&) = delete;
    pcm_output& operator=(const pcm_output&) = delete;

    // "-" is standard output (raw PCM); any other path gets a WAV file of
    // exactly `frames` frames. Prints the reason and returns false on failure.
    bool open(const std::string& path, uint64_t frames);
    bool write(const int16_t* stereo, size_t frames);
    // Flushes and closes; false (with a message) when anything failed to write.
    bool close();

private:
    std::string path_;
    FILE* file_ = nullptr;
    bool failed_ = false;
};

// The largest frame count a WAV data chunk can describe (32-bit sizes).
uint64_t wav_max_frames();
