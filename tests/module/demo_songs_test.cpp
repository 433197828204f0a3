// The committed demo songs are exactly what the generator writes, and each
// loads as its format with the shape and the effects the composition gives it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "demo_songs.h"
#include "module.h"

namespace {

std::vector<uint8_t> committed(const char* name) {
    std::ifstream file(std::string(AMBREL_SOURCE_DIR) + "/assets/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const demo::song& score() {
    static const demo::song composed = demo::compose_demo_song();
    return composed;
}

struct loaded_song {
    module_context context;
    i32 result;
    explicit loaded_song(const std::vector<uint8_t>& file) {
        std::memset(&context, 0, sizeof context);
        result = module_load(file.data(), static_cast<i32>(file.size()), &context);
    }
    ~loaded_song() { module_free(&context); }

    // Effect codes found in the given slot of any cell.
    std::set<int> codes(int slot) const {
        std::set<int> found;
        for (i32 p = 0; p < context.pattern_count; ++p)
            for (u32 i = 0; i < context.pattern_rows[p] * static_cast<u32>(context.channel_count); ++i)
                if (context.patterns[p][i].effects[slot] < fx_count) found.insert(context.patterns[p][i].effects[slot]);
        return found;
    }
    bool has_note(u8 note) const {
        for (i32 p = 0; p < context.pattern_count; ++p)
            for (u32 i = 0; i < context.pattern_rows[p] * static_cast<u32>(context.channel_count); ++i)
                if (context.patterns[p][i].note == note) return true;
        return false;
    }
};

struct demo_file {
    const char* name;
    std::vector<uint8_t> (*write)(const demo::song&);
    u32 format;
};

const demo_file demo_files[] = {
    {"demo.mod", demo::write_mod_song, module_format_mod},
    {"demo.s3m", demo::write_s3m_song, module_format_s3m},
    {"demo.xm", demo::write_xm_song, module_format_xm},
};

TEST(DemoSongs, CommittedFilesAreWhatTheGeneratorWrites) {
    for (const demo_file& f : demo_files) {
        SCOPED_TRACE(f.name);
        const std::vector<uint8_t> written = f.write(score());
        const std::vector<uint8_t> stored = committed(f.name);
        ASSERT_FALSE(stored.empty()) << "missing assets/" << f.name;
        EXPECT_EQ(written.size(), stored.size());
        EXPECT_TRUE(written == stored) << "regenerate with make-demo-songs assets";
    }
}

TEST(DemoSongs, EachLoadsAsItsFormatWithTheSongShape) {
    for (const demo_file& f : demo_files) {
        SCOPED_TRACE(f.name);
        loaded_song song(committed(f.name));
        ASSERT_EQ(song.result, 0);
        const module_context& c = song.context;
        EXPECT_EQ(c.format_id, f.format);
        EXPECT_STREQ(std::string(c.title, strnlen(c.title, sizeof c.title)).c_str(), "kiv_ambrel demo");
        EXPECT_EQ(c.channel_count, 8 + 1);
        EXPECT_EQ(c.order_count, 4u);
        EXPECT_EQ(c.pattern_count, 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(c.orders[i], i);
        // MOD always has 31 sample slots; seven of them are used everywhere.
        EXPECT_EQ(c.instrument_count, f.format == module_format_mod ? 31 : 7);
        for (int i = 0; i < 7; ++i) {
            EXPECT_NE(c.samples[i].data, nullptr) << "sample " << i + 1;
            EXPECT_GT(c.samples[i].length, 256u) << "sample " << i + 1;
        }
        // Drums one-shot; bass, lead, pluck and pad sustain on a loop.
        for (int i = 0; i < 7; ++i) EXPECT_EQ(c.samples[i].looped, i >= 3) << "sample " << i + 1;
        EXPECT_TRUE(song.has_note(module_note_off) == (f.format != module_format_mod));
    }
}

TEST(DemoSongs, XmCarriesWhatOnlyXmCanExpress) {
    loaded_song song(committed("demo.xm"));
    ASSERT_EQ(song.result, 0);
    const module_context& c = song.context;
    EXPECT_EQ(c.linear_frequencies, 1);
    int sixteen_bit = 0, eight_bit = 0, ping_pong = 0, sustained = 0, looping = 0, fading = 0;
    for (int i = 0; i < c.sample_count; ++i) {
        (c.samples[i].is_16bit ? sixteen_bit : eight_bit)++;
        ping_pong += c.samples[i].ping_pong;
    }
    for (int i = 0; i < c.instrument_count; ++i) {
        const module_instrument& instrument = c.instruments[i];
        for (const module_envelope* e : {&instrument.volume_envelope, &instrument.panning_envelope}) {
            if (!e->enabled) continue;
            sustained += e->sustain_point != 255;
            looping += e->loop_start != 255;
        }
        fading += instrument.fadeout > 0;
    }
    EXPECT_GT(sixteen_bit, 0);
    EXPECT_GT(eight_bit, 0);
    EXPECT_GT(ping_pong, 0);
    EXPECT_GT(sustained, 0);
    EXPECT_GT(looping, 0);
    EXPECT_GT(fading, 0);
    // Volume column: panning and volume slides in slot 0.
    const std::set<int> volume_column = song.codes(0);
    EXPECT_TRUE(volume_column.count(fx_set_pan));
    EXPECT_TRUE(volume_column.count(fx_xm_volume_slide));
}

// Between them the three songs exercise every effect the player is judged on;
// each format has its own codes for some of them.
TEST(DemoSongs, EveryFormatCarriesTheScoredEffects) {
    struct expectation {
        const char* what;
        int mod, s3m, xm;
    };
    const expectation effects[] = {
        {"arpeggio", fx_arpeggio, fx_arpeggio, fx_arpeggio},
        {"portamento up", fx_porta_up, fx_s3m_porta_up, fx_xm_porta_up},
        {"portamento down", fx_porta_down, fx_s3m_porta_down, fx_xm_porta_down},
        {"tone portamento", fx_tone_porta, fx_tone_porta, fx_tone_porta},
        {"vibrato", fx_vibrato, fx_vibrato, fx_vibrato},
        {"tremolo", fx_tremolo, fx_s3m_tremolo, fx_tremolo},
        {"volume slide", fx_volume_slide, fx_s3m_volume_slide, fx_xm_volume_slide},
        {"fine volume slide", fx_fine_volume_up, fx_s3m_volume_slide, fx_fine_volume_up},
        {"sample offset", fx_sample_offset, fx_sample_offset, fx_sample_offset},
        {"note cut", fx_note_cut, fx_note_cut, fx_note_cut},
        {"retrigger", fx_retrigger, fx_s3m_retrigger, fx_retrigger},
        {"speed", fx_speed_tempo, fx_s3m_speed, fx_speed_tempo},
        {"tempo", fx_speed_tempo, fx_s3m_tempo, fx_speed_tempo},
        {"pattern loop", fx_pattern_loop, fx_pattern_loop, fx_pattern_loop},
        {"pattern break", fx_pattern_break, fx_pattern_break, fx_pattern_break},
        {"position jump", fx_position_jump, fx_position_jump, fx_position_jump},
    };
    for (const demo_file& f : demo_files) {
        SCOPED_TRACE(f.name);
        loaded_song song(committed(f.name));
        ASSERT_EQ(song.result, 0);
        std::set<int> codes = song.codes(0);
        const std::set<int> second = song.codes(1);
        codes.insert(second.begin(), second.end());
        for (const expectation& e : effects) {
            const int code = f.format == module_format_mod ? e.mod : f.format == module_format_s3m ? e.s3m : e.xm;
            EXPECT_TRUE(codes.count(code)) << e.what;
        }
    }
}

}  // namespace
