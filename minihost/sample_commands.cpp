#include "minihost/sample_commands.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "host/preferences.h"
#include "host/service_lookup.h"
#include "minihost/advconfig.h"
#include "minihost/ui.h"

namespace minihost {
namespace {

bool parse_number(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

void make_gain_preset(const GUID& owner, float gain_db, dsp_preset& out) {
    dsp_preset_builder builder;
    builder.write_float_le(gain_db);
    builder.finish(owner, out);
}

// Options of the dialog commands: --gain DB, --live, --close-after S.
struct dialog_options {
    bool has_gain = false;
    double gain_db = 0;
    bool live = false;
    double close_after = 0;
};

bool parse_dialog_options(const std::vector<std::string>& arguments, size_t first, dialog_options& options,
                          std::string& error, bool dsp_options) {
    for (size_t i = first; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takes_number = argument == "--close-after" || (dsp_options && argument == "--gain");
        if (takes_number) {
            double value = 0;
            if (i + 1 == arguments.size() || !parse_number(arguments[i + 1], value)) {
                error = argument + " needs a number";
                return false;
            }
            ++i;
            if (argument == "--gain") {
                options.has_gain = true;
                options.gain_db = value;
            } else {
                options.close_after = value;
            }
        } else if (dsp_options && argument == "--live") {
            options.live = true;
        } else {
            error = "unexpected argument " + argument;
            return false;
        }
    }
    return true;
}

// Reports every preset the chain takes while a dialog runs.
class printing_edit_callback final : public preset_edit_callback {
public:
    printing_edit_callback(host_api& api, dsp_chain& chain, std::ostream& out) : api_(api), chain_(chain), out_(out) {}
    void on_preset_changed(const dsp_preset& preset) override {
        chain_.put_preset(preset);
        out_ << "chain takes " << describe_preset(api_, preset) << '\n';
        out_.flush();
    }

private:
    host_api& api_;
    dsp_chain& chain_;
    std::ostream& out_;
};

int dsp_command(host& running, const std::vector<std::string>& arguments, const std::string& config_path,
                std::ostream& out, std::string& error) {
    const std::string chain_file = dsp_chain_file_for(config_path);
    const std::string action = arguments.empty() ? "" : arguments[0];
    if (action == "list" && arguments.size() == 1) {
        const size_t count = service_count_t<dsp_entry>(running);
        for (size_t index = 0; index < count; ++index)
            if (auto entry = service_create_at_t<dsp_entry>(running, index)) {
                zorb::string8 name;
                entry->get_name(name);
                out << "dsp: " << name.str() << ' ' << host_guid::to_text(entry->get_guid()) << '\n';
            }
        for (const dsp_preset_impl& preset : read_dsp_chain_file(chain_file))
            out << "chain: " << describe_preset(running, preset) << '\n';
        return 0;
    }
    if (action == "clear" && arguments.size() == 1) {
        write_dsp_chain_file(chain_file, {});
        return 0;
    }
    if (action != "configure" || arguments.size() < 2) {
        error = "dsp needs list, clear or configure NAME";
        return 2;
    }
    dialog_options options;
    if (!parse_dialog_options(arguments, 2, options, error, true)) return 2;
    auto entry = find_dsp_entry_by_name(running, arguments[1]);
    if (!entry) {
        error = "no DSP named " + arguments[1];
        return 1;
    }
    dsp_chain chain(running);
    chain.set_presets(read_dsp_chain_file(chain_file));
    if (options.has_gain) {
        dsp_preset_impl start;
        make_gain_preset(entry->get_guid(), float(options.gain_db), start);
        chain.put_preset(start);
    }
    close_windows_after(options.close_after);
    if (options.live) {
        printing_edit_callback callback(running, chain, out);
        dsp_preset_impl start;
        for (const dsp_preset_impl& preset : chain.presets())
            if (preset.get_owner() == entry->get_guid()) start = preset;
        if (auto live = entry.query_as<dsp_entry_v2>()) live->edit_preset_live(start, nullptr, callback);
    } else if (!edit_chain_preset_modal(*entry, chain, nullptr)) {
        out << "unchanged\n";
    }
    write_dsp_chain_file(chain_file, chain.presets());
    for (const dsp_preset_impl& preset : chain.presets())
        if (preset.get_owner() == entry->get_guid()) out << "chain: " << describe_preset(running, preset) << '\n';
    return 0;
}

int advconfig_command(host& running, const std::vector<std::string>& arguments, std::ostream& out, std::string& error) {
    if (arguments.size() == 1 && arguments[0] == "list") {
        print_advconfig_tree(running, out);
        return 0;
    }
    if (arguments.size() == 3 && arguments[0] == "set")
        return set_advconfig_value(running, arguments[1], arguments[2], out, error) ? 0 : 1;
    error = "advconfig needs list or set NAME VALUE";
    return 2;
}

}  // namespace

bool is_sample_command(const std::string& command) {
    return command == "advconfig" || command == "preferences" || command == "dsp";
}

int run_sample_command(host& running, const std::string& command, const std::vector<std::string>& arguments,
                       const std::string& config_path, std::ostream& out) {
    std::string error;
    int status = 2;
    try {
        if (command == "advconfig") {
            status = advconfig_command(running, arguments, out, error);
        } else if (command == "dsp") {
            status = dsp_command(running, arguments, config_path, out, error);
        } else if (command == "preferences") {
            dialog_options options;
            if (parse_dialog_options(arguments, 0, options, error, false))
                status = show_preferences_window(running, options.close_after);
        }
    } catch (const std::exception& failure) {
        error = failure.what();
        status = 1;
    }
    out.flush();
    if (!error.empty()) std::fprintf(stderr, "minihost: %s\n", error.c_str());
    return status;
}

bool take_dsp_options(std::vector<std::string>& arguments, std::vector<dsp_choice>& choices, std::string& error) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--dsp") {
            if (i + 1 == arguments.size()) {
                error = "--dsp needs the name of a DSP";
                return false;
            }
            choices.push_back({arguments[++i], false, 0});
        } else if (argument == "--gain") {
            double value = 0;
            if (choices.empty() || choices.back().has_gain) {
                error = "--gain follows the --dsp it is for";
                return false;
            }
            if (i + 1 == arguments.size() || !parse_number(arguments[i + 1], value)) {
                error = "--gain needs a number of decibels";
                return false;
            }
            ++i;
            choices.back().has_gain = true;
            choices.back().gain_db = float(value);
        } else {
            rest.push_back(argument);
        }
    }
    arguments.swap(rest);
    return true;
}

void load_play_chain(host_api& api, const std::vector<dsp_choice>& choices, const std::string& config_path,
                     dsp_chain& chain) {
    if (choices.empty()) {
        chain.set_presets(read_dsp_chain_file(dsp_chain_file_for(config_path)));
        return;
    }
    std::vector<dsp_preset_impl> presets;
    for (const dsp_choice& choice : choices) {
        auto entry = find_dsp_entry_by_name(api, choice.name);
        if (!entry) throw zorb::exception("No DSP named " + choice.name);
        dsp_preset_impl& preset = presets.emplace_back();
        if (choice.has_gain)
            make_gain_preset(entry->get_guid(), choice.gain_db, preset);
        else if (!entry->make_default_preset(preset))
            preset.set_owner(entry->get_guid());
    }
    chain.set_presets(presets);
}

std::string sample_service_name(service_factory_base& factory) {
    service_base* object = nullptr;
    factory.instance_create(object);
    const service_ptr service = service_ptr::adopt(object);
    zorb::string8 name;
    if (auto entry = service.query_as<dsp_entry>())
        entry->get_name(name);
    else if (auto page = service.query_as<preferences_page>())
        page->page_name(name);
    else if (auto setting = service.query_as<advconfig_entry>())
        setting->entry_name(name);
    return name.str();
}

std::string describe_preset(host_api& api, const dsp_preset& preset) {
    std::ostringstream text;
    zorb::string8 name;
    if (auto entry = find_dsp_entry(api, preset.get_owner()))
        entry->get_name(name);
    else
        name.set_string(host_guid::to_text(preset.get_owner()).c_str());
    text << name.str() << " [";
    const auto* bytes = static_cast<const uint8_t*>(preset.get_data());
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < preset.get_data_size(); ++i) text << digits[bytes[i] >> 4] << digits[bytes[i] & 15];
    text << ']';
    if (preset.get_data_size() == 4) {
        dsp_preset_parser parser(preset);
        text << " gain " << parser.read_float_le() << " dB";
    }
    return text.str();
}

}  // namespace minihost
