// Real modules from Debian's game music packages, played by our library and by the peers.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "module_session.h"

struct corpus_module {
    std::string path;     // empty when its package is not installed
    std::string package;  // Debian package that ships it
    u32 format_id;        // the format the file is in
    std::string name;     // test name: file name with '_' for anything but letters and digits
};

// Test parameters print as their file name.
void PrintTo(const corpus_module& module, std::ostream* out);

// Every module of heroes-sound-tracks (XM), gl-117-data (S3M) and freedroid-data (MOD); a missing
// package is one entry without a path, so that its tests fail with a clear message.
std::vector<corpus_module> debian_modules();

// Reads the module, or fails the current test (also when its package is missing).
std::vector<u8> read_module(const corpus_module& module);

// The peer renders this many frames at a time; a row counts from the block in which it appears.
constexpr size_t peer_block_frames = 32;

struct peer_row {
    uint64_t frame;  // first frame of the block in which the row appeared
    int32_t order;
    int32_t row;
};

// The song's first pass as libopenmpt plays it (nearest neighbour, no volume ramping).
struct peer_pass {
    bool opened = false;
    std::vector<int16_t> pcm;    // interleaved stereo
    std::vector<peer_row> rows;  // every change of (order, row)
    uint64_t frames() const { return pcm.size() / 2; }
};

peer_pass play_openmpt_first_pass(const std::vector<u8>& image);

// The first `frames` frames as libxmp plays them (nearest neighbour); empty when it refuses the module.
std::vector<int16_t> render_xmp(const std::vector<u8>& image, uint64_t frames);

// Our side over `frames` output frames, or a failed test when the module does not load.
std::vector<traced_row> trace_ours(const std::vector<u8>& image, uint64_t frames);
std::vector<int16_t> render_ours(const std::vector<u8>& image, uint64_t frames);
