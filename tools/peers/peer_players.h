// The players people would pick instead of ours, driven through their public
// C interfaces with the settings that compare fairly with our mixer:
// 44100 Hz 16-bit stereo, nearest-neighbour interpolation and (where the
// library lets us) no volume ramping. Used as benchmark peers and test oracles.
#pragma once

#include <cstddef>
#include <cstdint>

struct openmpt_module;

class openmpt_player {
public:
    openmpt_player() = default;
    ~openmpt_player();
    openmpt_player(const openmpt_player&) = delete;
    openmpt_player& operator=(const openmpt_player&) = delete;

    // `loop_forever` false plays the song's first pass and then ends.
    bool open(const uint8_t* data, size_t size, bool loop_forever);
    // Frames rendered; fewer than asked only at the end of the song.
    size_t render(int16_t* stereo, size_t frames);

    int32_t order() const;            // order index now playing
    int32_t row() const;              // row now playing
    double duration_seconds() const;  // length of the first pass
    int32_t channels() const;
    int32_t orders() const;
    int32_t patterns() const;
    int32_t instruments() const;
    int32_t samples() const;

private:
    openmpt_module* module_ = nullptr;
};

class xmp_player {
public:
    xmp_player() = default;
    ~xmp_player();
    xmp_player(const xmp_player&) = delete;
    xmp_player& operator=(const xmp_player&) = delete;

    // Plays on for ever (libxmp loops the song).
    bool open(const uint8_t* data, size_t size);
    size_t render(int16_t* stereo, size_t frames);

private:
    void* context_ = nullptr;  // xmp_context
    bool loaded_ = false;
    bool playing_ = false;
};
