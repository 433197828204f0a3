#include "minihost/host/dsp_chain.h"

#include "host/guid_records.h"
#include "host/service_lookup.h"
#include "zorb/files.h"

namespace minihost {
namespace {

template <typename Match>
service_ptr_t<dsp_entry> find_entry(host_api& api, Match&& match) {
    const size_t count = service_count_t<dsp_entry>(api);
    for (size_t index = 0; index < count; ++index)
        if (auto entry = service_create_at_t<dsp_entry>(api, index); entry && match(*entry)) return entry;
    return {};
}

dsp_preset_impl chain_or_default_preset(dsp_entry& entry, const dsp_chain& chain) {
    dsp_preset_impl preset;
    if (chain.preset_of(entry.get_guid(), preset)) return preset;
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

bool dsp_chain::preset_of(const GUID& owner, dsp_preset_impl& out) const {
    std::lock_guard lock(mutex_);
    for (const stage& s : stages_)
        if (s.preset.get_owner() == owner) {
            out = s.preset;
            return true;
        }
    return false;
}

void dsp_chain::remove(const GUID& owner) {
    std::lock_guard lock(mutex_);
    std::erase_if(stages_, [&](const stage& s) { return s.preset.get_owner() == owner; });
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

bool edit_chain_preset_live(dsp_entry& entry, dsp_chain& chain, host_window parent,
                            dsp_chain_edit_callback::observer_t observer) {
    service_ptr_t<dsp_entry> reference(&entry);
    auto live = reference.query_as<dsp_entry_v2>();
    if (!live) return edit_chain_preset_modal(entry, chain, parent);
    const GUID owner = entry.get_guid();
    dsp_preset_impl held;
    const bool was_held = chain.preset_of(owner, held);
    const dsp_preset_impl start = chain_or_default_preset(entry, chain);
    dsp_chain_edit_callback callback(chain, std::move(observer));
    live->edit_preset_live(start, parent, callback);
    dsp_preset_impl now;
    if (!chain.preset_of(owner, now)) return false;
    if (!now.same_as(start)) return true;
    if (!was_held) chain.remove(owner);
    return false;
}

bool edit_chain_preset_modal(dsp_entry& entry, dsp_chain& chain, host_window parent) {
    dsp_preset_impl preset = chain_or_default_preset(entry, chain);
    if (!entry.edit_preset_modal(preset, parent)) return false;
    chain.put_preset(preset);
    return true;
}

std::vector<dsp_preset_impl> read_dsp_chain_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    zorb::read_file(path, bytes);
    std::vector<dsp_preset_impl> presets;
    size_t position = 0;
    host_guid::record_view record;
    while (host_guid::next_record(bytes.data(), bytes.size(), position, record)) {
        dsp_preset_impl& preset = presets.emplace_back();
        preset.set_owner(record.guid);
        preset.set_data(record.data, record.length);
    }
    return presets;
}

void write_dsp_chain_file(const std::string& path, const std::vector<dsp_preset_impl>& presets) {
    std::vector<uint8_t> bytes;
    for (const dsp_preset_impl& preset : presets)
        host_guid::append_record(bytes, preset.get_owner(), preset.get_data(),
                                 static_cast<uint32_t>(preset.get_data_size()));
    zorb::replace_file(path, bytes.data(), bytes.size(), "the DSP chain file");
}

}  // namespace minihost
