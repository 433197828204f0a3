// The gain DSP in minihost, linked in-process: entry, presets, processing, the chain and its file,
// and what happens where no dialog can be shown.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "host/dsp.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "minihost/app/dsp_commands.h"
#include "minihost/host/dsp_chain.h"
#include "sample/dsp/dsp_popup.h"
#include "sample/dsp/dsp_sample.h"
#include "tests/component/sample_fixture.h"
#include "zorb/files.h"

namespace {

constexpr GUID other_owner = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

dsp_preset_impl preset_of(const GUID& owner, std::vector<uint8_t> data) {
    dsp_preset_impl preset;
    preset.set_owner(owner);
    preset.set_data(data.data(), data.size());
    return preset;
}

dsp_preset_impl gain_preset(float gain_db) {
    dsp_preset_impl preset;
    ambrel::dsp_sample_make_preset(gain_db, preset);
    return preset;
}

// Samples chosen to show any clipping: full scale and beyond 0.1 of it.
const std::vector<float> known_samples = {0.0f, 0.5f, -0.25f, 1.0f, -1.0f, 0.03125f};

void add_chunks(minihost::dsp_chunk_list_impl& list, const std::vector<std::vector<float>>& chunks) {
    for (const std::vector<float>& values : chunks) {
        minihost::audio_chunk_impl& chunk = list.add();
        chunk.set_data_size(values.size());
        std::copy(values.begin(), values.end(), chunk.get_data());
        chunk.set_sample_count(values.size() / 2);
        chunk.set_sample_rate(44100);
        chunk.set_channels(2, 3);
    }
}

// Two chunks holding the known samples, run through `chain`.
std::vector<std::vector<float>> run_known_samples(minihost::dsp_chain& chain) {
    minihost::dsp_chunk_list_impl list;
    add_chunks(list, {known_samples, known_samples});
    abort_callback_dummy abort;
    chain.run(list, nullptr, 0, abort);
    std::vector<std::vector<float>> result;
    for (size_t c = 0; c < list.get_count(); ++c) {
        const audio_chunk* chunk = list.get_item(c);
        result.emplace_back(chunk->get_data(), chunk->get_data() + chunk->get_sample_count() * chunk->get_channels());
    }
    return result;
}

class GainDsp : public test_support::component_test {
protected:
    GainDsp() : component_test("gain-dsp") {}
};

TEST_F(GainDsp, MakesTheDefaultPresetAndInstancesOnlyFromItsOwnPresets) {
    auto entry = service_lookup_one_t<dsp_entry>(host);
    dsp_preset_impl preset = preset_of(other_owner, {9, 9, 9, 9, 9, 9});
    ASSERT_TRUE(entry->make_default_preset(preset));
    EXPECT_TRUE(preset.same_as(preset_of(entry->get_guid(), {0, 0, 0, 0})));
    // -20 dB is the float 0xC1A00000, stored little-endian.
    EXPECT_TRUE(gain_preset(-20).same_as(preset_of(entry->get_guid(), {0x00, 0x00, 0xA0, 0xC1})));

    service_ptr_t<dsp> instance;
    EXPECT_FALSE(entry->create_instance(instance, preset_of(other_owner, {0, 0, 0xA0, 0xC1})));
    EXPECT_FALSE(instance);
    ASSERT_TRUE(entry->create_instance(instance, gain_preset(-20)));
    // The chain refuses a preset no DSP owns and keeps what it had.
    minihost::dsp_chain chain(host);
    chain.set_presets({gain_preset(-6)});
    EXPECT_THROW(chain.set_presets({gain_preset(0), preset_of(other_owner, {})}), zorb::exception);
    EXPECT_THROW(chain.put_preset(preset_of(other_owner, {})), zorb::exception);
    ASSERT_EQ(chain.presets().size(), 1u);
    EXPECT_TRUE(chain.presets()[0].same_as(gain_preset(-6)));
}

TEST_F(GainDsp, ScalesByThePresetsGainWithoutClippingAndTakesUnusableDataAsNoGain) {
    const struct {
        const char* name;
        dsp_preset_impl preset;
        double factor;
    } cases[] = {{"-20 dB", gain_preset(-20), 0.1},
                 {"+20 dB", gain_preset(20), 10.0},
                 {"bytes after the first four are not the DSP's",
                  preset_of(ambrel::dsp_sample_guid, {0, 0, 0xA0, 0xC1, 7}), 0.1},
                 {"shorter than a float", preset_of(ambrel::dsp_sample_guid, {0x00, 0x41}), 1.0},
                 {"NaN", preset_of(ambrel::dsp_sample_guid, {0x00, 0x00, 0xC0, 0x7F}), 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(ambrel::dsp_sample_gain_from_preset(c.preset), 20 * std::log10(c.factor), 1e-5);
        minihost::dsp_chain chain(host);
        chain.set_presets({c.preset});
        for (const std::vector<float>& chunk : run_known_samples(chain)) {
            ASSERT_EQ(chunk.size(), known_samples.size());
            for (size_t i = 0; i < chunk.size(); ++i)
                EXPECT_NEAR(chunk[i], known_samples[i] * c.factor, 1e-6 * std::max(1.0, c.factor));
        }
    }
}

TEST_F(GainDsp, AnAbortAskedBeforeTheRunStopsTheChain) {
    minihost::dsp_chunk_list_impl list;
    add_chunks(list, {{1, 1}});
    struct aborting final : abort_callback {
        bool is_aborting() const override { return true; }
    } abort;
    minihost::dsp_chain chain(host);
    chain.set_presets({gain_preset(0)});
    EXPECT_THROW(chain.run(list, nullptr, 0, abort), velmora_io::exception_aborted);
}

// A DSP of the test's own, beside the component's: it drops every chunk it is given.
constexpr GUID dropper_guid = {0x5A1E0D0B, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};

class chunk_dropper : public dsp {
public:
    void run(dsp_chunk_list* chunks, metadb_handle*, int) override { chunks->remove_by_idx(0); }
    void flush() override {}
    double latency_seconds() override { return 0; }
    bool wants_track_change_mark() override { return false; }
};

class dropper_entry : public dsp_entry {
public:
    void get_name(zorb::string_base& out) override { out.set_string("Dropper"); }
    bool make_default_preset(dsp_preset&) override { return false; }
    bool create_instance(service_ptr_t<dsp>& out, const dsp_preset&) override {
        out = new service_impl_t<chunk_dropper>();
        return true;
    }
    GUID get_guid() override { return dropper_guid; }
    bool has_config_dialog() override { return false; }
    bool edit_preset_modal(dsp_preset&, host_window) override { return false; }
};

class DroppingDsp : public GainDsp {
protected:
    DroppingDsp() { host.add_service(dsp_entry::class_guid, service_ptr(new service_impl_t<dropper_entry>())); }
};

TEST_F(DroppingDsp, OneChunkRunThroughTheChainIsKeptUnlessADspRemovesIt) {
    for (const bool dropping : {false, true}) {
        minihost::dsp_chunk_list_impl list;
        add_chunks(list, {{1, 1}});
        minihost::dsp_chain chain(host);
        chain.set_presets({gain_preset(0), dropping ? preset_of(dropper_guid, {}) : gain_preset(6)});
        abort_callback_dummy abort;
        EXPECT_EQ(minihost::run_dsp_chain_on(chain, *list.get_item(0), 0, abort), !dropping);
    }
}

TEST_F(GainDsp, WithoutAWindowTheDialogReportsTheStartAndChangesNothing) {
    // Natively there is no window system; in this test program under Wine there is no dialog
    // template (it lives in the DLL). Either way the dialog cannot be created.
    auto entry = service_lookup_one_t<dsp_entry>(host).query_as<dsp_entry_v2>();
    struct recorder final : preset_edit_callback {
        void on_preset_changed(const dsp_preset& preset) override { reported.emplace_back(preset); }
        std::vector<dsp_preset_impl> reported;
    } callback;
    entry->edit_preset_live(gain_preset(4), nullptr, callback);
    ASSERT_EQ(callback.reported.size(), 1u);
    EXPECT_TRUE(callback.reported[0].same_as(gain_preset(4)));
    dsp_preset_impl preset = gain_preset(4);
    EXPECT_FALSE(entry->edit_preset_modal(preset, nullptr));
    EXPECT_TRUE(preset.same_as(gain_preset(4)));
}

// The gain at each slider position: tests/win/dialog_test.cpp.
TEST(GainDspDialog, SliderPositionAndLabelText) {
    const std::pair<float, int> positions[] = {
        {7.6f, 28},   {-25, 0},    {0, 20},     {0.5f, 21},  {-0.5f, 20},
        {-0.51f, 19}, {19.5f, 40}, {1e30f, 40}, {-1e30f, 0}, {std::numeric_limits<float>::quiet_NaN(), 20}};
    for (const auto& [gain_db, position] : positions)
        EXPECT_EQ(ambrel::dsp_popup_slider_position(gain_db), position) << gain_db;
    const std::pair<float, const char*> labels[] = {
        {-5, "-5.0000000 dB"}, {-0.0f, "0.0000000 dB"}, {0.25f, "0.2500000 dB"}};
    for (const auto& [gain_db, label] : labels) EXPECT_EQ(ambrel::dsp_popup_label(gain_db), label);
}

TEST_F(GainDsp, ChainFileKeepsPresetsInOrderAndSurvivesDamage) {
    const std::string path = folder.file("chain.dsp");
    EXPECT_TRUE(minihost::read_dsp_chain_file(path).empty());  // no file: no DSP
    const std::vector<dsp_preset_impl> presets = {gain_preset(-3), preset_of(other_owner, {}),
                                                  preset_of(other_owner, {1, 2, 3, 4, 5})};
    minihost::write_dsp_chain_file(path, presets);
    std::vector<dsp_preset_impl> read = minihost::read_dsp_chain_file(path);
    ASSERT_EQ(read.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(read[i].same_as(presets[i])) << i;
    // Cut inside the last record's data: the first two still count.
    std::filesystem::resize_file(zorb::native_path(path), 20 + 4 + 20 + 20 + 2);
    read = minihost::read_dsp_chain_file(path);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_TRUE(read[1].same_as(presets[1]));
}

TEST_F(GainDsp, PlayOptionsNameDspsAndTheirPresetDataAndPresetLinesShowTheBytes) {
    // A DSP with a chosen preset in a play command: minihost_commands_test.cpp. Without --preset the
    // DSP's default preset; an unknown DSP is refused.
    minihost::dsp_chain chain(host);
    minihost::load_play_chain(host, {{"Sample DSP", false, {}}}, folder.file("config.bin"), chain);
    ASSERT_EQ(chain.presets().size(), 1u);
    EXPECT_TRUE(chain.presets()[0].same_as(gain_preset(0)));
    // Without --dsp, play keeps to the chain kept in the profile.
    minihost::write_dsp_chain_file(folder.file("kept.dsp"), {gain_preset(-3)});
    minihost::load_play_chain(host, {}, folder.file("kept.dsp"), chain);
    ASSERT_EQ(chain.presets().size(), 1u);
    EXPECT_TRUE(chain.presets()[0].same_as(gain_preset(-3)));
    EXPECT_THROW(minihost::load_play_chain(host, {{"Loudness", false, {}}}, folder.file("config.bin"), chain),
                 zorb::exception);
    for (std::vector<std::string> wrong : {std::vector<std::string>{"--preset", "00"},
                                           {"--dsp"},
                                           {"--dsp", "X", "--preset", "loud"},
                                           {"--dsp", "X", "--preset", "00", "--preset", "01"}}) {
        std::vector<minihost::dsp_choice> none;
        std::string error;
        EXPECT_FALSE(minihost::take_dsp_options(wrong, none, error)) << testing::PrintToString(wrong);
    }
    EXPECT_EQ(minihost::describe_preset(host, preset_of(other_owner, {})), "{11111111-2222-3333-4444-555555555555} []");
}

// The gain DSP with its dialog played by a script: the live dialog reports each gain of the script
// in turn (the real one reports every slider move, and its start again on Cancel); the modal one
// ends on the script's last gain, or unchanged when the script is empty.
template <typename Interface>
class scripted_gain_dialog : public Interface {
public:
    scripted_gain_dialog(service_ptr_t<dsp_entry> real, std::vector<float> script)
        : real_(std::move(real)), script_(std::move(script)) {}
    void get_name(zorb::string_base& out) override { real_->get_name(out); }
    bool make_default_preset(dsp_preset& out) override { return real_->make_default_preset(out); }
    bool create_instance(service_ptr_t<dsp>& out, const dsp_preset& preset) override {
        return real_->create_instance(out, preset);
    }
    GUID get_guid() override { return real_->get_guid(); }
    bool has_config_dialog() override { return true; }
    bool edit_preset_modal(dsp_preset& preset, host_window) override {
        started_at = ambrel::dsp_sample_gain_from_preset(preset);
        if (script_.empty()) return false;
        preset.copy_from(gain_preset(script_.back()));
        return true;
    }

    float started_at = 99;  // dB, the gain the dialog opened on

protected:
    service_ptr_t<dsp_entry> real_;
    std::vector<float> script_;
};

class scripted_live_gain_dialog : public scripted_gain_dialog<dsp_entry_v2> {
public:
    using scripted_gain_dialog::scripted_gain_dialog;
    void edit_preset_live(const dsp_preset& preset, host_window, preset_edit_callback& callback) override {
        started_at = ambrel::dsp_sample_gain_from_preset(preset);
        for (float gain : script_) callback.on_preset_changed(gain_preset(gain));
    }
};

TEST_F(GainDsp, ChainEditorsKeepTheChainInStepAndACancelledNewDspLeavesItAsItWas) {
    auto real = service_lookup_one_t<dsp_entry>(host);
    // What configure_dsp prints for a chain holding `before` (dB) whose dialog plays `script`, and the
    // gain the dialog opened on.
    const auto edit = [&](const char* name, std::vector<float> before, bool live, bool live_dialog,
                          std::vector<float> script, const char* printed, float started_at) {
        SCOPED_TRACE(name);
        minihost::dsp_chain chain(host);
        for (float gain : before) chain.put_preset(gain_preset(gain));
        service_ptr_t<scripted_gain_dialog<dsp_entry>> modal_only;
        service_ptr_t<scripted_live_gain_dialog> live_one;
        if (live_dialog)
            live_one = new service_impl_t<scripted_live_gain_dialog>(real, script);
        else
            modal_only = new service_impl_t<scripted_gain_dialog<dsp_entry>>(real, script);
        dsp_entry& entry = live_one ? static_cast<dsp_entry&>(*live_one) : *modal_only;
        std::ostringstream out;
        minihost::configure_dsp(host, entry, chain, live, nullptr, out);
        EXPECT_EQ(out.str(), printed);
        EXPECT_EQ(live_one ? live_one->started_at : modal_only->started_at, started_at);
    };
    edit("live: a move, then Cancel back to the start", {-2}, true, true, {-10, -2},
         "chain takes Sample DSP [000020c1]\nchain takes Sample DSP [000000c0]\nunchanged\n"
         "chain: Sample DSP [000000c0]\n",
         -2);
    edit("live on an empty chain: Cancel at once", {}, true, true, {0},
         "chain takes Sample DSP [00000000]\nunchanged\n", 0);
    edit("live on an empty chain: two moves, then OK", {}, true, true, {5, 10},
         "chain takes Sample DSP [0000a040]\nchain takes Sample DSP [00002041]\nchain: Sample DSP [00002041]\n", 0);
    edit("modal: changed", {-2}, false, true, {6}, "chain: Sample DSP [0000c040]\n", -2);
    edit("modal on an empty chain: unchanged", {}, false, true, {}, "unchanged\n", 0);
    edit("live asked of a DSP with only a modal dialog", {}, true, false, {6}, "chain: Sample DSP [0000c040]\n", 0);
}

TEST(PresetData, HexadecimalBytesAndLittleEndianFloats) {
    const std::pair<const char*, std::vector<uint8_t>> taken[] = {
        {"00FF7e", {0x00, 0xFF, 0x7E}}, {"f32:1.5,0102", {0x00, 0x00, 0xC0, 0x3F, 0x01, 0x02}}};
    std::string error;
    for (const auto& [text, expected] : taken) {
        std::vector<uint8_t> data = {9};
        ASSERT_TRUE(minihost::parse_preset_data(text, data, error)) << text;
        EXPECT_EQ(data, expected) << text;
    }
    for (const char* refused : {"", "abc", "0g", "01,", "f32:", "f32:inf", "f32:2x", "f64:1"}) {
        std::vector<uint8_t> data;
        EXPECT_FALSE(minihost::parse_preset_data(refused, data, error)) << refused;
    }
}

}  // namespace
