// The note periods a MOD file stores: one row per octave from C-0, twelve
// semitones each, finetune 0. The loader maps a stored period to the nearest
// note through it; writers of test and demo files turn notes into periods.
#pragma once

#include <cstdint>

constexpr uint16_t mod_octave_periods[9][12] = {
    {6848, 6464, 6096, 5760, 5424, 5120, 4832, 4560, 4304, 4064, 3840, 3628},
    {3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920, 1814},
    {1712, 1616, 1525, 1440, 1359, 1283, 1211, 1143, 1078, 1018, 961, 902},
    {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453},
    {428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226},
    {214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113},
    {107, 101, 95, 90, 85, 80, 76, 71, 67, 63, 60, 57},
    {53, 50, 47, 45, 42, 40, 37, 35, 33, 31, 30, 28},
    {26, 25, 23, 22, 21, 20, 18, 17, 16, 15, 15, 14},
};
