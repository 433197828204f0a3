// The project's demo songs: one composition (compose.cpp) written as MOD, S3M
// and XM through the module writers (tools/writers). The output depends on
// nothing but this code, so the same bytes come out on every run and every
// machine.
#pragma once

#include <cstdint>
#include <vector>

#include "score.h"

namespace demo {

std::vector<uint8_t> write_mod_song(const song& score);
std::vector<uint8_t> write_s3m_song(const song& score);
std::vector<uint8_t> write_xm_song(const song& score);

// An effect as a tracker stores it: command number and parameter.
struct tracker_command {
    int command;  // MOD/XM: 0..15 (14 = extended, sub-command in the parameter's high nibble); S3M: 1 = A .. 26 = Z
    uint8_t param;
};

// MOD and XM share the ProTracker effect numbers. Throws when the score asks
// for something the format cannot store.
tracker_command protracker_command(effect command, uint8_t param);
tracker_command scream_tracker_command(effect command, uint8_t param);

}  // namespace demo
