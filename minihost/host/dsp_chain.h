// The host's DSP chain: DSP instances made from presets, run over the chunks playback produces;
// its edit callback and the modal and live preset editors; the chain kept in a file between runs.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/dsp.h"
#include "host/host_api.h"
#include "minihost/host/host_records.h"

namespace minihost {

// The chunks of one run, owned by the list.
class dsp_chunk_list_impl final : public dsp_chunk_list {
public:
    size_t get_count() const override { return chunks_.size(); }
    audio_chunk* get_item(size_t index) override { return index < chunks_.size() ? chunks_[index].get() : nullptr; }
    void remove_by_idx(size_t index) override {
        if (index < chunks_.size()) chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    audio_chunk_impl& add() { return *chunks_.emplace_back(std::make_unique<audio_chunk_impl>()); }

private:
    std::vector<std::unique_ptr<audio_chunk_impl>> chunks_;
};

// The DSP entry whose GUID is `owner`; empty when the component has none.
service_ptr_t<dsp_entry> find_dsp_entry(host_api& api, const GUID& owner);
// The DSP entry named `name` (exact text); empty when the component has none.
service_ptr_t<dsp_entry> find_dsp_entry_by_name(host_api& api, const std::string& name);

// The DSPs in playing order. Runs on the audio thread while a dialog may replace a preset on the
// user-interface thread, so both go under one lock.
class dsp_chain {
public:
    explicit dsp_chain(host_api& api) : api_(api) {}

    // Instances for `presets`, in order. Raises zorb::exception naming the first preset that no
    // DSP of the component owns or whose DSP refuses it; the chain is then left as it was.
    void set_presets(const std::vector<dsp_preset_impl>& presets);
    std::vector<dsp_preset_impl> presets() const;
    // Replaces the preset and instance of the DSP owning `preset`, or appends it when the chain has
    // none of that DSP. Raises as set_presets.
    void put_preset(const dsp_preset& preset);
    // The preset of the DSP `owner` into `out`; false, `out` untouched, when the chain has none.
    bool preset_of(const GUID& owner, dsp_preset_impl& out) const;
    // Takes the DSP `owner` out of the chain, if it is there.
    void remove(const GUID& owner);
    // Runs every DSP over `chunks` in order.
    void run(dsp_chunk_list& chunks, metadb_handle* track, int flags, abort_callback& abort);
    bool empty() const;
    // Tells every DSP that playback ends (a run over no chunks with the end-of-playback flag).
    void end_playback(abort_callback& abort);

private:
    struct stage {
        dsp_preset_impl preset;
        service_ptr_t<dsp> instance;
    };
    stage make_stage(const dsp_preset& preset) const;

    host_api& api_;
    mutable std::mutex mutex_;
    std::vector<stage> stages_;
};

// Runs `chain` over the one chunk `chunk`; false when a DSP dropped it.
bool run_dsp_chain_on(dsp_chain& chain, audio_chunk& chunk, int flags, abort_callback& abort);

// The host's edit callback for a chain: every preset a dialog reports replaces its DSP in the chain
// at once, so playback follows the dialog; `observer`, when given, hears of each one afterwards.
class dsp_chain_edit_callback final : public preset_edit_callback {
public:
    using observer_t = std::function<void(const dsp_preset&)>;

    explicit dsp_chain_edit_callback(dsp_chain& chain, observer_t observer = {})
        : chain_(chain), observer_(std::move(observer)) {}
    void on_preset_changed(const dsp_preset& preset) override {
        chain_.put_preset(preset);
        if (observer_) observer_(preset);
    }

private:
    dsp_chain& chain_;
    observer_t observer_;
};

// The live editor: the dialog of `entry` over `parent`, starting from the chain's preset of that DSP
// (or its default), with the chain following every change (and `observer` hearing of each). A DSP
// that was not in the chain and whose dialog ends on its start (Cancel) leaves the chain as it was.
// True when the chain ends with another preset of that DSP than it started with. An entry without
// a live dialog gets the modal editor. What the dialog or the chain raises passes on.
bool edit_chain_preset_live(dsp_entry& entry, dsp_chain& chain, host_window parent,
                            dsp_chain_edit_callback::observer_t observer = {});
// The modal editor: the dialog of `entry` over `parent` on a copy of the chain's preset (or the
// default); when the dialog changed it, the chain takes the result. True when it did.
bool edit_chain_preset_modal(dsp_entry& entry, dsp_chain& chain, host_window parent);

// The chain's file: one record per preset, in order: owner GUID (16 bytes), 32-bit little-endian
// length, that many bytes of data. A missing file is an empty chain; a record cut short ends the
// list, and what came before it counts.
std::vector<dsp_preset_impl> read_dsp_chain_file(const std::string& path);
// Written beside the old file and moved over it. Raises zorb::exception when it cannot be written.
void write_dsp_chain_file(const std::string& path, const std::vector<dsp_preset_impl>& presets);

}  // namespace minihost
