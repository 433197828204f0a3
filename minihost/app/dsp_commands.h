// minihost.exe's DSP commands, and the DSPs that play runs through.
//
// The host treats a DSP's preset as its owner's private bytes: it never builds or reads one. A
// person gives a preset's data on the command line (--preset DATA) in a form that says only how the
// bytes are laid out, and sees them printed as hexadecimal.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "minihost/app/command_line.h"
#include "minihost/host/dsp_chain.h"

namespace minihost {

// dsp list | dsp clear | dsp configure NAME [--preset DATA] [--live] [--close-after S]
int dsp_command(command_context& context, const arguments_t& arguments);

// Preset data from its text: items joined by commas, each either hexadecimal bytes (two digits a
// byte, as describe_preset prints them) or "f32:NUMBER", the number as a 32-bit little-endian IEEE
// float. False with `error` set for anything else.
bool parse_preset_data(const std::string& text, std::vector<uint8_t>& out, std::string& error);

// A DSP asked for on play's command line: --dsp NAME, optionally followed by --preset DATA.
struct dsp_choice {
    std::string name;
    bool has_preset = false;
    std::vector<uint8_t> preset_data;  // the preset's data when has_preset
};

// Takes every --dsp NAME [--preset DATA] out of `arguments`, leaving the rest. False with `error`
// set when they are malformed.
bool take_dsp_options(std::vector<std::string>& arguments, std::vector<dsp_choice>& choices, std::string& error);

// The chain for play: the chosen DSPs, each with the data given or its default preset, or with no
// choices the chain kept in `chain_file`. Raises zorb::exception when a DSP is not there or
// refuses its preset.
void load_play_chain(host_api& api, const std::vector<dsp_choice>& choices, const std::string& chain_file,
                     dsp_chain& chain);

// The configuration dialog of `entry` over `parent` on the chain's preset of that DSP (or its
// default). Modal: the chain takes the result when it differs. Live: the chain follows every change
// and each is printed as "chain takes PRESET". "unchanged" is printed when the chain ends as it
// began; then the chain's preset of that DSP, if it holds one, as "chain: PRESET".
void configure_dsp(host_api& api, dsp_entry& entry, dsp_chain& chain, bool live, host_window parent, std::ostream& out);

// One line for a preset: the name of its DSP (or its GUID) and its data in hexadecimal in brackets.
std::string describe_preset(host_api& api, const dsp_preset& preset);

}  // namespace minihost
