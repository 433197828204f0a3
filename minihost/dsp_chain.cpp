#include "minihost/dsp_chain.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/service_lookup.h"

namespace minihost {
namespace {

std::filesystem::path native_file_path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

template <typename Match>
service_ptr_t<dsp_entry> find_entry(host_api& api, Match&& match) {
    const size_t count = service_count_t<dsp_entry>(api);
    for (size_t index = 0; index < count; ++index)
        if (auto entry = service_create_at_t<dsp_entry>(api, index); entry && match(*entry)) return entry;
    return {};
}

dsp_preset_impl chain_or_default_preset(dsp_entry& entry, const dsp_chain& chain) {
    for (const dsp_preset_impl& preset : chain.presets())
        if (preset.get_owner() == entry.get_guid()) return preset;
    dsp_preset_impl preset;
    if (!entry.make_default_preset(preset)) preset.set_owner(entry.get_guid());
    return preset;
}

}  // namespace

service_ptr_t<dsp_entry> find_dsp_entry(host_api& api, const GUID& owner) {
    return find_entry(api, [&](dsp_entry& entry) { return entry.get_guid() == owner; });
}

service_ptr_t<dsp_entry> find_dsp_entry_by_name(host_api& api, const std::string& name) {
    return find_entry(api, [&](dsp_entry& entry) {
        zorb::string8 entry_name;
        entry.get_name(entry_name);
        return entry_name.str() == name;
    });
}

dsp_chain::stage dsp_chain::make_stage(const dsp_preset& preset) const {
    auto entry = find_dsp_entry(api_, preset.get_owner());
    if (!entry) throw zorb::exception("No DSP owns the preset " + host_guid::to_text(preset.get_owner()));
    stage made{dsp_preset_impl(preset), {}};
    if (!entry->create_instance(made.instance, preset) || !made.instance)
        throw zorb::exception("The DSP " + host_guid::to_text(preset.get_owner()) + " refused its preset");
    return made;
}

void dsp_chain::set_presets(const std::vector<dsp_preset_impl>& presets) {
    std::vector<stage> stages;
    for (const dsp_preset_impl& preset : presets) stages.push_back(make_stage(preset));
    std::lock_guard lock(mutex_);
    stages_.swap(stages);
}

std::vector<dsp_preset_impl> dsp_chain::presets() const {
    std::lock_guard lock(mutex_);
    std::vector<dsp_preset_impl> result;
    for (const stage& s : stages_) result.push_back(s.preset);
    return result;
}

void dsp_chain::put_preset(const dsp_preset& preset) {
    stage made = make_stage(preset);
    std::lock_guard lock(mutex_);
    for (stage& s : stages_)
        if (s.preset.get_owner() == preset.get_owner()) {
            std::swap(s, made);
            return;
        }
    stages_.push_back(std::move(made));
}

void dsp_chain::run(dsp_chunk_list& chunks, metadb_handle* track, int flags, abort_callback& abort) {
    std::lock_guard lock(mutex_);
    for (stage& s : stages_) {
        abort.check();
        if (auto v2 = s.instance.query_as<dsp_v2>())
            v2->run_with_abort(&chunks, track, flags, abort);
        else
            s.instance->run(&chunks, track, flags);
    }
}

void dsp_chain::end_playback(abort_callback& abort) {
    dsp_chunk_list_impl none;
    run(none, nullptr, dsp_end_of_playback, abort);
}

bool run_dsp_chain_on(dsp_chain& chain, audio_chunk& chunk, int flags, abort_callback& abort) {
    // A list that lends the caller's chunk instead of owning one.
    class one_chunk_list final : public dsp_chunk_list {
    public:
        explicit one_chunk_list(audio_chunk& chunk) : chunk_(&chunk) {}
        size_t get_count() const override { return chunk_ ? 1 : 0; }
        audio_chunk* get_item(size_t index) override { return index == 0 ? chunk_ : nullptr; }
        void remove_by_idx(size_t index) override {
            if (index == 0) chunk_ = nullptr;
        }

    private:
        audio_chunk* chunk_;
    } list(chunk);
    chain.run(list, nullptr, flags, abort);
    return list.get_count() == 1;
}

bool dsp_chain::empty() const {
    std::lock_guard lock(mutex_);
    return stages_.empty();
}

void edit_chain_preset_live(dsp_entry& entry, dsp_chain& chain, host_window parent) {
    const dsp_preset_impl start = chain_or_default_preset(entry, chain);
    dsp_chain_edit_callback callback(chain);
    service_ptr_t<dsp_entry> reference(&entry);
    if (auto live = reference.query_as<dsp_entry_v2>())
        live->edit_preset_live(start, parent, callback);
    else
        edit_chain_preset_modal(entry, chain, parent);
}

bool edit_chain_preset_modal(dsp_entry& entry, dsp_chain& chain, host_window parent) {
    dsp_preset_impl preset = chain_or_default_preset(entry, chain);
    if (!entry.edit_preset_modal(preset, parent)) return false;
    chain.put_preset(preset);
    return true;
}

std::vector<dsp_preset_impl> read_dsp_chain_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::ifstream file{native_file_path(path), std::ios::binary})
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    std::vector<dsp_preset_impl> presets;
    size_t position = 0;
    while (bytes.size() - position >= host_guid::record_size + 4) {
        const GUID owner = host_guid::from_bytes(bytes.data() + position);
        position += host_guid::record_size;
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length |= uint32_t(bytes[position + size_t(i)]) << (8 * i);
        position += 4;
        if (length > bytes.size() - position) break;
        dsp_preset_impl& preset = presets.emplace_back();
        preset.set_owner(owner);
        preset.set_data(bytes.data() + position, length);
        position += length;
    }
    return presets;
}

void write_dsp_chain_file(const std::string& path, const std::vector<dsp_preset_impl>& presets) {
    std::vector<uint8_t> bytes;
    for (const dsp_preset_impl& preset : presets) {
        uint8_t header[host_guid::record_size + 4];
        host_guid::to_bytes(preset.get_owner(), header);
        const auto length = uint32_t(preset.get_data_size());
        for (int i = 0; i < 4; ++i) header[host_guid::record_size + size_t(i)] = uint8_t(length >> (8 * i));
        bytes.insert(bytes.end(), header, header + sizeof header);
        const auto* data = static_cast<const uint8_t*>(preset.get_data());
        bytes.insert(bytes.end(), data, data + length);
    }
    const std::filesystem::path target = native_file_path(path);
    std::filesystem::path fresh = target;
    fresh += ".new";
    {
        std::ofstream file(fresh, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file.flush()) throw zorb::exception("Cannot write the DSP chain file " + path);
    }
    std::filesystem::rename(fresh, target);
}

std::string dsp_chain_file_for(const std::string& config_path) { return config_path + ".dsp"; }

}  // namespace minihost
