// The gain DSP in minihost, linked in-process: entry, presets, processing, the chain and its file,
// and what happens where no dialog can be shown.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "host/dsp.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "minihost/app/dsp_commands.h"
#include "minihost/host/dsp_chain.h"
#include "sample/dsp/dsp_popup.h"
#include "sample/dsp/dsp_sample.h"
#include "tests/component/host_fixture.h"
#include "zorb/files.h"

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

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

// Two chunks of stereo frames holding the known samples, run through `chain`.
std::vector<std::vector<float>> run_known_samples(minihost::dsp_chain& chain) {
    minihost::dsp_chunk_list_impl list;
    for (int c = 0; c < 2; ++c) {
        minihost::audio_chunk_impl& chunk = list.add();
        chunk.set_data_size(known_samples.size());
        std::copy(known_samples.begin(), known_samples.end(), chunk.get_data());
        chunk.set_sample_count(known_samples.size() / 2);
        chunk.set_sample_rate(44100);
        chunk.set_channels(2, 3);
    }
    abort_callback_dummy abort;
    chain.run(list, nullptr, 0, abort);
    std::vector<std::vector<float>> result;
    for (size_t c = 0; c < list.get_count(); ++c) {
        const audio_chunk* chunk = list.get_item(c);
        result.emplace_back(chunk->get_data(), chunk->get_data() + chunk->get_sample_count() * chunk->get_channels());
    }
    return result;
}

class GainDsp : public ::testing::Test {
protected:
    void SetUp() override { host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"}); }

    test_support::scratch_folder folder{std::string("gain-dsp-") +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    minihost::host host{folder.file("config.bin")};
};

TEST_F(GainDsp, EntryNamesItselfAndMakesTheDefaultPreset) {
    auto entry = service_lookup_one_t<dsp_entry>(host);
    zorb::string8 name;
    entry->get_name(name);
    EXPECT_EQ(name.str(), "Sample DSP");
    EXPECT_EQ(host_guid::to_text(entry->get_guid()), "{0890827B-67DF-4C27-BA1A-4F958D0FB5D0}");
    EXPECT_TRUE(entry->has_config_dialog());
    EXPECT_TRUE(entry.query_as<dsp_entry_v2>());
    dsp_preset_impl preset = preset_of(other_owner, {9, 9, 9, 9, 9, 9});
    ASSERT_TRUE(entry->make_default_preset(preset));
    EXPECT_TRUE(preset.same_as(preset_of(entry->get_guid(), {0, 0, 0, 0})));
    // -20 dB is the float 0xC1A00000, stored little-endian.
    EXPECT_TRUE(gain_preset(-20).same_as(preset_of(entry->get_guid(), {0x00, 0x00, 0xA0, 0xC1})));
}

TEST_F(GainDsp, ScalesByTheGainWithoutClipping) {
    struct gain_case {
        float gain_db;
        double factor;
    };
    for (const gain_case& g : {gain_case{0, 1.0}, gain_case{-20, 0.1}, gain_case{20, 10.0}, gain_case{6, 1.9952623}}) {
        minihost::dsp_chain chain(host);
        chain.set_presets({gain_preset(g.gain_db)});
        for (const std::vector<float>& chunk : run_known_samples(chain)) {
            ASSERT_EQ(chunk.size(), known_samples.size());
            for (size_t i = 0; i < chunk.size(); ++i)
                EXPECT_NEAR(chunk[i], known_samples[i] * g.factor, 1e-6 * std::max(1.0, g.factor)) << g.gain_db;
        }
    }
}

TEST_F(GainDsp, PresetDataShorterThanAFloatOrNotFiniteMeansNoGain) {
    const float infinity = std::numeric_limits<float>::infinity();
    for (const dsp_preset_impl& preset :
         {preset_of(ambrel::dsp_sample_guid, {}), preset_of(ambrel::dsp_sample_guid, {0x00, 0x41}),
          preset_of(ambrel::dsp_sample_guid, {0x00, 0x00, 0xC0, 0x7F}),  // NaN
          gain_preset(infinity), gain_preset(-infinity)}) {
        EXPECT_EQ(ambrel::dsp_sample_gain_from_preset(preset), 0.0f);
        minihost::dsp_chain chain(host);
        chain.set_presets({preset});
        EXPECT_EQ(run_known_samples(chain).at(0), known_samples);
    }
    // Bytes after the first four are not the DSP's business.
    EXPECT_EQ(ambrel::dsp_sample_gain_from_preset(preset_of(ambrel::dsp_sample_guid, {0, 0, 0xA0, 0xC1, 7, 7})),
              -20.0f);
}

TEST_F(GainDsp, InstancesComeOnlyFromItsOwnPresets) {
    auto entry = service_lookup_one_t<dsp_entry>(host);
    service_ptr_t<dsp> instance;
    EXPECT_FALSE(entry->create_instance(instance, preset_of(other_owner, {0, 0, 0xA0, 0xC1})));
    EXPECT_FALSE(instance);
    ASSERT_TRUE(entry->create_instance(instance, gain_preset(-20)));
    EXPECT_EQ(instance->latency_seconds(), 0.0);
    EXPECT_FALSE(instance->wants_track_change_mark());
    // The chain refuses a preset no DSP owns and keeps what it had.
    minihost::dsp_chain chain(host);
    chain.set_presets({gain_preset(-6)});
    EXPECT_THROW(chain.set_presets({gain_preset(0), preset_of(other_owner, {})}), zorb::exception);
    EXPECT_THROW(chain.put_preset(preset_of(other_owner, {})), zorb::exception);
    ASSERT_EQ(chain.presets().size(), 1u);
    EXPECT_TRUE(chain.presets()[0].same_as(gain_preset(-6)));
}

TEST_F(GainDsp, RunsEveryChunkAndTheEndFlagsPassQuietly) {
    auto entry = service_lookup_one_t<dsp_entry>(host);
    service_ptr_t<dsp> instance;
    ASSERT_TRUE(entry->create_instance(instance, gain_preset(-20)));
    minihost::dsp_chunk_list_impl list;
    for (int c = 0; c < 3; ++c) {
        minihost::audio_chunk_impl& chunk = list.add();
        chunk.set_data_size(2);
        chunk.get_data()[0] = chunk.get_data()[1] = float(c + 1);
        chunk.set_sample_count(1);
        chunk.set_channels(2, 3);
    }
    for (int flags : {0, dsp_end_of_track, dsp_end_of_playback}) instance->run(&list, nullptr, flags);
    ASSERT_EQ(list.get_count(), 3u);
    for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(list.get_item(c)->get_data()[1], (c + 1) * 0.001, 1e-7);
    // An abort requested before the run stops the chain with "User abort".
    struct aborting final : abort_callback {
        bool is_aborting() const override { return true; }
    } abort;
    minihost::dsp_chain chain(host);
    chain.set_presets({gain_preset(0)});
    EXPECT_THROW(chain.run(list, nullptr, 0, abort), velmora_io::exception_aborted);
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
    minihost::dsp_chain chain(host);
    EXPECT_FALSE(minihost::edit_chain_preset_modal(*entry, chain, nullptr));
    EXPECT_TRUE(chain.empty());
}

TEST(GainDspDialog, SliderPositionAndLabelText) {
    struct mapping {
        float gain_db;
        int position;
    };
    for (const mapping& m : {mapping{7.6f, 28}, mapping{-25, 0}, mapping{0, 20}, mapping{0.5f, 21}, mapping{-0.5f, 20},
                             mapping{-0.51f, 19}, mapping{19.5f, 40}, mapping{1e30f, 40}, mapping{-1e30f, 0},
                             mapping{std::numeric_limits<float>::quiet_NaN(), 20}})
        EXPECT_EQ(ambrel::dsp_popup_slider_position(m.gain_db), m.position) << m.gain_db;
    EXPECT_EQ(ambrel::dsp_popup_gain_at(0), -20.0f);
    EXPECT_EQ(ambrel::dsp_popup_gain_at(40), 20.0f);
    EXPECT_EQ(ambrel::dsp_popup_label(-5), "-5.0000000 dB");
    EXPECT_EQ(ambrel::dsp_popup_label(0), "0.0000000 dB");
    EXPECT_EQ(ambrel::dsp_popup_label(-0.0f), "0.0000000 dB");
    EXPECT_EQ(ambrel::dsp_popup_label(0.25f), "0.2500000 dB");
    EXPECT_EQ(ambrel::dsp_popup_label(-20), "-20.0000000 dB");
}

TEST(SharedLibrary, ScaleWorksInPlaceAndIntoAnotherBlock) {
    float samples[] = {1.0f, -2.0f, 0.5f};
    float other[3] = {};
    audio_math::scale(samples, 3, other, 4.0f);
    audio_math::scale(samples, 2, samples, -0.5f);
    EXPECT_EQ(std::vector<float>(other, other + 3), (std::vector<float>{4.0f, -8.0f, 2.0f}));
    EXPECT_EQ(std::vector<float>(samples, samples + 3), (std::vector<float>{-0.5f, 1.0f, 0.5f}));
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

TEST_F(GainDsp, PlayOptionsNameDspsAndTheirPresetData) {
    std::vector<std::string> arguments = {"song.xm", "--dsp", "Sample DSP", "--preset", "f32:-20", "--seconds", "2"};
    std::vector<minihost::dsp_choice> choices;
    std::string error;
    ASSERT_TRUE(minihost::take_dsp_options(arguments, choices, error)) << error;
    EXPECT_EQ(arguments, (std::vector<std::string>{"song.xm", "--seconds", "2"}));
    minihost::dsp_chain chain(host);
    minihost::load_play_chain(host, choices, folder.file("config.bin"), chain);
    ASSERT_EQ(chain.presets().size(), 1u);
    EXPECT_TRUE(chain.presets()[0].same_as(gain_preset(-20)));
    // Without --preset the DSP's default preset; an unknown DSP is refused.
    minihost::load_play_chain(host, {{"Sample DSP", false, {}}}, folder.file("config.bin"), chain);
    EXPECT_TRUE(chain.presets()[0].same_as(gain_preset(0)));
    EXPECT_THROW(minihost::load_play_chain(host, {{"Loudness", false, {}}}, folder.file("config.bin"), chain),
                 zorb::exception);

    for (std::vector<std::string> wrong : {std::vector<std::string>{"--preset", "00"},
                                           {"--dsp"},
                                           {"--dsp", "X", "--preset"},
                                           {"--dsp", "X", "--preset", "loud"},
                                           {"--dsp", "X", "--preset", "00", "--preset", "01"}}) {
        std::vector<minihost::dsp_choice> none;
        EXPECT_FALSE(minihost::take_dsp_options(wrong, none, error)) << testing::PrintToString(wrong);
    }
}

TEST(PresetData, HexadecimalBytesAndLittleEndianFloats) {
    struct parse_case {
        const char* text;
        std::vector<uint8_t> data;  // empty: refused
    };
    for (const parse_case& c : {parse_case{"0000a0c1", {0x00, 0x00, 0xA0, 0xC1}},
                                {"00FF7e", {0x00, 0xFF, 0x7E}},
                                {"f32:-20", {0x00, 0x00, 0xA0, 0xC1}},
                                {"f32:1.5,0102", {0x00, 0x00, 0xC0, 0x3F, 0x01, 0x02}},
                                {"01,f32:0", {0x01, 0, 0, 0, 0}},
                                {"", {}},
                                {"abc", {}},
                                {"0g", {}},
                                {"01,", {}},
                                {"f32:", {}},
                                {"f32:inf", {}},
                                {"f32:2x", {}},
                                {"f64:1", {}}}) {
        std::vector<uint8_t> data = {9};
        std::string error;
        const bool taken = minihost::parse_preset_data(c.text, data, error);
        EXPECT_EQ(taken, !c.data.empty()) << c.text;
        if (taken) {
            EXPECT_EQ(data, c.data) << c.text;
        }
    }
}

TEST_F(GainDsp, PresetLinesShowTheOwnerAndTheBytesOnly) {
    EXPECT_EQ(minihost::describe_preset(host, gain_preset(-20)), "Sample DSP [0000a0c1]");
    EXPECT_EQ(minihost::describe_preset(host, preset_of(other_owner, {})), "{11111111-2222-3333-4444-555555555555} []");
}

}  // namespace
