// The song's first pass: its length, measured by running the sequencer's row logic and
// tick arithmetic without mixing, and seeking within it by a silent run of the player.
#include <cstdlib>

#include "player_internal.h"

namespace {

constexpr i32 pass_output_rate = 44100;
constexpr u32 first_table_slots = 1024;

// Rows already read, each with its loop state, as 64-bit keys in an open-addressing
// table that doubles when three quarters full. A slot holds key + 1; 0 is a free slot.
class visited_rows {
public:
    visited_rows() = default;
    ~visited_rows() { std::free(slots_); }
    visited_rows(const visited_rows&) = delete;
    visited_rows& operator=(const visited_rows&) = delete;

    // 1 when the key is new and now recorded, 0 when it was there, -2 without memory.
    i32 insert(u64 key) {
        if (4 * (u64)(count_ + 1) > 3 * (u64)capacity_ && !grow()) return -2;
        u64* slot = find(slots_, capacity_, key);
        if (*slot) return 0;
        *slot = key + 1;
        ++count_;
        return 1;
    }

private:
    static u64* find(u64* slots, u32 capacity, u64 key) {
        u32 index = (u32)((key * 0x9E3779B97F4A7C15ull) >> 32) & (capacity - 1);
        while (slots[index] && slots[index] != key + 1) index = (index + 1) & (capacity - 1);
        return &slots[index];
    }

    bool grow() {
        u32 capacity = capacity_ ? capacity_ * 2 : first_table_slots;
        u64* slots = (u64*)std::calloc(capacity, sizeof(u64));
        if (!slots) return false;
        for (u32 i = 0; i < capacity_; ++i)
            if (slots_[i]) *find(slots, capacity, slots_[i] - 1) = slots_[i];
        std::free(slots_);
        slots_ = slots;
        capacity_ = capacity;
        return true;
    }

    u64* slots_ = nullptr;
    u32 capacity_ = 0;  // a power of two
    u32 count_ = 0;
};

// The row about to be read and the loop state that decides where the song goes from it.
// Without a running loop the loop row is left out: it only matters to a loop still to come,
// and a song that jumps back to its start after a loop elsewhere has come round all the same.
u64 row_key(const module_context& song) {
    u64 loop_row = song.loop_count > 0 ? (u64)(u32)song.loop_row & 0xFFFFFF : 0;
    return (u64)(u8)song.order | (u64)(u8)song.loop_count << 8 | ((u64)(u32)song.row & 0xFFFFFF) << 16 | loop_row << 40;
}

// The effects whose row action moves the song position or changes speed or tempo; the
// pattern delay acts through its tick action on the row's first tick. No other effect
// touches order, row, loop state, speed, tempo or pattern delay.
bool steers_position_or_time(u16 code) {
    switch (code) {
        case fx_position_jump:
        case fx_pattern_break:
        case fx_pattern_loop:
        case fx_speed_tempo:
        case fx_jump_and_break:
        case fx_s3m_speed:
        case fx_s3m_tempo:
            return true;
        default:
            return false;
    }
}

// Ticks of a row once its first tick has run, as the render loop counts them: the row
// ends when the tick counter reaches speed + pattern delay, and a tick always completes.
u64 row_ticks(const module_context& song) {
    i32 ticks = song.speed + song.pattern_delay;
    return ticks > 1 ? (u64)ticks : 1;
}

// Reads one row for its timing as the row pass and the row's first tick do: the commands
// that steer position and time act in column and slot order, the pattern delay is set,
// the row's frames are added, and the row advances unless a command set the position.
// Returns the order index the song moves to before markers and the end of the order list
// are accounted for: the entry after this one for a row advance or a pattern break, a
// jump's target, or this entry; the next row read wraps when it lies before that index.
i32 read_row_timing(module_context* song, const module_cell* cells, u64* frames) {
    i32 order = song->order;
    i32 intended = order;
    bool position_set = false;
    i32 columns = used_channel_count(song);
    for (i32 c = 0; c < columns; ++c)
        for (i32 s = 0; s < 2; ++s) {
            const module_cell* cell = &cells[c];
            if (!steers_position_or_time(cell->effects[s])) continue;
            effect_slot* slot = &song->channels[c].slots[s];
            slot->effect = cell->effects[s];
            slot->param = cell->params[s];
            i32 before = song->order;
            if (!(effect_table[slot->effect].row(song, c, s, cell) & row_position_set)) continue;
            position_set = true;
            if (slot->effect == fx_pattern_break) intended = before + 1;
            if (slot->effect == fx_position_jump || slot->effect == fx_jump_and_break) intended = song->order;
        }
    song->tick = 0;
    for (i32 c = 0; c < columns; ++c) {
        if (song->channels[c].enabled != 1) continue;
        for (i32 s = 0; s < 2; ++s) {
            if (cells[c].effects[s] != fx_pattern_delay) continue;
            song->channels[c].slots[s].param = cells[c].params[s];
            effect_table[fx_pattern_delay].tick(song, c, s);
        }
    }
    *frames += row_ticks(*song) * (u64)song->samples_per_tick;
    song->pattern_delay = 0;
    if (!position_set && advance_row(song)) intended = order + 1;
    return intended;
}

i32 measure_pass(const module_context* context, module_pass* pass) {
    // A scratch copy whose position fields the pass moves. Without the sample table,
    // resetting it cannot restore the rates of the shared samples, which belong to the
    // caller's playback; the timing commands never read samples or instruments.
    module_context song = *context;
    song.samples = nullptr;
    song.instruments = nullptr;
    song.mix_buffer = nullptr;
    song.output_rate = pass_output_rate;
    reset_playback(&song);
    // The lead-in: the render loop reads the first row when the first `speed` ticks end.
    u64 frames = row_ticks(song) * (u64)song.samples_per_tick;
    visited_rows visited;
    i32 intended_order = 0;
    for (u32 rows = 0;; ++rows) {
        const module_cell* cells = current_row(&song);
        if (!cells) {
            *pass = module_pass{0, 0, module_pass_empty, -1, -1};
            return 0;
        }
        *pass = module_pass{frames, rows, 0, song.order, song.row};
        if (song.order < intended_order) {
            pass->end = module_pass_wraps;
            return 0;
        }
        i32 added = visited.insert(row_key(song));
        if (added < 0) return added;
        if (added == 0) {
            pass->end = module_pass_repeats;
            return 0;
        }
        if (rows == module_pass_row_cap) {
            pass->end = module_pass_capped;
            return 1;
        }
        intended_order = read_row_timing(&song, cells, &frames);
    }
}

// Channels as the loaders leave them: only `enabled` and `default_pan` are written.
void clear_channels_to_loaded(module_context* context) {
    for (module_channel& channel : context->channels) {
        module_channel loaded{};
        loaded.enabled = channel.enabled;
        loaded.default_pan = channel.default_pan;
        channel = loaded;
    }
}

}  // namespace

i32 module_song_length(const module_context* context, module_pass* pass) {
    if (!context || !pass || !context->loaded) return -1;
    return measure_pass(context, pass);
}

i32 module_seek(module_context* context, u64 frame) {
    if (!context || !context->loaded || context->playing != 1 || !render_ready(context)) return -1;
    module_pass pass;
    i32 measured = module_song_length(context, &pass);
    if (measured < 0) return measured;
    i32 result = 0;
    if (frame > pass.frames) {
        frame = pass.frames;
        result = 1;
    }
    clear_channels_to_loaded(context);
    reset_playback(context);
    constexpr u64 longest_call = 1u << 30;
    for (; frame > 0; frame -= frame < longest_call ? frame : longest_call)
        play_silently(context, (i32)(frame < longest_call ? frame : longest_call));
    context->new_note_mask = 0;
    return result;
}
