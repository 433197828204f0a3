// The player over songs built as records: render loop and song position, note starts, effect
// codes with their memories, envelopes and fadeout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

#include "module.h"

namespace {

// Small songs built directly as module_context records.
// Empty cells as the MOD and S3M loaders leave them (all bytes 255) or as the
// XM loader does (instrument 0, effects 0).
enum class empty_cells { mod_style, xm_style };

constexpr u8 packed(u8 octave, u8 semitone) { return (u8)(octave * 16 + semitone); }

struct test_song {
    static constexpr u32 sample_frames = 1000;

    // `file_channels` playing columns plus the global column; every pattern has
    // the given rows. Instrument i (1-based) plays sample i - 1: 8-bit, constant
    // value 64, 1000 frames looped over the whole length, volume 64, c_rate 8363.
    // MOD style maps all 256 notes of an instrument; XM style only notes 0..95.
    test_song(i32 file_channels, std::vector<u32> rows_per_pattern, std::vector<u8> orders, i32 instrument_count = 1,
              empty_cells style = empty_cells::mod_style) {
        const bool mod_style = style == empty_cells::mod_style;
        context = (module_context*)std::calloc(1, sizeof(module_context));
        context->channel_count = file_channels + 1;
        context->order_count = (u32)orders.size();
        std::copy(orders.begin(), orders.end(), context->orders);
        context->global_volume = 64;
        context->initial_speed = 6;
        context->initial_tempo = 125;
        context->format_id = mod_style ? module_format_mod : module_format_xm;
        context->pattern_count = (i32)rows_per_pattern.size();
        context->patterns = (module_pattern**)std::calloc(rows_per_pattern.size(), sizeof(module_pattern*));
        context->pattern_rows = (u32*)std::calloc(rows_per_pattern.size(), sizeof(u32));
        for (size_t p = 0; p < rows_per_pattern.size(); ++p) {
            size_t cells = (size_t)rows_per_pattern[p] * (size_t)context->channel_count;
            context->pattern_rows[p] = rows_per_pattern[p];
            context->patterns[p] = (module_cell*)std::calloc(cells, sizeof(module_cell));
            for (size_t c = 0; c < cells; ++c) {
                module_cell& cell = context->patterns[p][c];
                if (mod_style) std::memset(&cell, 255, sizeof cell);
                cell.volume = 255;
                cell.note = 255;
            }
        }
        context->instrument_count = instrument_count;
        context->sample_count = instrument_count;
        context->instruments = (module_instrument*)std::calloc((size_t)instrument_count, sizeof(module_instrument));
        context->samples = (module_sample*)std::calloc((size_t)instrument_count, sizeof(module_sample));
        for (i32 i = 0; i < instrument_count; ++i) {
            module_sample& sample = context->samples[i];
            sample.length = sample_frames;
            sample.loop_end = sample_frames;
            sample.looped = 1;
            sample.data = std::malloc(sample_frames);
            std::memset(sample.data, 64, sample_frames);
            sample.volume = 64;
            sample.default_c_rate = 8363;
            sample.c_rate = 8363;
            sample.panning = mod_style ? 255 : 32;
            module_instrument& instrument = context->instruments[i];
            for (i32 n = 0; n < 256; ++n) {
                instrument.note_map[n] = (u8)n;
                if (mod_style || ((n >> 4) < 8 && (n & 15) < 12)) instrument.note_samples[n] = &sample;
            }
            instrument.fadeout = mod_style ? 32767 : 0;
            instrument.volume_envelope.loop_start = instrument.volume_envelope.loop_end = 255;
            instrument.volume_envelope.sustain_point = 255;
            instrument.panning_envelope = instrument.volume_envelope;
        }
        for (i32 c = 0; c < context->channel_count; ++c) {
            context->channels[c].enabled = 1;
            context->channels[c].default_pan = 128;
        }
        context->loaded = 1;
    }
    ~test_song() {
        // The envelope points belong to this fixture, not to the heap blocks module_free releases.
        for (i32 i = 0; i < context->instrument_count; ++i) {
            context->instruments[i].volume_envelope.points = nullptr;
            context->instruments[i].panning_envelope.points = nullptr;
        }
        std::free(context->mix_buffer);
        context->mix_buffer = nullptr;
        module_free(context);
        std::free(context);
    }
    test_song(const test_song&) = delete;
    test_song& operator=(const test_song&) = delete;

    module_cell& cell(i32 pattern, i32 row, i32 column) {
        return context->patterns[pattern][(size_t)row * (size_t)context->channel_count + (size_t)column];
    }
    module_cell& note(i32 pattern, i32 row, i32 column, u8 packed_note, u32 instrument = 0, u8 volume = 255) {
        module_cell& target = cell(pattern, row, column);
        target.note = packed_note;
        target.instrument = instrument;
        target.volume = volume;
        return target;
    }
    module_cell& effect(i32 pattern, i32 row, i32 column, u16 code, u8 param, i32 slot = 0) {
        module_cell& target = cell(pattern, row, column);
        target.effects[slot] = code;
        target.params[slot] = param;
        return target;
    }

    module_sample& sample(i32 index) { return context->samples[index]; }
    module_instrument& instrument(i32 number) { return context->instruments[number - 1]; }
    module_channel& channel(i32 index) { return context->channels[index]; }
    effect_slot& slot(i32 channel_index, i32 slot_index = 0) {
        return context->channels[channel_index].slots[slot_index];
    }

    // Master volume 64, start, output format: as the module input does it.
    void start() {
        context->master_volume = 64;
        module_start(context);
        module_set_output_format(context);
    }
    std::vector<i16> render_bytes(i32 bytes) {
        std::vector<i16> out((size_t)bytes / 2, 0x5555);
        context->output_buffer = out.data();
        context->output_size = bytes;
        module_render(context);
        return out;
    }
    // Renders whole ticks, one render call per tick, so that the per-tick state can be
    // looked at between ticks; after the call the last tick's passes have run.
    void run_ticks(i32 ticks) {
        for (i32 t = 0; t < ticks; ++t) render_bytes((context->samples_per_tick - context->tick_position) * 4);
    }
    // From a fresh start: runs the silent lead-in, so that row 0 has been read and
    // the per-tick pass of its tick 0 has run.
    void enter_first_row() { run_ticks(context->speed); }
    void start_at_first_row() {
        start();
        enter_first_row();
    }
    // Runs the remaining ticks of the current row; afterwards the next row has been read.
    void next_row() { run_ticks(context->speed + context->pattern_delay - context->tick); }

    // Enables an envelope whose points live in this fixture.
    void set_envelope(module_envelope& envelope, std::vector<module_envelope_point> points, u8 sustain = 255,
                      u8 loop_start = 255, u8 loop_end = 255) {
        const std::vector<module_envelope_point>& stored = envelope_points.emplace_back(std::move(points));
        envelope.enabled = 1;
        envelope.point_count = (u8)stored.size();
        envelope.points = const_cast<module_envelope_point*>(stored.data());
        envelope.sustain_point = sustain;
        envelope.loop_start = loop_start;
        envelope.loop_end = loop_end;
    }

    module_context* context;
    std::vector<std::vector<module_envelope_point>> envelope_points;
};

using trace = std::vector<long long>;

constexpr u8 c4 = packed(4, 0);

// The first `speed` ticks are silent, then row 0 sounds; a tempo below 32 plays at 125. A call
// writes exactly its bytes, whatever the tick length.
TEST(PlayerRender, LeadInOfSpeedTicksThenRowZero) {
    test_song song(1, {4}, {0});
    song.context->initial_tempo = 20;
    song.note(0, 0, 0, c4, 1);
    song.start();
    EXPECT_EQ(song.context->tempo, 125);
    std::vector<i16> pcm(2 * 6000 + 32, 0x5555);
    song.context->output_buffer = pcm.data();
    song.context->output_size = 4096;
    module_render(song.context);
    EXPECT_EQ(pcm[2048], 0x5555);
    EXPECT_EQ(song.context->tick, 1);
    EXPECT_EQ(song.context->tick_position, 1024 - 882);
    const std::vector<i16> rest = song.render_bytes((6000 - 1024) * 4);
    std::copy(rest.begin(), rest.end(), pcm.begin() + 2048);
    // Full volume, centred: 32 of 64 gain on each side of a sample value 64 * 256.
    for (i32 frame = 0; frame < 6000; ++frame) ASSERT_EQ(pcm[2 * frame], frame < 5292 ? 0 : 2048) << frame;
    EXPECT_EQ(pcm[2 * 5292 + 1], 2048);
}

TEST(PlayerRender, TickSplitAcrossCallsReadsItsRowOnce) {
    auto build = [](test_song& song) {
        song.note(0, 0, 0, c4, 1);
        song.effect(0, 1, 0, fx_fine_volume_down, 4);
        song.start();
    };
    test_song whole(1, {4}, {0}), split(1, {4}, {0});
    build(whole);
    build(split);
    const i32 frames = 12 * 882 + 300;  // into row 1, which is read at frame 10584
    const std::vector<i16> expected = whole.render_bytes(frames * 4);
    std::vector<i16> pieces;
    const i32 chunk_frames[] = {1, 881, 1000, 3, 4096, 4500, 1};  // one chunk ends mid-tick at row 1
    for (i32 i = 0, done = 0; done < frames; ++i) {
        const i32 n = std::min(chunk_frames[i % 7], frames - done);
        const std::vector<i16> part = split.render_bytes(n * 4);
        pieces.insert(pieces.end(), part.begin(), part.end());
        done += n;
    }
    EXPECT_EQ(pieces, expected);
    EXPECT_EQ(split.channel(0).volume, 60);  // lowered once, not once per render call
}

TEST(PlayerRender, HookSeesTheChannelsThatStartedNotesDuringTheCall) {
    test_song song(3, {4}, {0}, 2);
    song.note(0, 0, 0, c4, 1);
    song.note(0, 0, 2, c4, 2);
    song.note(0, 1, 1, c4);  // no instrument ever selected: starts nothing
    song.start();
    static std::vector<u32> masks;
    masks.clear();
    song.context->render_hook = [](module_context* context) { masks.push_back(context->new_note_mask); };
    for (i32 i = 0; i < 11; ++i) song.render_bytes(4096);
    // Row 0 is read at frame 5292, inside the sixth call; row 1 inside the eleventh.
    EXPECT_EQ(masks, (std::vector<u32>{0, 0, 0, 0, 0, 0b101, 0, 0, 0, 0, 0}));

    test_song wide(32, {4}, {0});
    wide.note(0, 0, 31, c4, 1);
    wide.note(0, 0, 32, c4, 1);  // the global column, only in a damaged song
    wide.start_at_first_row();
    EXPECT_EQ(wide.context->new_note_mask, 1u << 31);
}

// Without a mix buffer (before the output format is set, or after a failed allocation) a render
// gives silence and makes no progress; a second start replaces the buffer and restarts the song.
TEST(PlayerRender, MixBufferFromTheOutputFormatAndAgainFromEachStart) {
    test_song song(1, {4}, {0});
    song.note(0, 0, 0, c4, 1);
    song.context->master_volume = 64;
    song.context->initial_tempo = 255;
    module_start(song.context);
    for (i16 value : song.render_bytes(4096)) ASSERT_EQ(value, 0);
    EXPECT_EQ(song.context->tick, 0);
    module_set_output_format(song.context);
    EXPECT_EQ(song.context->samples_per_tick, 432);
    song.render_bytes(4096);
    EXPECT_EQ(song.context->tick, 2);  // 1024 frames = 2 ticks of 432 + 160
    song.sample(0).c_rate = 9000;
    song.slot(0).vibrato_position = 40;
    song.start();  // the sanitizer build reports a leaked first buffer
    EXPECT_EQ(song.slot(0).vibrato_position, 0u);
    EXPECT_EQ(song.sample(0).c_rate, 8363u);
    song.run_ticks(6);
    EXPECT_EQ(song.render_bytes(4)[0], 2048);
}

// Where the sequencer goes after each row it reads: the (order, row) it will read next.
TEST(PlayerSong, MarkersJumpsBreaksAndLoops) {
    struct command {
        i32 pattern, row;
        u16 code;
        u8 param, second_param;
        i32 slot;
    };
    using positions = std::vector<std::pair<i32, i32>>;
    const struct {
        const char* what;
        std::vector<u32> rows;
        std::vector<u8> orders;
        std::vector<command> commands;
        positions expected;
    } cases[] = {
        {"the list wraps to order 0, not the restart position, skipping markers",
         {2, 2, 2},
         {0, 254, 2, 255},
         {},
         {{0, 1}, {2, 0}, {2, 1}, {0, 0}, {0, 1}}},
        {"leading markers are skipped at the start", {2, 2}, {255, 254, 1}, {}, {{2, 1}, {2, 0}}},
        {"a jump past the list goes back to its start",
         {2, 2},
         {1, 0},
         {{0, 0, fx_position_jump, 9, 0, 0}},
         {{0, 1}, {1, 0}, {9, 0}, {0, 1}}},
        {"a break to a row past the pattern starts its first row",
         {4, 2},
         {0, 1},
         {{0, 0, fx_pattern_break, 5, 0, 0}},
         {{1, 5}, {1, 1}}},
        {"jump and break in the last slot has no row parameter",
         {4, 4},
         {0, 1},
         {{0, 0, fx_jump_and_break, 1, 3, 1}},
         {{1, 0}}},
        {"a second loop start inside the body moves the loop row",
         {8},
         {0},
         {{0, 1, fx_pattern_loop, 0, 0, 0}, {0, 2, fx_pattern_loop, 0, 0, 0}, {0, 3, fx_pattern_loop, 1, 0, 0}},
         {{0, 1}, {0, 2}, {0, 3}, {0, 2}, {0, 3}, {0, 4}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_song song(1, c.rows, c.orders);
        song.context->restart_position = 2;
        for (const command& k : c.commands) {
            module_cell& cell = song.effect(k.pattern, k.row, 1, k.code, k.param, k.slot);
            cell.params[1 - k.slot] = k.second_param;
        }
        song.start();
        positions seen;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            if (i == 0)
                song.enter_first_row();
            else
                song.next_row();
            seen.emplace_back(song.context->order, song.context->row);
        }
        EXPECT_EQ(seen, c.expected);
    }
}

TEST(PlayerSong, OrderListWithoutAPlayableEntryPlaysSilence) {
    for (std::vector<u8> orders : {std::vector<u8>{254, 255, 254}, std::vector<u8>{}, std::vector<u8>{7}}) {
        test_song song(1, {2}, orders);
        song.note(0, 0, 0, c4, 1);
        song.start();
        for (i32 call = 0; call < 20; ++call)
            for (i16 value : song.render_bytes(4096)) ASSERT_EQ(value, 0);
        EXPECT_EQ(song.context->order, 0);
    }
}

TEST(PlayerNotes, VolumeColumnWinsOverInstrumentDefaultAndSetVolume) {
    test_song song(3, {4}, {0});
    song.sample(0).volume = 50;
    song.note(0, 0, 0, c4, 1, 40);
    song.note(0, 0, 1, c4, 1);
    song.note(0, 0, 2, c4, 1, 30);
    song.effect(0, 0, 2, fx_set_volume, 20);
    song.note(0, 1, 1, c4, 1);
    song.effect(0, 1, 1, fx_set_volume, 80);
    song.start_at_first_row();
    EXPECT_EQ(song.channel(0).volume, 40);
    EXPECT_EQ(song.channel(2).volume, 30);
    song.next_row();
    EXPECT_EQ(song.channel(1).volume, 64);  // set volume survives the note start, clamped to 64
}

// A key-off releases the envelope's sustain and starts the fadeout, already on its own row's
// tick 0; in XM one that names an instrument is ignored.
TEST(PlayerNotes, KeyOffWithVolumeEnvelopeReleasesSustainAndStartsFadeout) {
    for (u32 key_off_instrument : {0, 1}) {
        test_song song(1, {4}, {0}, 1, empty_cells::xm_style);
        song.instrument(1).fadeout = 1000;
        song.set_envelope(song.instrument(1).volume_envelope, {{0, 64}, {10, 64}}, 0);
        song.note(0, 0, 0, c4, 1);
        song.note(0, 1, 0, module_note_off, key_off_instrument);
        song.start_at_first_row();
        song.next_row();
        const bool released = key_off_instrument == 0;
        SCOPED_TRACE(key_off_instrument);
        EXPECT_EQ(song.channel(0).active, 1);
        EXPECT_EQ(song.channel(0).volume_envelope.held, released ? 0 : 1);
        EXPECT_EQ(song.channel(0).fade_volume, released ? 32768 - 1000 : 32768);
    }
}

TEST(PlayerNotes, InstrumentWithoutNoteResetsDefaultsInModStyleOnly) {
    for (empty_cells style : {empty_cells::mod_style, empty_cells::xm_style}) {
        test_song song(1, {4}, {0}, 1, style);
        song.note(0, 0, 0, c4, 1, 20);
        song.effect(0, 0, 0, fx_coarse_pan, 0);
        song.cell(0, 1, 0).instrument = 1;  // note stays "none"
        song.start_at_first_row();
        song.channel(0).fade_volume = 1234;
        song.run_ticks(5);
        u32 position = song.channel(0).position;
        ASSERT_GT(position, 0u);
        song.run_ticks(1);
        if (style == empty_cells::mod_style) {
            EXPECT_EQ(song.channel(0).volume, 64);
            EXPECT_EQ(song.channel(0).pan, 128);
            EXPECT_EQ(song.channel(0).fade_volume, 32768);
            // Not restarted: the last tick's 882 frames at step 194 carried on round the
            // 1000-frame loop.
            EXPECT_EQ(song.channel(0).position, (position + 882u * 194u) % (1000u * 1024u));
        } else {
            // Note 255 is outside the XM keymap: nothing happens.
            EXPECT_EQ(song.channel(0).volume, 20);
            EXPECT_EQ(song.channel(0).fade_volume, 1234);
        }
    }
}

TEST(PlayerNotes, MissingSampleOrInstrumentStartsNothingButVolumeAndEffectsAct) {
    test_song song(2, {4}, {0}, 1);
    song.instrument(1).note_samples[c4] = nullptr;
    song.note(0, 0, 0, c4, 1, 30);
    song.effect(0, 0, 0, fx_coarse_pan, 3);
    song.note(0, 0, 1, c4, 7, 25);  // only one instrument exists
    song.start_at_first_row();
    for (i32 c = 0; c < 2; ++c) {
        EXPECT_EQ(song.channel(c).active, 0);
        EXPECT_EQ(song.channel(c).instrument, nullptr);
    }
    EXPECT_EQ(song.channel(0).pan, 64);
    EXPECT_EQ(song.channel(1).volume, 25);
    EXPECT_EQ(song.context->new_note_mask, 0u);
}

TEST(PlayerNotes, PitchUsesRelativeNoteAndNoteMapButPortaTargetSkipsTheMap) {
    test_song song(3, {4}, {0}, 2);
    song.instrument(1).note_map[c4] = packed(4, 2);
    song.sample(1).relative_note = 12;
    song.note(0, 0, 0, c4, 1);
    song.note(0, 0, 1, c4, 2);
    song.note(0, 1, 0, c4);
    song.effect(0, 1, 0, fx_tone_porta, 1);
    song.start_at_first_row();
    EXPECT_EQ(song.channel(0).period, 1524u);  // D-4
    EXPECT_EQ(song.channel(1).period, 856u);
    song.next_row();
    EXPECT_EQ(song.slot(0).porta_target, 1712u);
    EXPECT_EQ(song.channel(0).period, 1524u);  // the tone portamento keeps it
}

TEST(PlayerNotes, NewNoteResetsWavePositionsUnlessTheWaveformKeepsThem) {
    test_song song(2, {4}, {0});
    song.effect(0, 0, 1, fx_vibrato_waveform, 4);
    song.note(0, 1, 0, c4, 1);
    song.note(0, 1, 1, c4, 1);
    song.start_at_first_row();
    for (i32 c = 0; c < 2; ++c) {
        song.slot(c).vibrato_position = 40;
        song.slot(c).tremolo_position = 24;
    }
    song.next_row();
    EXPECT_EQ(song.slot(0).vibrato_position, 0u);
    EXPECT_EQ(song.slot(0).tremolo_position, 0u);
    EXPECT_EQ(song.slot(1).vibrato_position, 40u);
    EXPECT_EQ(song.slot(1).tremolo_position, 0u);
}

// Amiga periods of the fixture's 8363 Hz sample.
constexpr u32 c4_period = 1712, d4_period = 1524;

// Values at ticks 0 to speed - 1 of the current row (entered at tick 0); afterwards the next
// row has been read and its tick 0 has run.
trace row_trace(test_song& song, const std::function<long long()>& value) {
    trace values;
    for (i32 t = 0; t < song.context->speed; ++t) {
        if (t) song.run_ticks(1);
        values.push_back(value());
    }
    song.run_ticks(1);
    return values;
}

// One file channel playing C-4 of instrument 1 from row 0, rows 1 and later free for effects.
struct single_voice : test_song {
    explicit single_voice(empty_cells style = empty_cells::mod_style, i32 channels = 1)
        : test_song(channels, {16}, {0}, 1, style) {
        note(0, 0, 0, c4, 1);
    }
    void begin() {
        start_at_first_row();
        next_row();
    }
};

// What a row of the voice's channel holds besides its effect in slot 0.
struct step {
    u16 code;
    u8 param;
    u8 volume = 255;             // volume column
    u8 note = module_note_none;  // with instrument 1 when given
    u16 second_code = fx_none;   // slot 1
    u8 second_param = 0;
};

long long period(test_song& s) { return s.channel(0).period; }
long long volume(test_song& s) { return s.channel(0).volume; }
long long pan(test_song& s) { return s.channel(0).pan; }
long long vibrato(test_song& s) { return s.channel(0).period_offset; }
long long restarted(test_song& s) { return s.channel(0).position == 0; }
long long global_volume(test_song& s) { return s.context->current_global_volume; }
long long tick_frames(test_song& s) { return s.context->samples_per_tick; }  // the trace's length is the speed

// The voice's rows 1, 2, ... hold `rows`; `probe` is watched over each row's ticks.
struct effect_case {
    const char* what;
    empty_cells style;
    std::vector<step> rows;
    long long (*probe)(test_song&);
    std::vector<trace> traces;                         // row 1 first
    u8 first_row_code = fx_none, first_row_param = 0;  // an effect beside the note on row 0
};

constexpr empty_cells mod = empty_cells::mod_style, xm = empty_cells::xm_style;
constexpr u8 none = module_note_none;

const effect_case effect_cases[] = {
    {"XM portamentos share one memory",
     xm,
     {{fx_xm_porta_up, 3}, {fx_xm_porta_down, 0}, {fx_xm_porta_up, 0}},
     period,
     {{4608, 4596, 4584, 4572, 4560, 4548},
      {4548, 4560, 4572, 4584, 4596, 4608},
      {4608, 4596, 4584, 4572, 4560, 4548}}},
    {"S3M portamentos: fine, extra fine, memory",
     mod,
     {{fx_s3m_porta_down, 0xF2},
      {fx_s3m_porta_down, 0x00},
      {fx_s3m_porta_up, 0xE3},
      {fx_s3m_porta_up, 0x02},
      {fx_s3m_porta_down, 0x00}},
     period,
     {{1720, 1720, 1720, 1720, 1720, 1720},
      {1728, 1728, 1728, 1728, 1728, 1728},
      {1725, 1725, 1725, 1725, 1725, 1725},
      {1725, 1717, 1709, 1701, 1693, 1685},
      {1685, 1693, 1701, 1709, 1717, 1725}}},
    {"tone portamento to C#-4 stops there; 5xy keeps the speed of 3xx, not its parameter",
     mod,
     {{fx_tone_porta, 4, 255, packed(4, 1)}, {fx_tone_porta_volume_slide, 0x01}},
     period,
     {{1712, 1696, 1680, 1664, 1648, 1632}, {1632, 1616, 1616, 1616, 1616, 1616}}},
    {"S3M Lxy slides the volume on the first tick too",
     mod,
     {{fx_tone_porta, 4, 255, packed(4, 1)}, {fx_s3m_tone_porta_volume_slide, 0x03}},
     volume,
     {{64, 64, 64, 64, 64, 64}, {61, 58, 55, 52, 49, 46}}},
    {"vibrato follows the sine, repeats its memory, floors -24.25 to -25, ends at the next row",
     mod,
     {{fx_vibrato, 0x48}, {fx_vibrato, 0x00}, {fx_vibrato_volume_slide, 0x02}, {fx_none, 0}},
     vibrato,
     {{0, 0, 24, 45, 58, 63}, {0, 58, 45, 24, 0, -25}, {0, -45, -59, -64, -59, -45}, {0, 0, 0, 0, 0, 0}}},
    {"square tremolo clamps at zero and ends at its base",
     mod,
     {{fx_tremolo, 0x8F, 10}, {fx_none, 0}},
     volume,
     {{39, 39, 39, 39, 39, 0}, {10, 10, 10, 10, 10, 10}},
     fx_tremolo_waveform,
     2},
    {"S3M tremolo runs on the first tick too",
     mod,
     {{fx_s3m_tremolo, 0x8F, 10}},
     volume,
     {{39, 39, 39, 39, 0, 0}},
     fx_tremolo_waveform,
     2},
    {"set panning survives the note it comes with", mod, {{fx_set_pan, 32, 255, c4}}, pan, {{32, 32, 32, 32, 32, 32}}},
    {"coarse panning, then a slide left",
     mod,
     {{fx_coarse_pan, 15}, {fx_pan_slide, 0x05}},
     pan,
     {{255, 255, 255, 255, 255, 255}, {255, 250, 245, 240, 235, 230}}},
    {"a slide right and its memory",
     mod,
     {{fx_coarse_pan, 7}, {fx_pan_slide, 0x30}, {fx_pan_slide, 0x00}},
     pan,
     {{128, 128, 128, 128, 128, 128}, {128, 131, 134, 137, 140, 143}, {143, 146, 149, 152, 155, 158}}},
    {"MOD volume slide: x wins; XM slides keep their memory",
     mod,
     {{fx_volume_slide, 0x03}, {fx_volume_slide, 0x21, 60}, {fx_xm_volume_slide, 0x04}, {fx_xm_volume_slide, 0x00}},
     volume,
     {{64, 61, 58, 55, 52, 49}, {60, 62, 64, 64, 64, 64}, {64, 60, 56, 52, 48, 44}, {44, 40, 36, 32, 28, 24}}},
    {"fine volume slides have their own memory each",
     mod,
     {{fx_fine_volume_down, 4}, {fx_fine_volume_down, 0}, {fx_fine_volume_up, 0}, {fx_fine_volume_up, 10}},
     volume,
     {{60, 60, 60, 60, 60, 60}, {56, 56, 56, 56, 56, 56}, {56, 56, 56, 56, 56, 56}, {64, 64, 64, 64, 64, 64}}},
    {"S3M volume slides: fine once, memory, every tick, y over x, capped, after the volume column",
     mod,
     {{fx_s3m_volume_slide, 0xF1},
      {fx_s3m_volume_slide, 0x00},
      {fx_s3m_volume_slide, 0x0F},
      {fx_s3m_volume_slide, 0x12, 10},
      {fx_s3m_volume_slide, 0xF0},
      {fx_s3m_volume_slide, 0x5F},
      {fx_s3m_volume_slide, 0xF4, 64}},
     volume,
     {{63, 63, 63, 63, 63, 63},
      {62, 62, 62, 62, 62, 62},
      {47, 32, 17, 2, 0, 0},
      {8, 6, 4, 2, 0, 0},
      {15, 30, 45, 60, 64, 64},
      {64, 64, 64, 64, 64, 64},
      {64, 64, 64, 64, 64, 64}}},
    {"two slots keep separate memories",
     xm,
     {{fx_xm_volume_slide, 0x01, 20, none, fx_xm_volume_slide, 0x30},
      {fx_xm_volume_slide, 0x00, 255, none, fx_xm_volume_slide, 0x00}},
     volume,
     {{20, 22, 24, 26, 28, 30}, {30, 32, 34, 36, 38, 40}}},
    {"global volume: 70 is no volume, slides with memory",
     mod,
     {{fx_set_global_volume, 70},
      {fx_set_global_volume, 32},
      {fx_global_volume_slide, 0x02},
      {fx_global_volume_slide, 0x00},
      {fx_global_volume_slide, 0x30}},
     global_volume,
     {{64, 64, 64, 64, 64, 64},
      {32, 32, 32, 32, 32, 32},
      {32, 30, 28, 26, 24, 22},
      {22, 20, 18, 16, 14, 12},
      {12, 15, 18, 21, 24, 27}}},
    {"retrigger restarts with the instrument's volume",
     mod,
     {{fx_retrigger, 2, 20}},
     volume,
     {{20, 20, 64, 64, 64, 64}}},
    {"retrigger every second tick", mod, {{fx_retrigger, 2, 20}}, restarted, {{0, 0, 1, 0, 1, 0}}},
    {"retrigger 0 does nothing", mod, {{fx_retrigger, 0, 20}}, restarted, {{0, 0, 0, 0, 0, 0}}},
    {"S3M retrigger counts the first tick", mod, {{fx_s3m_retrigger, 0x03, 60}}, restarted, {{0, 0, 1, 0, 0, 1}}},
    {"S3M retrigger 0 retriggers every tick", mod, {{fx_s3m_retrigger, 0x00, 60}}, restarted, {{0, 1, 1, 1, 1, 1}}},
    {"note cut on its tick", mod, {{fx_note_cut, 3}}, volume, {{64, 64, 64, 0, 0, 0}}},
    {"note delay starts the note on its tick, the volume column at once",
     mod,
     {{fx_note_delay, 2, 30, packed(4, 2)}},
     period,
     {{c4_period, c4_period, d4_period, d4_period, d4_period, d4_period}}},
    {"note delay's volume", mod, {{fx_note_delay, 2, 30, packed(4, 2)}}, volume, {{30, 30, 30, 30, 30, 30}}},
    {"note delay 0 never plays the note",
     mod,
     {{fx_note_delay, 0, 255, packed(4, 2)}},
     period,
     {{c4_period, c4_period, c4_period, c4_period, c4_period, c4_period}}},
    {"speed and tempo: F00, A00 and tempos below 32 are ignored; a slow tick is whole",
     mod,
     {{fx_speed_tempo, 0},
      {fx_speed_tempo, 3},
      {fx_speed_tempo, 150},
      {fx_s3m_speed, 0},
      {fx_s3m_speed, 4},
      {fx_s3m_tempo, 31},
      {fx_s3m_tempo, 32}},
     tick_frames,
     {{882, 882, 882, 882, 882, 882},
      {882, 882, 882},
      {735, 735, 735},
      {735, 735, 735},
      {735, 735, 735, 735},
      {735, 735, 735, 735},
      {3445, 3445, 3445, 3445}}},
    {"unused and out-of-range codes do nothing",
     xm,
     {{fx_unused_28, 0x55, 255, none, 200, 0x55}},
     period,
     {{4608, 4608, 4608, 4608, 4608, 4608}}},
};

TEST(PlayerEffects, SingleVoice) {
    for (const effect_case& c : effect_cases) {
        SCOPED_TRACE(c.what);
        single_voice song(c.style);
        song.context->linear_frequencies = c.style == xm;  // XM songs as they mostly are
        song.effect(0, 0, 0, c.first_row_code, c.first_row_param);
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const step& s = c.rows[i];
            const i32 row = static_cast<i32>(i) + 1;
            song.note(0, row, 0, s.note, s.note == none ? 0 : 1, s.volume);
            song.effect(0, row, 0, s.code, s.param);
            song.effect(0, row, 0, s.second_code, s.second_param, 1);
        }
        song.begin();
        for (const trace& expected : c.traces) EXPECT_EQ(row_trace(song, [&] { return c.probe(song); }), expected);
    }
}

// The vibrato's sine is 255 sin(2 pi i / 64) truncated, as the classic trackers tabulate it, and
// its ramp falls by 8 from 255; the offset is (value x depth) >> 5. Over every depth most
// entries' neighbours give another offset somewhere.
TEST(PlayerEffects, VibratoWalksEveryEntryOfTheSineAndTheRampAtEveryDepth) {
    for (u8 waveform : {0, 1}) {
        for (i32 depth = 1; depth < 16; ++depth) {
            SCOPED_TRACE(testing::Message() << "waveform " << int(waveform) << " depth " << depth);
            single_voice song;
            song.effect(0, 0, 0, fx_vibrato_waveform, waveform);
            for (i32 row = 1; row < 16; ++row) song.effect(0, row, 0, fx_vibrato, static_cast<u8>(0x10 | depth));
            song.begin();
            for (i32 position = 0; position < 64;) {
                song.run_ticks(1);
                if (song.context->tick == 0) continue;  // the first tick of a row leaves the offset
                const i32 value = waveform == 0 ? static_cast<i32>(255 * std::sin(std::numbers::pi * position / 32))
                                                : 255 - 8 * position;
                ASSERT_EQ(song.channel(0).period_offset, (value * depth) >> 5) << position;
                ++position;
            }
        }
    }
}

// The arpeggio's phase runs on across rows (speed 5: five steps leave it at 2), and a step up
// from B-4 wraps into octave 5; the end action restores the plain note.
TEST(PlayerEffects, ArpeggioCyclesThreePitchesAndItsPhaseRunsOnAcrossRows) {
    single_voice song(empty_cells::mod_style, 2);
    song.context->initial_speed = 5;
    song.effect(0, 0, 0, fx_arpeggio, 0x37);
    song.note(0, 0, 1, packed(4, 11), 1);
    song.effect(0, 0, 1, fx_arpeggio, 0x30);
    song.effect(0, 2, 0, fx_arpeggio, 0x37);
    song.start_at_first_row();
    const u32 b4 = 907, d5 = 762, ds4 = 1440, g4 = 1140;
    trace second;
    trace first = row_trace(song, [&] {
        second.push_back(song.channel(1).period);
        return song.channel(0).period;
    });
    EXPECT_EQ(first, (trace{c4_period, ds4, g4, c4_period, ds4}));
    EXPECT_EQ(second, (trace{b4, d5, b4, b4, d5}));
    EXPECT_EQ(song.channel(0).period, c4_period);
    song.run_ticks(5);
    EXPECT_EQ(song.channel(0).period, g4);
}

// FastTracker II and ProTracker remember the last offset and apply it only with a note; this
// player's offset has no memory, moves whatever voice is playing, and stops at the length.
TEST(PlayerEffects, SampleOffsetHasNoMemoryAndMovesThePlayingVoice) {
    single_voice song(empty_cells::mod_style, 2);
    song.effect(0, 0, 0, fx_sample_offset, 2);
    song.note(0, 0, 1, c4, 1);
    song.effect(0, 0, 1, fx_sample_offset, 4);
    song.effect(0, 1, 0, fx_sample_offset, 0);  // no note: the playing voice goes back to frame 0
    song.note(0, 2, 0, c4, 1);
    song.effect(0, 2, 0, fx_sample_offset, 0);  // with a note: frame 0, not the earlier 512
    song.start_at_first_row();
    const u32 loop_end = 1000u * 1024u, tick = 882u * 194u;
    EXPECT_EQ(song.channel(0).position, 512u * 1024u);
    EXPECT_EQ(song.channel(1).position, loop_end);  // clamped to the 1000-frame length
    song.run_ticks(song.context->speed - 1);
    EXPECT_EQ(song.channel(0).position, 512u * 1024u + 5u * tick - loop_end);  // the mixer went on from there
    song.next_row();
    EXPECT_EQ(song.channel(0).position, 0u);
    song.run_ticks(song.context->speed - 1);
    song.next_row();
    EXPECT_EQ(song.channel(0).position, 0u);
}

// A tone portamento keeps the sample position and direction of the voice it bends; a new note
// starts forwards, also on a ping-pong voice that was running backwards.
TEST(PlayerEffects, TonePortamentoKeepsAPingPongVoicesDirectionButANewNoteStartsForwards) {
    single_voice song;
    song.sample(0).ping_pong = 1;
    song.note(0, 1, 0, packed(4, 2));
    song.effect(0, 1, 0, fx_tone_porta, 1);
    song.note(0, 2, 0, c4, 1);
    song.start_at_first_row();
    song.run_ticks(song.context->speed - 1);
    module_channel& channel = song.channel(0);
    channel.position = 800u * 1024u;
    channel.forward = 0;
    song.next_row();  // the last tick of row 0 runs backwards, then row 1 is read
    EXPECT_EQ(channel.position, 800u * 1024u - 882u * 194u);
    EXPECT_EQ(channel.forward, 0);
    song.run_ticks(song.context->speed - 1);
    channel.position = 800u * 1024u;
    channel.forward = 0;
    song.next_row();  // row 2: a note of its own
    EXPECT_EQ(channel.forward, 1);
    song.run_ticks(1);
    EXPECT_EQ(channel.position, 882u * 194u);  // forwards from frame 0
}

TEST(PlayerEffects, SetFinetuneRetunesTheSampleForNewNotes) {
    single_voice song(empty_cells::mod_style, 2);
    song.effect(0, 1, 0, fx_set_finetune, 15);
    song.note(0, 1, 1, c4, 1);
    song.begin();
    EXPECT_EQ(song.sample(0).c_rate, 8757u);
    EXPECT_EQ(song.channel(0).period, c4_period);
    EXPECT_EQ(song.channel(1).period, 1634u);
}

TEST(PlayerEffects, S3mRetriggerVolumeChanges) {
    // Volume after the first retrigger (tick 1 with interval 1) from 40, per change x; changes
    // that would leave 0..64 stop at its ends.
    const u8 from_40[16] = {40, 39, 38, 36, 32, 24, 26, 20, 40, 41, 42, 44, 48, 56, 60, 64};
    struct change {
        u8 start, x, after;
    };
    std::vector<change> changes = {{10, 5, 0}, {50, 13, 64}};
    for (u8 x = 0; x < 16; ++x) changes.push_back({40, x, from_40[x]});
    for (const change& c : changes) {
        single_voice song;
        song.note(0, 1, 0, module_note_none, 0, c.start);
        song.effect(0, 1, 0, fx_s3m_retrigger, static_cast<u8>(c.x << 4 | 1));
        song.begin();
        song.run_ticks(1);
        EXPECT_EQ(song.channel(0).volume, c.after) << int(c.start) << " " << int(c.x);
    }
}

// Outputs tick by tick from the note's first tick, over a key-off where one is given.
TEST(PlayerEnvelope, SustainLoopsSegmentsAndTheirRepairs) {
    const struct {
        const char* what;
        std::vector<module_envelope_point> points;
        u8 sustain, loop_start, loop_end;
        i32 key_off_row;
        bool panning;
        trace values;
    } cases[] = {
        // Waits at its sustain point until the key-off (row 2, tick 12), then runs to its end.
        {"sustain",
         {{0, 0}, {4, 64}, {8, 32}},
         1,
         255,
         255,
         2,
         false,
         {16, 32, 48, 64, 64, 64, 64, 64, 64, 64, 64, 64, 56, 48, 40, 32, 32, 32}},
        {"loop", {{0, 10}, {2, 20}, {4, 30}}, 255, 1, 2, -1, false, {15, 20, 25, 20, 25, 20, 25, 20}},
        {"reversed loop: none", {{0, 10}, {2, 20}, {4, 30}}, 255, 2, 1, -1, false, {15, 20, 25, 30, 30, 30, 30}},
        // 64 - 64 / 3 = 64 - 21, not 42 from a floor of -21.33.
        {"truncated toward zero", {{0, 64}, {3, 0}}, 255, 255, 255, -1, false, {43, 22, 0, 0}},
        // A segment of no length: the tick that crosses it yields its later value; the next
        // segment resumes on its own time axis.
        {"first segment empty", {{0, 10}, {0, 50}, {4, 30}}, 255, 255, 255, -1, false, {50, 40, 35, 30, 30}},
        {"one point: no value", {{0, 20}}, 255, 255, 255, -1, false, {64, 64}},
        {"panning", {{0, 0}, {2, 64}}, 255, 255, 255, -1, true, {32, 64, 64}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_song voice(1, {16}, {0}, 1, empty_cells::xm_style);
        module_instrument& target = voice.instrument(1);
        voice.set_envelope(c.panning ? target.panning_envelope : target.volume_envelope, c.points, c.sustain,
                           c.loop_start, c.loop_end);
        voice.note(0, 0, 0, c4, 1);
        if (c.key_off_row >= 0) voice.note(0, c.key_off_row, 0, module_note_off);
        voice.start_at_first_row();
        trace values;
        for (size_t t = 0; t < c.values.size(); ++t) {
            if (t) voice.run_ticks(1);
            values.push_back(c.panning ? voice.channel(0).pan_envelope_value : voice.channel(0).volume_envelope_value);
        }
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(voice.channel(0).active, 1);
        if (!c.panning) {
            EXPECT_EQ(voice.channel(0).pan_envelope_value, 32);  // no panning envelope: neutral
        }
    }
}

TEST(PlayerFadeout, KeyOffFadesByTheInstrumentRateDownToZeroAndANewInstrumentRestores) {
    test_song song(1, {8}, {0}, 1, empty_cells::xm_style);
    song.instrument(1).fadeout = 5000;
    song.set_envelope(song.instrument(1).volume_envelope, {{0, 64}, {1, 64}}, 255);
    song.note(0, 0, 0, c4, 1);
    song.note(0, 1, 0, module_note_off);
    song.note(0, 3, 0, c4, 1);
    song.start_at_first_row();
    EXPECT_EQ(song.channel(0).fade_volume, 32768);
    song.next_row();
    trace fades;
    for (i32 t = 0; t < 8; ++t) {
        fades.push_back(song.channel(0).fade_volume);
        song.run_ticks(1);
    }
    // 32768 - 5000 per tick from the key-off row's tick 0, and 0 once the step is not below it.
    EXPECT_EQ(fades, (trace{27768, 22768, 17768, 12768, 7768, 2768, 0, 0}));
    EXPECT_EQ(song.channel(0).active, 1);  // faded out, not stopped
    song.next_row();                       // row 3: the instrument again
    EXPECT_EQ(song.channel(0).fade_volume, 32768);
    EXPECT_EQ(song.channel(0).fade_step, 0);
}

}  // namespace
