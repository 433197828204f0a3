#include "minihost/app/dsp_commands.h"

#include <cstring>

#include "host/service_lookup.h"
#include "minihost/host/window_session.h"

namespace minihost {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_preset_item(const std::string& item, std::vector<uint8_t>& out) {
    if (item.starts_with("f32:")) {
        double value = 0;
        if (!parse_number(item.substr(4), value)) return false;
        const auto single = static_cast<float>(value);
        uint32_t bits;
        std::memcpy(&bits, &single, sizeof bits);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        return true;
    }
    if (item.empty() || item.size() % 2 != 0) return false;
    for (size_t i = 0; i < item.size(); i += 2) {
        const int high = hex_digit(item[i]), low = hex_digit(item[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

service_ptr_t<dsp_entry> dsp_named(host_api& api, const std::string& name) {
    auto entry = find_dsp_entry_by_name(api, name);
    if (!entry) throw zorb::exception("No DSP named " + name);
    return entry;
}

dsp_preset_impl preset_with_data(const GUID& owner, const std::vector<uint8_t>& data) {
    dsp_preset_impl preset;
    preset.set_owner(owner);
    preset.set_data(data.data(), data.size());
    return preset;
}

// Options of dsp configure after its NAME.
struct configure_options {
    bool has_preset = false;
    std::vector<uint8_t> preset_data;
    bool live = false;
    double close_after = 0;
};

configure_options parse_configure_options(const arguments_t& arguments) {
    configure_options options;
    for (size_t i = 2; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--live") {
            options.live = true;
            continue;
        }
        if (argument != "--preset" && argument != "--close-after") throw usage_error("unexpected argument " + argument);
        if (i + 1 == arguments.size()) throw usage_error(argument + " needs a value");
        const std::string& value = arguments[++i];
        std::string error;
        if (argument == "--preset") {
            options.has_preset = true;
            if (!parse_preset_data(value, options.preset_data, error)) throw usage_error(error);
        } else if (!parse_number(value, options.close_after)) {
            throw usage_error("--close-after needs a number of seconds");
        }
    }
    return options;
}

void list_dsps(host_api& api, const std::string& chain_file, std::ostream& out) {
    const size_t count = service_count_t<dsp_entry>(api);
    for (size_t index = 0; index < count; ++index)
        if (auto entry = service_create_at_t<dsp_entry>(api, index)) {
            zorb::string8 name;
            entry->get_name(name);
            out << "dsp: " << name.str() << ' ' << host_guid::to_text(entry->get_guid()) << '\n';
        }
    for (const dsp_preset_impl& preset : read_dsp_chain_file(chain_file))
        out << "chain: " << describe_preset(api, preset) << '\n';
}

}  // namespace

int dsp_command(command_context& context, const arguments_t& arguments) {
    const std::string chain_file = context.running.profile().dsp_chain_file();
    const std::string action = arguments.empty() ? "" : arguments[0];
    if (action == "list" && arguments.size() == 1) {
        list_dsps(context.running, chain_file, context.out);
        return 0;
    }
    if (action == "clear" && arguments.size() == 1) {
        write_dsp_chain_file(chain_file, {});
        return 0;
    }
    if (action != "configure" || arguments.size() < 2) throw usage_error("dsp needs list, clear or configure NAME");
    const configure_options options = parse_configure_options(arguments);
    auto entry = dsp_named(context.running, arguments[1]);
    dsp_chain chain(context.running);
    chain.set_presets(read_dsp_chain_file(chain_file));
    if (options.has_preset) chain.put_preset(preset_with_data(entry->get_guid(), options.preset_data));
    close_windows_after(options.close_after);
    configure_dsp(context.running, *entry, chain, options.live, nullptr, context.out);
    write_dsp_chain_file(chain_file, chain.presets());
    return 0;
}

void configure_dsp(host_api& api, dsp_entry& entry, dsp_chain& chain, bool live, host_window parent,
                   std::ostream& out) {
    const bool changed = live
                             ? edit_chain_preset_live(entry, chain, parent,
                                                      [&](const dsp_preset& preset) {
                                                          out << "chain takes " << describe_preset(api, preset) << '\n';
                                                          out.flush();
                                                      })
                             : edit_chain_preset_modal(entry, chain, parent);
    if (!changed) out << "unchanged\n";
    dsp_preset_impl kept;
    if (chain.preset_of(entry.get_guid(), kept)) out << "chain: " << describe_preset(api, kept) << '\n';
    out.flush();
}

bool parse_preset_data(const std::string& text, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!parse_preset_item(item, out)) {
            error = "preset data needs hexadecimal bytes or f32:NUMBER, joined by commas, not " + text;
            return false;
        }
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
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
            choices.push_back({arguments[++i], false, {}});
        } else if (argument == "--preset") {
            if (choices.empty() || choices.back().has_preset) {
                error = "--preset follows the --dsp it is for";
                return false;
            }
            if (i + 1 == arguments.size()) {
                error = "--preset needs the preset's data";
                return false;
            }
            if (!parse_preset_data(arguments[++i], choices.back().preset_data, error)) return false;
            choices.back().has_preset = true;
        } else {
            rest.push_back(argument);
        }
    }
    arguments.swap(rest);
    return true;
}

void load_play_chain(host_api& api, const std::vector<dsp_choice>& choices, const std::string& chain_file,
                     dsp_chain& chain) {
    if (choices.empty()) {
        chain.set_presets(read_dsp_chain_file(chain_file));
        return;
    }
    std::vector<dsp_preset_impl> presets;
    for (const dsp_choice& choice : choices) {
        auto entry = dsp_named(api, choice.name);
        if (choice.has_preset)
            presets.push_back(preset_with_data(entry->get_guid(), choice.preset_data));
        else if (!entry->make_default_preset(presets.emplace_back()))
            presets.back().set_owner(entry->get_guid());
    }
    chain.set_presets(presets);
}

std::string describe_preset(host_api& api, const dsp_preset& preset) {
    zorb::string8 name;
    if (auto entry = find_dsp_entry(api, preset.get_owner()))
        entry->get_name(name);
    else
        name.set_string(host_guid::to_text(preset.get_owner()).c_str());
    std::string text = name.str() + " [";
    const auto* bytes = static_cast<const uint8_t*>(preset.get_data());
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < preset.get_data_size(); ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text + ']';
}

}  // namespace minihost
