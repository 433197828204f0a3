#include <stdexcept>

#include "demo_songs.h"

namespace demo {

namespace {

uint8_t low_nibble(uint8_t param) {
    if (param > 15) throw std::out_of_range("parameter takes one nibble");
    return param;
}

// Pattern break rows are written as two decimal digits; rows 0..9 read the
// same in every format.
uint8_t break_row(uint8_t row) {
    if (row > 9) throw std::out_of_range("pattern break row above 9");
    return row;
}

}  // namespace

tracker_command protracker_command(effect command, uint8_t param) {
    switch (command) {
        case effect::none:
            return {0, 0};
        case effect::arpeggio:
            return {0x0, param};
        case effect::porta_up:
            return {0x1, param};
        case effect::porta_down:
            return {0x2, param};
        case effect::tone_porta:
            return {0x3, param};
        case effect::vibrato:
            return {0x4, param};
        case effect::tremolo:
            return {0x7, param};
        case effect::sample_offset:
            return {0x9, param};
        case effect::volume_slide:
            return {0xA, param};
        case effect::position_jump:
            return {0xB, param};
        case effect::pattern_break:
            return {0xD, break_row(param)};
        case effect::pattern_loop:
            return {0xE, static_cast<uint8_t>(0x60 | low_nibble(param))};
        case effect::retrigger:
            return {0xE, static_cast<uint8_t>(0x90 | low_nibble(param))};
        case effect::fine_volume_up:
            return {0xE, static_cast<uint8_t>(0xA0 | low_nibble(param))};
        case effect::fine_volume_down:
            return {0xE, static_cast<uint8_t>(0xB0 | low_nibble(param))};
        case effect::note_cut:
            return {0xE, static_cast<uint8_t>(0xC0 | low_nibble(param))};
        case effect::set_speed:
            if (param < 1 || param > 31) throw std::out_of_range("speed outside 1..31");
            return {0xF, param};
        case effect::set_tempo:
            if (param < 32) throw std::out_of_range("tempo below 32");
            return {0xF, param};
    }
    throw std::invalid_argument("unknown effect");
}

tracker_command scream_tracker_command(effect command, uint8_t param) {
    auto letter = [](char c) { return c - 'A' + 1; };
    switch (command) {
        case effect::none:
            return {0, 0};
        case effect::arpeggio:
            return {letter('J'), param};
        case effect::porta_up:
        case effect::porta_down:
            // E and F parameters from 0xE0 up are the fine slides.
            if (param >= 0xE0) throw std::out_of_range("slide too fast for S3M");
            return {letter(command == effect::porta_up ? 'F' : 'E'), param};
        case effect::tone_porta:
            return {letter('G'), param};
        case effect::vibrato:
            return {letter('H'), param};
        case effect::tremolo:
            return {letter('R'), param};
        case effect::sample_offset:
            return {letter('O'), param};
        case effect::volume_slide:
            if ((param & 0xF0) && (param & 0x0F)) throw std::invalid_argument("volume slide both ways");
            if ((param & 0xF0) == 0xF0 || (param & 0x0F) == 0x0F)
                throw std::out_of_range("S3M reads 15 as a fine slide");
            return {letter('D'), param};
        case effect::fine_volume_up:
            return {letter('D'), static_cast<uint8_t>(low_nibble(param) << 4 | 0x0F)};
        case effect::fine_volume_down:
            return {letter('D'), static_cast<uint8_t>(0xF0 | low_nibble(param))};
        case effect::position_jump:
            return {letter('B'), param};
        case effect::pattern_break:
            return {letter('C'), break_row(param)};
        case effect::pattern_loop:
            return {letter('S'), static_cast<uint8_t>(0xB0 | low_nibble(param))};
        case effect::note_cut:
            return {letter('S'), static_cast<uint8_t>(0xC0 | low_nibble(param))};
        case effect::retrigger:
            return {letter('Q'), low_nibble(param)};
        case effect::set_speed:
            if (param < 1) throw std::out_of_range("speed 0");
            return {letter('A'), param};
        case effect::set_tempo:
            if (param < 32) throw std::out_of_range("tempo below 32");
            return {letter('T'), param};
    }
    throw std::invalid_argument("unknown effect");
}

}  // namespace demo
