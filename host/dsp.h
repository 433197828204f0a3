// DSPs as the host runs them: presets, chunk lists, DSP instances, DSP entries and the edit callback,
// with the implementation helpers a component builds its DSPs from.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "host/abort.h"
#include "host/exceptions.h"
#include "host/host_api.h"
#include "host/records.h"
#include "host/service.h"
#include "zorb/string.h"

// A track of the host; opaque to DSPs that do not ask about it.
class metadb_handle;

// A DSP's settings: the GUID of the DSP that owns them and a data block only that DSP reads. The
// object belongs to whoever made it; one thread at a time. Raises nothing.
class dsp_preset {
public:
    virtual GUID get_owner() const = 0;
    virtual void set_owner(const GUID& owner) = 0;
    virtual const void* get_data() const = 0;
    virtual size_t get_data_size() const = 0;
    virtual void set_data(const void* data, size_t size) = 0;

    // Same owner, size and bytes.
    bool same_as(const dsp_preset& other) const {
        return get_owner() == other.get_owner() && get_data_size() == other.get_data_size() &&
               (get_data_size() == 0 || std::memcmp(get_data(), other.get_data(), get_data_size()) == 0);
    }
    void copy_from(const dsp_preset& other) {
        set_owner(other.get_owner());
        set_data(other.get_data(), other.get_data_size());
    }

protected:
    ~dsp_preset() = default;
};

class dsp_preset_impl final : public dsp_preset {
public:
    dsp_preset_impl() = default;
    dsp_preset_impl(const dsp_preset_impl& other) = default;
    dsp_preset_impl& operator=(const dsp_preset_impl& other) = default;
    explicit dsp_preset_impl(const dsp_preset& other) { copy_from(other); }

    GUID get_owner() const override { return owner_; }
    void set_owner(const GUID& owner) override { owner_ = owner; }
    const void* get_data() const override { return data_.data(); }
    size_t get_data_size() const override { return data_.size(); }
    void set_data(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        data_.assign(bytes, bytes + size);
    }

private:
    GUID owner_{};
    std::vector<uint8_t> data_;
};

// Reads a preset's data front to back; a read past its end raises
// velmora_io::exception_io_data_truncation.
class dsp_preset_parser {
public:
    explicit dsp_preset_parser(const dsp_preset& preset)
        : data_(static_cast<const uint8_t*>(preset.get_data())), size_(preset.get_data_size()) {}

    // A 32-bit little-endian IEEE 754 float.
    float read_float_le() {
        if (size_ - position_ < 4) throw velmora_io::exception_io_data_truncation();
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(data_[position_ + i]) << (8 * i);
        position_ += 4;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Builds a preset's data front to back.
class dsp_preset_builder {
public:
    void write_float_le(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    }
    // Stores the data built so far and `owner` into `out`.
    void finish(const GUID& owner, dsp_preset& out) const {
        out.set_owner(owner);
        out.set_data(bytes_.data(), bytes_.size());
    }

private:
    std::vector<uint8_t> bytes_;
};

// The chunks of one DSP run, in playing order. The host owns the list and the chunks; the DSP uses
// them during the run only. Raises nothing.
class dsp_chunk_list {
public:
    virtual size_t get_count() const = 0;
    virtual audio_chunk* get_item(size_t index) = 0;
    // Drops the chunk at `index`; the ones after it move up.
    virtual void remove_by_idx(size_t index) = 0;

protected:
    ~dsp_chunk_list() = default;
};

// Flags of a DSP run.
constexpr int dsp_end_of_track = 1;     // the last chunks of a track; another one follows
constexpr int dsp_end_of_playback = 2;  // the last chunks before playback stops

// A DSP instance: created from one preset, called on the host's audio thread, one call at a time.
// run and run_with_abort raise what the DSP meets (velmora_io::exception_aborted among them); the
// others raise nothing.
class dsp : public service_base {
public:
    static constexpr GUID class_guid = {0x3D6A5C2B, 0x0F7E, 0x4B59, {0x8B, 0x7D, 0x51, 0x0C, 0x9A, 0x61, 0x2E, 0x14}};
    using parent_t = service_base;

    // Processes `chunks` in place; `track` is the track the first chunk belongs to (may be null).
    virtual void run(dsp_chunk_list* chunks, metadb_handle* track, int flags) = 0;
    // Drops whatever the DSP holds back (after a seek).
    virtual void flush() = 0;
    virtual double latency_seconds() = 0;
    // True when the DSP wants an end-of-track run between tracks.
    virtual bool wants_track_change_mark() = 0;
};

class dsp_v2 : public dsp {
public:
    static constexpr GUID class_guid = {0x7C81D7C4, 0x5E2A, 0x4F1E, {0xA6, 0x27, 0x03, 0xC9, 0x4D, 0x88, 0xB1, 0x5E}};
    using parent_t = dsp;

    // As run, polling `abort` (which raises velmora_io::exception_aborted) in long work.
    virtual void run_with_abort(dsp_chunk_list* chunks, metadb_handle* track, int flags, abort_callback& abort) = 0;
};

// Told every preset a configuration dialog produces, on the dialog's thread. `preset` is lent for
// the call. What it raises ends the dialog, which then raises it to whoever opened the dialog.
class preset_edit_callback {
public:
    virtual void on_preset_changed(const dsp_preset& preset) = 0;

protected:
    ~preset_edit_callback() = default;
};

// What the host knows of one DSP kind: its name, GUID, default preset, instances and dialog. A
// singleton; any thread, except the dialogs, which run on the host's main thread. Raises nothing
// unless an operation says so.
class dsp_entry : public service_base {
public:
    static constexpr GUID class_guid = {0x1B9A5E73, 0x6C1D, 0x4A42, {0x95, 0x3E, 0x7F, 0x2B, 0xC0, 0x15, 0x64, 0xD8}};
    using parent_t = service_base;

    virtual void get_name(zorb::string_base& out) = 0;
    // Writes the default preset into `out`; true on success.
    virtual bool make_default_preset(dsp_preset& out) = 0;
    // A new instance for `preset` with one reference in `out`; false when the preset is not this DSP's.
    virtual bool create_instance(service_ptr_t<dsp>& out, const dsp_preset& preset) = 0;
    virtual GUID get_guid() = 0;
    virtual bool has_config_dialog() = 0;
    // Edits `preset` in a modal dialog over `parent`; true, with the result in `preset`, when it changed.
    // Raises what the dialog meets.
    virtual bool edit_preset_modal(dsp_preset& preset, host_window parent) = 0;
};

class dsp_entry_v2 : public dsp_entry {
public:
    static constexpr GUID class_guid = {0x4F0C2E86, 0x97B3, 0x4D15, {0xB2, 0x48, 0x6A, 0xD1, 0x0E, 0x37, 0xF9, 0x02}};
    using parent_t = dsp_entry;
    using service_class_t = dsp_entry;

    // Runs the dialog modally over `parent`, telling `callback` every change as it happens. Raises
    // what the dialog or `callback` raises, once the dialog has closed.
    virtual void edit_preset_live(const dsp_preset& preset, host_window parent, preset_edit_callback& callback) = 0;
};

// The host's chunk-list bookkeeping for a DSP that handles one chunk at a time: `Interface` is
// dsp_v2, and the DSP overrides the hooks.
template <typename Interface = dsp_v2>
class dsp_impl_base_t : public Interface {
public:
    void run(dsp_chunk_list* chunks, metadb_handle* track, int flags) override {
        abort_callback_dummy never;
        this->run_with_abort(chunks, track, flags, never);
    }
    void run_with_abort(dsp_chunk_list* chunks, metadb_handle* track, int flags, abort_callback& abort) override {
        current_list_ = chunks;
        current_track_ = track;
        for (current_index_ = 0; current_index_ < chunks->get_count();) {
            if (process_chunk(chunks->get_item(current_index_), abort))
                ++current_index_;
            else
                chunks->remove_by_idx(current_index_);
        }
        if (flags & dsp_end_of_playback)
            end_of_playback(abort);
        else if ((flags & dsp_end_of_track) && this->wants_track_change_mark())
            end_of_track(abort);
        current_list_ = nullptr;
        current_track_ = nullptr;
        current_index_ = 0;
    }

    virtual void end_of_track(abort_callback& abort) = 0;
    virtual void end_of_playback(abort_callback& abort) = 0;
    // Handles one chunk; false drops it from the list.
    virtual bool process_chunk(audio_chunk* chunk, abort_callback& abort) = 0;

protected:
    metadb_handle* current_track() const { return current_track_; }

private:
    dsp_chunk_list* current_list_ = nullptr;  // during a run only
    metadb_handle* current_track_ = nullptr;  // during a run only
    size_t current_index_ = 0;                // the chunk being processed
};

// The entry of DSP class T, which provides:
//   T(const dsp_preset&)                         an instance for a preset of its own
//   static void g_get_name(zorb::string_base&)
//   static GUID g_get_guid()
//   static bool g_get_default_preset(dsp_preset&)
//   static bool g_have_config_popup()
//   static void g_show_config_popup(const dsp_preset&, host_window, preset_edit_callback&)
template <typename T>
class dsp_entry_v2_impl_t : public dsp_entry_v2 {
public:
    void get_name(zorb::string_base& out) override { T::g_get_name(out); }
    bool make_default_preset(dsp_preset& out) override { return T::g_get_default_preset(out); }
    bool create_instance(service_ptr_t<dsp>& out, const dsp_preset& preset) override {
        if (preset.get_owner() != T::g_get_guid()) return false;
        out = service_ptr_t<dsp>(new service_impl_t<T>(preset));
        return true;
    }
    GUID get_guid() override { return T::g_get_guid(); }
    bool has_config_dialog() override { return T::g_have_config_popup(); }
    bool edit_preset_modal(dsp_preset& preset, host_window parent) override {
        struct keep_last final : preset_edit_callback {
            explicit keep_last(const dsp_preset& start) : edited(start) {}
            void on_preset_changed(const dsp_preset& changed) override { edited.copy_from(changed); }
            dsp_preset_impl edited;
        } callback(preset);
        edit_preset_live(preset, parent, callback);
        if (callback.edited.same_as(preset)) return false;
        preset.copy_from(callback.edited);
        return true;
    }
    void edit_preset_live(const dsp_preset& preset, host_window parent, preset_edit_callback& callback) override {
        T::g_show_config_popup(preset, parent, callback);
    }
};
