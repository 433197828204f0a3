// The committed demo songs are exactly what the generator writes, and between them they carry
// every effect the player is judged on (each format with its own codes for some of them).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "demo_songs.h"
#include "loader_test_support.h"

namespace {

struct demo_file {
    const char* name;
    std::vector<uint8_t> (*write)(const demo::song&);
    int format;  // the column of the effect table below
};

const demo_file demo_files[] = {
    {"demo.mod", demo::write_mod_song, 0},
    {"demo.s3m", demo::write_s3m_song, 1},
    {"demo.xm", demo::write_xm_song, 2},
};

TEST(DemoSongs, CommittedFilesAreWhatTheGeneratorWritesAndCarryTheScoredEffects) {
    const int scored_effects[][3] = {
        {fx_arpeggio, fx_arpeggio, fx_arpeggio},
        {fx_porta_up, fx_s3m_porta_up, fx_xm_porta_up},
        {fx_porta_down, fx_s3m_porta_down, fx_xm_porta_down},
        {fx_tone_porta, fx_tone_porta, fx_tone_porta},
        {fx_vibrato, fx_vibrato, fx_vibrato},
        {fx_tremolo, fx_s3m_tremolo, fx_tremolo},
        {fx_volume_slide, fx_s3m_volume_slide, fx_xm_volume_slide},
        {fx_fine_volume_up, fx_s3m_volume_slide, fx_fine_volume_up},
        {fx_sample_offset, fx_sample_offset, fx_sample_offset},
        {fx_note_cut, fx_note_cut, fx_note_cut},
        {fx_retrigger, fx_s3m_retrigger, fx_retrigger},
        {fx_speed_tempo, fx_s3m_speed, fx_speed_tempo},
        {fx_speed_tempo, fx_s3m_tempo, fx_speed_tempo},
        {fx_pattern_loop, fx_pattern_loop, fx_pattern_loop},
        {fx_pattern_break, fx_pattern_break, fx_pattern_break},
        {fx_position_jump, fx_position_jump, fx_position_jump},
    };
    const demo::song score = demo::compose_demo_song();
    for (const demo_file& f : demo_files) {
        SCOPED_TRACE(f.name);
        const std::vector<uint8_t> stored = source_file(std::string("assets/") + f.name);
        ASSERT_FALSE(stored.empty()) << "missing assets/" << f.name;
        EXPECT_TRUE(f.write(score) == stored) << "regenerate with make-demo-songs assets";
        loaded_song song(stored);
        ASSERT_EQ(song.result, 0);
        const module_context& c = song.context;
        std::set<int> codes;
        for (i32 p = 0; p < c.pattern_count; ++p)
            for (u32 i = 0; i < c.pattern_rows[p] * static_cast<u32>(c.channel_count); ++i)
                for (u16 code : c.patterns[p][i].effects) codes.insert(code);
        for (const auto& effect : scored_effects) EXPECT_TRUE(codes.count(effect[f.format])) << effect[f.format];
    }
}

}  // namespace
