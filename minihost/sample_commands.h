// minihost.exe's commands for the component's DSPs, preferences and advanced settings.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "minihost/dsp_chain.h"
#include "minihost/host.h"

namespace minihost {

constexpr char sample_usage_text[] =
    "  advconfig list\n"
    "             the advanced-settings tree with the values of its entries\n"
    "  advconfig set NAME VALUE\n"
    "             sets the advanced setting NAME (its name, or its path as list shows it, joined by /)\n"
    "  preferences [--close-after S]\n"
    "             opens the preferences window (and closes it after S seconds)\n"
    "  dsp list\n"
    "             the component's DSPs and the DSP chain that play uses\n"
    "  dsp configure NAME [--gain DB] [--live] [--close-after S]\n"
    "             the configuration dialog of the DSP NAME on its preset in the chain (or on a gain of DB);\n"
    "             the chain keeps the result; --live prints every change as playback would take it\n"
    "  dsp clear\n"
    "             empties the DSP chain\n";

// True for the commands of this file.
bool is_sample_command(const std::string& command);
// Runs one of them; `config_path` is the configuration file, beside which the DSP chain is kept.
// The process's exit status: 0, 1 after a failure, 2 after a wrong command line.
int run_sample_command(host& running, const std::string& command, const std::vector<std::string>& arguments,
                       const std::string& config_path, std::ostream& out);

// A DSP asked for on play's command line: --dsp NAME, optionally followed by --gain DB.
struct dsp_choice {
    std::string name;
    bool has_gain = false;
    float gain_db = 0;  // decibels, finite
};

// Takes every --dsp NAME [--gain DB] out of `arguments`, leaving the rest. False with `error`
// set when they are malformed.
bool take_dsp_options(std::vector<std::string>& arguments, std::vector<dsp_choice>& choices, std::string& error);

// The chain for play: the chosen DSPs, each with its default preset or a gain preset (one 32-bit
// little-endian float of decibels), or with no choices the chain kept beside `config_path`.
// Raises zorb::exception when a DSP is not there or refuses its preset.
void load_play_chain(host_api& api, const std::vector<dsp_choice>& choices, const std::string& config_path,
                     dsp_chain& chain);

// The name a DSP entry, preferences page or advanced-settings item gives itself; empty for services
// of other classes.
std::string sample_service_name(service_factory_base& factory);

// One line for a preset: the name of its DSP (or its GUID), its data in hexadecimal, and for
// 4-byte data the float it holds, as the gain DSP reads it.
std::string describe_preset(host_api& api, const dsp_preset& preset);

}  // namespace minihost
