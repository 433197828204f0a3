// Effect table (row, tick and end actions of the 46 internal codes), the
// vibrato/tremolo waveforms, envelopes.
#include "finetune.h"
#include "player_internal.h"

namespace {

constexpr i16 waveforms[4][64] = {
    // sine
    {0,    24,   49,   74,   97,   120,  141,  161,  180,  197,  212,  224,  235,  244,  250,  253,
     255,  253,  250,  244,  235,  224,  212,  197,  180,  161,  141,  120,  97,   74,   49,   24,
     0,    -24,  -49,  -74,  -97,  -120, -141, -161, -180, -197, -212, -224, -235, -244, -250, -253,
     -255, -253, -250, -244, -235, -224, -212, -197, -180, -161, -141, -120, -97,  -74,  -49,  -24},
    // ramp down: 255 - 8 i
    {255,  247,  239,  231,  223,  215,  207,  199,  191,  183,  175,  167,  159,  151,  143,  135,
     127,  119,  111,  103,  95,   87,   79,   71,   63,   55,   47,   39,   31,   23,   15,   7,
     -1,   -9,   -17,  -25,  -33,  -41,  -49,  -57,  -65,  -73,  -81,  -89,  -97,  -105, -113, -121,
     -129, -137, -145, -153, -161, -169, -177, -185, -193, -201, -209, -217, -225, -233, -241, -249},
    // square
    {255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,
     255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,
     -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255,
     -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255},
    // random, a fixed list so that playback is repeatable
    {-26, -251, -198, -46, -96,  198, 168, 228,  -49,  -153, -236, -174, -37,  61,   187,  120,
     56,  -197, 248,  -58, -204, 172, 58,  253,  -155, 57,   62,   -62,  60,   -137, -101, -184,
     66,  -160, 160,  -29, -91,  243, 175, -175, 149,  97,   3,    -113, 7,    249,  -241, -247,
     110, -180, -139, -20, 246,  -86, -80, -134, 219,  117,  -143, -226, -166, 120,  -47,  29},
};

i32 wave_value(i32 waveform, u32 position) { return waveforms[waveform & 3][position & 63]; }

module_channel* channel_at(module_context* context, i32 channel) { return &context->channels[channel]; }
effect_slot* slot_at(module_context* context, i32 channel, i32 slot) { return &context->channels[channel].slots[slot]; }
u8 high_nibble(u8 value) { return value >> 4; }
u8 low_nibble(u8 value) { return value & 15; }

u8 raised(u8 value, u32 amount, u32 limit) { return (u8)(value + amount >= limit ? limit : value + amount); }
u8 lowered(u8 value, u32 amount) { return (u8)(amount >= value ? 0 : value - amount); }

// Replaces a zero parameter by the memory and remembers a non-zero one.
void apply_memory(effect_slot* slot, u8* memory) {
    if (slot->param != 0) *memory = slot->param;
    slot->param = *memory;
}

void slide_period(module_context* context, module_channel* channel, i32 delta) {
    channel->period += (u32)delta;
    repitch(context, channel);
}

bool first_tick(const module_context* context) { return context->tick == 0; }

// --- shared slides ---

void volume_slide_mod(module_channel* channel, u8 param) {
    if (high_nibble(param) != 0)
        channel->volume = raised(channel->volume, high_nibble(param), 64);
    else if (low_nibble(param) != 0)
        channel->volume = lowered(channel->volume, low_nibble(param));
}

void volume_slide_s3m_row(module_channel* channel, u8 param) {
    u8 x = high_nibble(param), y = low_nibble(param);
    if (y == 15)
        channel->volume = raised(channel->volume, x, 64);
    else if (x == 15)
        channel->volume = lowered(channel->volume, y);
}

void volume_slide_s3m_tick(module_channel* channel, u8 param) {
    u8 x = high_nibble(param), y = low_nibble(param);
    bool fine = x == 15 || y == 15;
    if (fine && param != 0x0F && param != 0xF0) return;
    if (y != 0)
        channel->volume = lowered(channel->volume, y);
    else
        channel->volume = raised(channel->volume, x, 64);
}

void tone_porta_slide(module_context* context, i32 channel_index, i32 slot_index) {
    if (first_tick(context)) return;
    module_channel* channel = channel_at(context, channel_index);
    effect_slot* slot = slot_at(context, channel_index, slot_index);
    u32 speed = 4u * slot->tone_porta_memory;
    if (channel->period > slot->porta_target) {
        channel->period -= speed;
        if (channel->period < slot->porta_target || (i32)channel->period < 0) channel->period = slot->porta_target;
    } else if (channel->period < slot->porta_target) {
        channel->period += speed;
        if (channel->period > slot->porta_target) channel->period = slot->porta_target;
    }
    repitch(context, channel);
}

void vibrato_tick(module_context* context, i32 channel_index, i32 slot_index) {
    if (first_tick(context)) return;
    module_channel* channel = channel_at(context, channel_index);
    effect_slot* slot = slot_at(context, channel_index, slot_index);
    channel->period_offset = (wave_value(slot->vibrato_waveform, slot->vibrato_position) * slot->vibrato_depth) >> 5;
    repitch(context, channel);
    slot->vibrato_position = (slot->vibrato_position + slot->vibrato_speed) & 63;
}

void vibrato_end(module_context* context, i32 channel_index, i32) {
    module_channel* channel = channel_at(context, channel_index);
    channel->period_offset = 0;
    repitch(context, channel);
}

void tremolo_volume(module_context* context, i32 channel_index, i32 slot_index) {
    effect_slot* slot = slot_at(context, channel_index, slot_index);
    i32 delta = (wave_value(slot->tremolo_waveform, slot->tremolo_position) * slot->tremolo_depth) >> 7;
    i32 volume = slot->tremolo_base_volume + delta;
    channel_at(context, channel_index)->volume = (u8)(volume < 0 ? 0 : volume > 64 ? 64 : volume);
}

void advance_tremolo(effect_slot* slot) {
    slot->tremolo_position = (slot->tremolo_position + slot->tremolo_speed) & 63;
}

void tremolo_end(module_context* context, i32 channel_index, i32 slot_index) {
    channel_at(context, channel_index)->volume = slot_at(context, channel_index, slot_index)->tremolo_base_volume;
}

// Arpeggio: the note shifted by 0, x or y semitones in turn.
void set_arpeggio_pitch(module_context* context, module_channel* channel, u32 shift) {
    module_sample* sample = channel->sample;
    u8 n = relative_note_packed(channel->note, sample->relative_note);
    u32 octave = n >> 4, semitone = (n & 15) + shift;
    if (semitone > 11) {
        semitone -= 12;
        octave += 1;
    }
    u8 packed = pack_note(octave, semitone);
    note_to_period(context, channel, channel->instrument->note_map[packed], sample->c_rate, sample->finetune);
}

// --- row actions ---

u32 row_tone_porta(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->tone_porta_memory);
    return row_keep_position | row_keep_period;
}

u32 row_vibrato(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->vibrato_memory);
    if (low_nibble(slot->vibrato_memory)) slot->vibrato_depth = low_nibble(slot->vibrato_memory);
    if (high_nibble(slot->vibrato_memory)) slot->vibrato_speed = high_nibble(slot->vibrato_memory);
    return 0;
}

u32 row_tremolo(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->tremolo_memory);
    slot->tremolo_base_volume = channel_at(context, c)->volume;
    if (low_nibble(slot->tremolo_memory)) slot->tremolo_depth = low_nibble(slot->tremolo_memory);
    if (high_nibble(slot->tremolo_memory)) slot->tremolo_speed = high_nibble(slot->tremolo_memory);
    return 0;
}

u32 row_set_pan(module_context* context, i32 c, i32 s, const module_cell*) {
    channel_at(context, c)->pan = slot_at(context, c, s)->param;
    return row_keep_pan;
}

u32 row_position_jump(module_context* context, i32 c, i32 s, const module_cell*) {
    context->order = slot_at(context, c, s)->param;
    context->row = 0;
    return row_position_set;
}

u32 row_set_volume(module_context* context, i32 c, i32 s, const module_cell*) {
    u8 param = slot_at(context, c, s)->param;
    channel_at(context, c)->volume = param > 64 ? 64 : param;
    return row_keep_volume;
}

u32 row_pattern_break(module_context* context, i32 c, i32 s, const module_cell*) {
    advance_order(context);
    context->row = slot_at(context, c, s)->param;
    return row_position_set;
}

u32 row_fine_porta_up(module_context* context, i32 c, i32 s, const module_cell*) {
    slide_period(context, channel_at(context, c), -4 * slot_at(context, c, s)->param);
    return 0;
}

u32 row_fine_porta_down(module_context* context, i32 c, i32 s, const module_cell*) {
    slide_period(context, channel_at(context, c), 4 * slot_at(context, c, s)->param);
    return 0;
}

u32 row_vibrato_waveform(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    slot->vibrato_waveform = slot->param & 7;
    return 0;
}

void apply_finetune(module_context* context, i32 c, i32 s) {
    module_sample* sample = channel_at(context, c)->sample;
    // The parameter's low nibble counts from finetune -8: 8 is untuned.
    if (sample) sample->c_rate = eighth_finetune_rate(low_nibble(slot_at(context, c, s)->param) - 8);
}

u32 row_set_finetune(module_context* context, i32 c, i32 s, const module_cell*) {
    apply_finetune(context, c, s);
    return 0;
}

u32 row_pattern_loop(module_context* context, i32 c, i32 s, const module_cell*) {
    i32 repeats = low_nibble(slot_at(context, c, s)->param);
    if (repeats == 0) {
        context->loop_row = context->row;
        return 0;
    }
    if (context->loop_count == 0) {
        context->loop_count = repeats;
    } else {
        context->loop_count -= 1;
        if (context->loop_count == 0) return 0;
    }
    context->row = context->loop_row;
    return row_position_set;
}

u32 row_tremolo_waveform(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    slot->tremolo_waveform = slot->param & 7;
    return 0;
}

u32 row_coarse_pan(module_context* context, i32 c, i32 s, const module_cell*) {
    u8 y = low_nibble(slot_at(context, c, s)->param);
    channel_at(context, c)->pan = y == 15 ? 255 : (u8)((y + 1) * 16);
    return 0;
}

// Fine volume slides read the cell's parameter; their memory does not replace `param`.
u8 fine_slide_amount(const module_cell* cell, i32 s, u8* memory) {
    u8 amount = cell->params[s];
    if (amount != 0) *memory = amount;
    return *memory;
}

u32 row_fine_volume_up(module_context* context, i32 c, i32 s, const module_cell* cell) {
    effect_slot* slot = slot_at(context, c, s);
    u8 amount = fine_slide_amount(cell, s, &slot->fine_volume_up_memory);
    module_channel* channel = channel_at(context, c);
    channel->volume = raised(channel->volume, amount, 64);
    return 0;
}

u32 row_fine_volume_down(module_context* context, i32 c, i32 s, const module_cell* cell) {
    effect_slot* slot = slot_at(context, c, s);
    u8 amount = fine_slide_amount(cell, s, &slot->fine_volume_down_memory);
    module_channel* channel = channel_at(context, c);
    channel->volume = lowered(channel->volume, amount);
    return 0;
}

u32 row_note_delay(module_context* context, i32 c, i32 s, const module_cell* cell) {
    slot_at(context, c, s)->delayed_cell = const_cast<module_cell*>(cell);
    return row_no_trigger;
}

u32 row_speed_tempo(module_context* context, i32 c, i32 s, const module_cell*) {
    u8 param = slot_at(context, c, s)->param;
    if (param == 0) return 0;
    if (param < 32) {
        context->speed = param;
    } else {
        context->tempo = param;
        update_samples_per_tick(context);
    }
    return 0;
}

u32 row_jump_and_break(module_context* context, i32, i32 s, const module_cell* cell) {
    context->order = cell->params[s];
    // The row travels in the following slot; slot 1 has none after it.
    context->row = s + 1 < 2 ? cell->params[s + 1] : 0;
    return row_position_set;
}

u32 row_xm_porta(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->porta_memory);
    return 0;
}

u32 row_set_global_volume(module_context* context, i32 c, i32 s, const module_cell*) {
    u8 param = slot_at(context, c, s)->param;
    context->current_global_volume = param > 64 ? 64 : param;
    return 0;
}

u32 row_global_volume_slide(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->global_volume_slide_memory);
    return 0;
}

u32 row_pan_slide(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->pan_slide_memory);
    return 0;
}

u32 row_xm_volume_slide(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->volume_slide_memory);
    return 0;
}

u32 row_s3m_speed(module_context* context, i32 c, i32 s, const module_cell*) {
    u8 param = slot_at(context, c, s)->param;
    if (param != 0) context->speed = param;
    return 0;
}

u32 row_s3m_volume_slide(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->volume_slide_memory);
    volume_slide_s3m_row(channel_at(context, c), slot->param);
    return 0;
}

// S3M portamentos: Ex/Fx with x = 15 fine (4 units), x = 14 extra fine (1 unit) on the row.
u32 s3m_porta_row(module_context* context, i32 c, i32 s, i32 direction) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->porta_memory);
    u8 x = high_nibble(slot->param), y = low_nibble(slot->param);
    if (x == 15) slide_period(context, channel_at(context, c), direction * 4 * y);
    if (x == 14) slide_period(context, channel_at(context, c), direction * y);
    return 0;
}

u32 row_s3m_porta_down(module_context* context, i32 c, i32 s, const module_cell*) {
    return s3m_porta_row(context, c, s, 1);
}

u32 row_s3m_porta_up(module_context* context, i32 c, i32 s, const module_cell*) {
    return s3m_porta_row(context, c, s, -1);
}

u32 row_s3m_retrigger(module_context* context, i32 c, i32 s, const module_cell*) {
    effect_slot* slot = slot_at(context, c, s);
    apply_memory(slot, &slot->retrigger_memory);
    slot->retrigger_counter = 0;
    return 0;
}

u32 row_s3m_tempo(module_context* context, i32 c, i32 s, const module_cell*) {
    u8 param = slot_at(context, c, s)->param;
    if (param >= 32) {
        context->tempo = param;
        update_samples_per_tick(context);
    }
    return 0;
}

// --- tick actions ---

void tick_arpeggio(module_context* context, i32 c, i32 s) {
    module_channel* channel = channel_at(context, c);
    effect_slot* slot = slot_at(context, c, s);
    if (!channel->sample) return;
    // The note map belongs to the instrument; without one there is no pitch to look up.
    if (channel->instrument) {
        u32 shift = slot->arpeggio_phase == 1   ? high_nibble(slot->param)
                    : slot->arpeggio_phase == 2 ? low_nibble(slot->param)
                                                : 0;
        set_arpeggio_pitch(context, channel, shift);
    }
    slot->arpeggio_phase = slot->arpeggio_phase >= 2 ? 0 : slot->arpeggio_phase + 1;
}

void end_arpeggio(module_context* context, i32 c, i32) {
    module_channel* channel = channel_at(context, c);
    if (channel->sample && channel->instrument) set_arpeggio_pitch(context, channel, 0);
}

void tick_porta_up(module_context* context, i32 c, i32 s) {
    if (!first_tick(context)) slide_period(context, channel_at(context, c), -4 * slot_at(context, c, s)->param);
}

void tick_porta_down(module_context* context, i32 c, i32 s) {
    if (!first_tick(context)) slide_period(context, channel_at(context, c), 4 * slot_at(context, c, s)->param);
}

void tick_tone_porta_volume_slide(module_context* context, i32 c, i32 s) {
    tone_porta_slide(context, c, s);
    if (!first_tick(context)) volume_slide_mod(channel_at(context, c), slot_at(context, c, s)->param);
}

void tick_vibrato_volume_slide(module_context* context, i32 c, i32 s) {
    vibrato_tick(context, c, s);
    if (!first_tick(context)) volume_slide_mod(channel_at(context, c), slot_at(context, c, s)->param);
}

void tick_tremolo(module_context* context, i32 c, i32 s) {
    tremolo_volume(context, c, s);
    if (!first_tick(context)) advance_tremolo(slot_at(context, c, s));
}

void tick_sample_offset(module_context* context, i32 c, i32 s) {
    if (!first_tick(context)) return;
    module_channel* channel = channel_at(context, c);
    if (!channel->sample) return;
    u32 frames = 256u * slot_at(context, c, s)->param;
    if (frames > channel->sample->length) frames = channel->sample->length;
    channel->forward = 1;
    channel->position = frames * 1024;
}

void tick_volume_slide(module_context* context, i32 c, i32 s) {
    if (!first_tick(context)) volume_slide_mod(channel_at(context, c), slot_at(context, c, s)->param);
}

void tick_retrigger(module_context* context, i32 c, i32 s) {
    u8 interval = slot_at(context, c, s)->param;
    // E90 has no interval to count; it leaves the note alone.
    if (first_tick(context) || interval == 0 || context->tick % interval != 0) return;
    module_channel* channel = channel_at(context, c);
    start_note(context, c, channel->note, channel->instrument_number, module_note_none);
}

void tick_note_cut(module_context* context, i32 c, i32 s) {
    if (!first_tick(context) && context->tick == slot_at(context, c, s)->param) channel_at(context, c)->volume = 0;
}

void tick_note_delay(module_context* context, i32 c, i32 s) {
    effect_slot* slot = slot_at(context, c, s);
    if (first_tick(context) || context->tick != slot->param || !slot->delayed_cell) return;
    const module_cell* cell = slot->delayed_cell;
    start_note(context, c, cell->note, (u8)cell->instrument, cell->volume);
}

void tick_pattern_delay(module_context* context, i32 c, i32 s) {
    if (first_tick(context)) context->pattern_delay = slot_at(context, c, s)->param * context->speed;
}

void tick_global_volume_slide(module_context* context, i32 c, i32 s) {
    if (first_tick(context)) return;
    u8 param = slot_at(context, c, s)->param;
    if (low_nibble(param) != 0)
        context->current_global_volume = lowered(context->current_global_volume, low_nibble(param));
    else
        context->current_global_volume = raised(context->current_global_volume, high_nibble(param), 64);
}

void tick_pan_slide(module_context* context, i32 c, i32 s) {
    if (first_tick(context)) return;
    module_channel* channel = channel_at(context, c);
    u8 param = slot_at(context, c, s)->param;
    if (high_nibble(param) != 0)
        channel->pan = raised(channel->pan, high_nibble(param), 255);
    else
        channel->pan = lowered(channel->pan, low_nibble(param));
}

void tick_s3m_volume_slide(module_context* context, i32 c, i32 s) {
    volume_slide_s3m_tick(channel_at(context, c), slot_at(context, c, s)->param);
}

void s3m_porta_tick(module_context* context, i32 c, i32 s, i32 direction) {
    u8 param = slot_at(context, c, s)->param;
    u8 x = high_nibble(param);
    if (first_tick(context) || x == 14 || x == 15) return;
    slide_period(context, channel_at(context, c), direction * 4 * param);
}

void tick_s3m_porta_down(module_context* context, i32 c, i32 s) { s3m_porta_tick(context, c, s, 1); }
void tick_s3m_porta_up(module_context* context, i32 c, i32 s) { s3m_porta_tick(context, c, s, -1); }

void tick_s3m_vibrato_volume_slide(module_context* context, i32 c, i32 s) {
    vibrato_tick(context, c, s);
    tick_s3m_volume_slide(context, c, s);
}

void tick_s3m_tone_porta_volume_slide(module_context* context, i32 c, i32 s) {
    tone_porta_slide(context, c, s);
    tick_s3m_volume_slide(context, c, s);
}

u8 retrigger_volume(u8 volume, u8 change) {
    static constexpr u8 amounts[5] = {1, 2, 4, 8, 16};
    switch (change) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            return lowered(volume, amounts[change - 1]);
        case 6:
            return (u8)(volume * 2 / 3);
        case 7:
            return volume / 2;
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
            return raised(volume, amounts[change - 9], 64);
        case 14:
            return (u8)(volume * 3 / 2 > 64 ? 64 : volume * 3 / 2);
        case 15:
            return (u8)(volume * 2 > 64 ? 64 : volume * 2);
        default:
            return volume;
    }
}

void tick_s3m_retrigger(module_context* context, i32 c, i32 s) {
    effect_slot* slot = slot_at(context, c, s);
    slot->retrigger_counter += 1;
    if (first_tick(context) || slot->retrigger_counter < low_nibble(slot->param)) return;
    slot->retrigger_counter = 0;
    module_channel* channel = channel_at(context, c);
    channel->volume = retrigger_volume(channel->volume, high_nibble(slot->param));
    channel->position = 0;
    channel->active = 1;
    channel->forward = 1;
}

void tick_s3m_tremolo(module_context* context, i32 c, i32 s) {
    tremolo_volume(context, c, s);
    advance_tremolo(slot_at(context, c, s));
}

}  // namespace

const effect_actions effect_table[fx_count] = {
    /* 0 none */ {nullptr, nullptr, nullptr},
    /* 1 arpeggio */ {nullptr, tick_arpeggio, end_arpeggio},
    /* 2 porta up */ {nullptr, tick_porta_up, nullptr},
    /* 3 porta down */ {nullptr, tick_porta_down, nullptr},
    /* 4 tone porta */ {row_tone_porta, tone_porta_slide, nullptr},
    /* 5 vibrato */ {row_vibrato, vibrato_tick, vibrato_end},
    /* 6 tone porta + volume slide */ {nullptr, tick_tone_porta_volume_slide, nullptr},
    /* 7 vibrato + volume slide */ {nullptr, tick_vibrato_volume_slide, vibrato_end},
    /* 8 tremolo */ {row_tremolo, tick_tremolo, tremolo_end},
    /* 9 set pan */ {row_set_pan, nullptr, nullptr},
    /* 10 sample offset */ {nullptr, tick_sample_offset, nullptr},
    /* 11 volume slide */ {nullptr, tick_volume_slide, nullptr},
    /* 12 position jump */ {row_position_jump, nullptr, nullptr},
    /* 13 set volume */ {row_set_volume, nullptr, nullptr},
    /* 14 pattern break */ {row_pattern_break, nullptr, nullptr},
    /* 15 fine porta up */ {row_fine_porta_up, nullptr, nullptr},
    /* 16 fine porta down */ {row_fine_porta_down, nullptr, nullptr},
    /* 17 vibrato waveform */ {row_vibrato_waveform, nullptr, nullptr},
    /* 18 set finetune */ {row_set_finetune, apply_finetune, nullptr},
    /* 19 pattern loop */ {row_pattern_loop, nullptr, nullptr},
    /* 20 tremolo waveform */ {row_tremolo_waveform, nullptr, nullptr},
    /* 21 coarse pan */ {row_coarse_pan, nullptr, nullptr},
    /* 22 retrigger */ {nullptr, tick_retrigger, nullptr},
    /* 23 fine volume up */ {row_fine_volume_up, nullptr, nullptr},
    /* 24 fine volume down */ {row_fine_volume_down, nullptr, nullptr},
    /* 25 note cut */ {nullptr, tick_note_cut, nullptr},
    /* 26 note delay */ {row_note_delay, tick_note_delay, nullptr},
    /* 27 pattern delay */ {nullptr, tick_pattern_delay, nullptr},
    /* 28 unused */ {nullptr, nullptr, nullptr},
    /* 29 speed or tempo */ {row_speed_tempo, nullptr, nullptr},
    /* 30 jump and break */ {row_jump_and_break, nullptr, nullptr},
    /* 31 XM porta up */ {row_xm_porta, tick_porta_up, nullptr},
    /* 32 XM porta down */ {row_xm_porta, tick_porta_down, nullptr},
    /* 33 set global volume */ {row_set_global_volume, nullptr, nullptr},
    /* 34 global volume slide */ {row_global_volume_slide, tick_global_volume_slide, nullptr},
    /* 35 pan slide */ {row_pan_slide, tick_pan_slide, nullptr},
    /* 36 XM volume slide */ {row_xm_volume_slide, tick_volume_slide, nullptr},
    /* 37 S3M speed */ {row_s3m_speed, nullptr, nullptr},
    /* 38 S3M volume slide */ {row_s3m_volume_slide, tick_s3m_volume_slide, nullptr},
    /* 39 S3M porta down */ {row_s3m_porta_down, tick_s3m_porta_down, nullptr},
    /* 40 S3M porta up */ {row_s3m_porta_up, tick_s3m_porta_up, nullptr},
    /* 41 S3M vibrato + volume slide */ {row_s3m_volume_slide, tick_s3m_vibrato_volume_slide, vibrato_end},
    /* 42 S3M tone porta + volume slide */ {row_s3m_volume_slide, tick_s3m_tone_porta_volume_slide, nullptr},
    /* 43 S3M retrigger */ {row_s3m_retrigger, tick_s3m_retrigger, nullptr},
    /* 44 S3M tremolo */ {row_tremolo, tick_s3m_tremolo, tremolo_end},
    /* 45 S3M tempo */ {row_s3m_tempo, nullptr, nullptr},
};

void envelope_reset(envelope_state* state) {
    state->held = 0;
    state->running = 0;
    state->current_point = 0;
    state->current_tick = 0;
    state->current_value = 0;
    const module_envelope* envelope = state->envelope;
    if (envelope && envelope->point_count > 0 && envelope->points) state->current_value = envelope->points[0].value;
}

bool envelope_advance(envelope_state* state) {
    const module_envelope* envelope = state->envelope;
    if (!envelope || !envelope->enabled || envelope->point_count < 2 || !envelope->points || !state->running)
        return false;
    const module_envelope_point* points = envelope->points;
    u8 p = state->current_point;
    if (state->held == 1 && p == envelope->sustain_point) return true;
    // A point past the last segment (only after malformed data) also holds the value.
    if (p + 1 >= envelope->point_count) return true;
    if (state->current_tick >= points[envelope->point_count - 1].tick) return true;
    state->current_tick += 1;
    int64_t span = (int64_t)points[p + 1].tick - points[p].tick;
    if (span == 0) {
        // Two points on one tick: the segment jumps straight to the later value.
        state->current_value = points[p + 1].value;
    } else {
        int64_t rise = (int64_t)points[p + 1].value - points[p].value;
        state->current_value = (u16)(points[p].value + ((int64_t)state->current_tick - points[p].tick) * rise / span);
    }
    if (state->current_tick >= points[p + 1].tick) {
        p += 1;
        if (envelope->loop_end >= envelope->loop_start && envelope->loop_end < envelope->point_count &&
            p == envelope->loop_end) {
            p = envelope->loop_start;
            state->current_tick = points[p].tick;
            state->current_value = points[p].value;
        }
        state->current_point = p;
    }
    return true;
}
