// Sequencer: playback start, output format, the render loop, the row pass,
// the note start and the per-tick pass.
#include <cstdlib>
#include <cstring>

#include "player_internal.h"

namespace {

// A song whose header asks for a tempo the tick arithmetic cannot use plays at
// the trackers' common default instead of never finishing a render call.
constexpr i32 fallback_tempo = 125;
constexpr i32 slowest_tempo = 32;
constexpr i32 fastest_tempo = 255;

}  // namespace

i32 used_channel_count(const module_context* context) {
    i32 count = context->channel_count;
    if (count < 0) return 0;
    return count > module_max_channels ? module_max_channels : count;
}

namespace {

u32 used_order_count(const module_context* context) { return context->order_count > 256 ? 256 : context->order_count; }

// An order entry is playable when it names an existing pattern with rows;
// markers (254, 255) and dangling pattern numbers are not.
bool order_playable(const module_context* context, i32 order) {
    if (order < 0 || (u32)order >= used_order_count(context)) return false;
    u8 pattern = context->orders[order];
    if (pattern >= 254 || pattern >= context->pattern_count) return false;
    if (!context->patterns || !context->pattern_rows) return false;
    return context->patterns[pattern] && context->pattern_rows[pattern] > 0;
}

}  // namespace

const module_cell* current_row(module_context* context) {
    if (context->order < 0 || (u32)context->order >= used_order_count(context)) context->order = 0;
    if (!order_playable(context, context->order)) advance_order(context);
    if (!order_playable(context, context->order)) return nullptr;
    u8 pattern = context->orders[context->order];
    if (context->row < 0 || (u32)context->row >= context->pattern_rows[pattern]) context->row = 0;
    return context->patterns[pattern] + (size_t)context->row * (size_t)context->channel_count;
}

namespace {

void release_mix_buffer(module_context* context) {
    std::free(context->mix_buffer);
    context->mix_buffer = nullptr;
}

// A failed allocation leaves the buffer null; module_render then writes silence.
void allocate_mix_buffer(module_context* context) {
    release_mix_buffer(context);
    if (context->output_rate <= 0) return;
    size_t values = (size_t)mix_buffer_frames(context->output_rate) * 2;
    context->mix_buffer = (i32*)std::calloc(values, sizeof(i32));
}

module_instrument* instrument_of(module_context* context, u8 instrument_number) {
    if (instrument_number == 0 || !context->instruments) return nullptr;
    if (instrument_number > context->instrument_count) return nullptr;
    return &context->instruments[instrument_number - 1];
}

void attach_envelope(envelope_state* state, module_envelope* envelope) {
    state->envelope = envelope;
    if (!envelope->enabled) return;
    envelope_reset(state);
    state->running = 1;
    state->held = 1;
}

bool envelope_enabled(const envelope_state& state) { return state.envelope && state.envelope->enabled; }

void row_pass_channel(module_context* context, i32 channel_index, const module_cell* cell, u32* note_mask,
                      bool* position_set) {
    module_channel* channel = &context->channels[channel_index];
    u32 result = 0;
    for (i32 s = 0; s < 2; ++s) {
        effect_slot* slot = &channel->slots[s];
        if (cell->note < module_note_off && channel->sample) {
            module_sample* sample = channel->sample;
            slot->porta_target = note_period(context, relative_note_packed(cell->note, sample->relative_note),
                                             sample->c_rate, sample->finetune);
        }
        if (slot->effect < fx_count && effect_table[slot->effect].end)
            effect_table[slot->effect].end(context, channel_index, s);
        slot->effect = cell->effects[s];
        slot->param = cell->params[s];
        if (cell->volume <= 64) channel->volume = cell->volume;
        if (slot->effect < fx_count && effect_table[slot->effect].row)
            result |= effect_table[slot->effect].row(context, channel_index, s, cell);
    }
    if (result & row_position_set) *position_set = true;
    if (!(result & row_no_trigger)) {
        u32 position = channel->position;
        i32 forward = channel->forward;
        u32 period = channel->period;
        u8 pan = channel->pan;
        u8 volume = channel->volume;
        // The mask has 32 bits; a 33rd column is the global one, which is never heard.
        if (start_note(context, channel_index, cell->note, (u8)cell->instrument, cell->volume) && channel_index < 32)
            *note_mask |= 1u << channel_index;
        // A kept position keeps its direction too: otherwise a tone portamento onto a
        // ping-pong voice that runs backwards would audibly flip it forwards.
        if (result & row_keep_position) {
            channel->position = position;
            channel->forward = forward;
        }
        if (result & row_keep_period) {
            channel->period = period;
            repitch(context, channel);
        }
        if (result & row_keep_pan) channel->pan = pan;
        if (result & row_keep_volume) channel->volume = volume;
    }
    if (cell->volume <= 64) channel->volume = cell->volume;
}

u32 row_pass(module_context* context) {
    const module_cell* cells = current_row(context);
    if (!cells) return 0;
    u32 note_mask = 0;
    bool position_set = false;
    i32 channel_count = used_channel_count(context);
    for (i32 c = 0; c < channel_count; ++c) row_pass_channel(context, c, &cells[c], &note_mask, &position_set);
    if (!position_set) advance_row(context);
    return note_mask;
}

void tick_pass(module_context* context) {
    i32 channel_count = used_channel_count(context);
    for (i32 c = 0; c < channel_count; ++c) {
        module_channel* channel = &context->channels[c];
        if (channel->enabled != 1) continue;
        channel->volume_envelope_value =
            envelope_advance(&channel->volume_envelope) ? (u8)channel->volume_envelope.current_value : 64;
        channel->pan_envelope_value =
            envelope_advance(&channel->pan_envelope) ? (u8)channel->pan_envelope.current_value : 32;
        if (channel->fade_step < channel->fade_volume)
            channel->fade_volume -= channel->fade_step;
        else
            channel->fade_volume = 0;
        for (i32 s = 0; s < 2; ++s) {
            u16 effect = channel->slots[s].effect;
            if (effect < fx_count && effect_table[effect].tick) effect_table[effect].tick(context, c, s);
        }
    }
}

// Bytes of one output frame, or 0 when the output format cannot be rendered.
i32 output_frame_bytes(const module_context* context) {
    if (context->output_channels != 1 && context->output_channels != 2) return 0;
    if (context->output_bits != 8 && context->output_bits != 16) return 0;
    return context->output_channels * (context->output_bits / 8);
}

u32 output_flags(const module_context* context) {
    u32 flags = output_flag_base;
    if (context->output_channels == 2) flags |= output_flag_stereo;
    if (context->output_bits == 16) flags |= output_flag_16bit;
    if (context->output_signed) flags |= output_flag_signed;
    return flags;
}

// Plays `frames` frames from the current position: `run` takes each stretch of frames
// inside one tick (given as frames done before it and its length), and every tick that
// completes advances the song. Returns the channels that started a note.
template <typename frame_run>
u32 play_frames(module_context* context, i32 frames, frame_run run) {
    u32 note_mask = 0;
    i32 longest_run = mix_buffer_frames(context->output_rate);
    i32 remaining = frames;
    i32 done = 0;
    while (remaining > 0) {
        i32 n = context->samples_per_tick - context->tick_position;
        if (n > remaining) n = remaining;
        if (n > longest_run) n = longest_run;
        if (n > 0) {
            run(done, n);
            context->tick_position += n;
            done += n;
            remaining -= n;
        }
        if (context->tick_position >= context->samples_per_tick) {
            context->tick += 1;
            context->tick_position -= context->samples_per_tick;
            if (context->tick >= context->speed + context->pattern_delay) {
                context->pattern_delay = 0;
                note_mask |= row_pass(context);
                context->tick = 0;
            }
            tick_pass(context);
        }
    }
    return note_mask;
}

}  // namespace

u8 relative_note_packed(u8 note, i8 relative_note) {
    u8 n = (u8)((note >> 4) * 12 + (note & 15) + relative_note);
    return (u8)((((n / 12) & 15) << 4) | (n % 12));
}

void update_samples_per_tick(module_context* context) {
    context->samples_per_tick = (context->output_rate * 5) / (context->tempo * 2);
}

void repitch(module_context* context, module_channel* channel) {
    channel->step = period_to_step(context, channel->period + (u32)channel->period_offset);
}

void advance_order(module_context* context) {
    u32 count = used_order_count(context);
    if (count == 0) {
        context->order = 0;
        return;
    }
    // At most one lap over the list, so a list made only of markers cannot hold us.
    for (u32 tries = 0; tries < count; ++tries) {
        context->order += 1;
        if (context->order < 0 || (u32)context->order >= count) context->order = 0;
        if (order_playable(context, context->order)) return;
    }
    context->order = 0;
}

bool advance_row(module_context* context) {
    context->row += 1;
    u8 pattern = context->orders[context->order];
    bool next_entry = (u32)context->row >= context->pattern_rows[pattern];
    if (next_entry) {
        context->row = 0;
        advance_order(context);
    }
    if ((u32)context->order >= context->order_count) context->order = 0;
    return next_entry;
}

bool start_note(module_context* context, i32 channel_index, u8 note, u8 instrument_number, u8 volume) {
    module_channel* channel = &context->channels[channel_index];
    if (instrument_number > context->instrument_count) return false;
    module_instrument* given = instrument_of(context, instrument_number);
    if (instrument_number != 0 && (!given || !given->note_samples[note])) return false;
    bool started = false;
    if (note < module_note_off) {
        channel->position = 0;
        channel->forward = 1;
        if (given) {
            channel->instrument_number = instrument_number;
            channel->instrument = given;
            channel->sample = given->note_samples[note];
            channel->voice_sample = channel->sample;
            channel->active = 1;
            started = true;
        }
        for (effect_slot& slot : channel->slots) {
            if (slot.vibrato_waveform < 4) slot.vibrato_position = 0;
            if (slot.tremolo_waveform < 4) slot.tremolo_position = 0;
        }
        channel->note = note;
        if (channel->instrument_number != 0 && channel->instrument)
            channel->sample = channel->instrument->note_samples[note];
        module_sample* sample = channel->sample;
        if (sample && channel->instrument) {
            channel->voice_sample = sample;
            channel->active = 1;
            channel->forward = 1;
            started = true;
            u8 mapped = channel->instrument->note_map[relative_note_packed(note, sample->relative_note)];
            note_to_period(context, channel, mapped, sample->c_rate, sample->finetune);
        }
    }
    if (given) {
        channel->pan = channel->default_pan;
        channel->instrument_number = instrument_number;
        channel->volume = 64;
        channel->instrument = given;
        if (module_sample* sample = channel->sample) {
            // Default volumes above 64 only come from damaged files.
            channel->volume = sample->volume > 64 ? 64 : sample->volume;
            channel->active = 1;
            started = true;
            if (sample->panning <= 64) channel->pan = sample->panning == 64 ? 255 : (u8)(sample->panning * 4);
        }
        attach_envelope(&channel->volume_envelope, &given->volume_envelope);
        attach_envelope(&channel->pan_envelope, &given->panning_envelope);
        channel->fade_volume = 32768;
        channel->fade_step = 0;
    }
    if (volume <= 64) channel->volume = volume;
    if (note == module_note_off && channel->active == 1) {
        if (envelope_enabled(channel->pan_envelope)) channel->pan_envelope.held = 0;
        if (envelope_enabled(channel->volume_envelope))
            channel->volume_envelope.held = 0;
        else
            channel->active = 0;
        if (channel->instrument) channel->fade_step = channel->instrument->fadeout;
    }
    return started;
}

void reset_playback(module_context* context) {
    context->speed = context->initial_speed;
    context->tempo = context->initial_tempo >= slowest_tempo ? context->initial_tempo : fallback_tempo;
    update_samples_per_tick(context);
    context->current_global_volume = context->global_volume;
    context->pattern_delay = 0;
    context->row = 0;
    context->order = 0;
    context->tick = 0;
    context->tick_position = 0;
    context->loop_row = 0;
    context->loop_count = 0;
    if (context->samples)
        for (i32 s = 0; s < context->sample_count; ++s) context->samples[s].c_rate = context->samples[s].default_c_rate;
    for (module_channel& channel : context->channels) {
        channel.active = 0;
        channel.volume = 64;
        channel.instrument_number = 0;
        for (effect_slot& slot : channel.slots) {
            slot.effect = 255;
            slot.param = 255;
            slot.vibrato_waveform = 0;
            slot.vibrato_position = 0;
            slot.tremolo_waveform = 0;
            slot.tremolo_position = 0;
        }
        channel.pan = channel.default_pan;
    }
}

void module_start(module_context* context) {
    if (!context) return;
    reset_playback(context);
    allocate_mix_buffer(context);
    context->playing = 1;
}

void module_set_output_format(module_context* context) {
    if (!context) return;
    context->output_rate = 44100;
    context->output_channels = 2;
    context->output_bits = 16;
    context->output_signed = 1;
    if (context->playing != 1) return;
    // Allocated also when an earlier attempt failed, so a transient failure heals.
    allocate_mix_buffer(context);
    if (context->tempo >= slowest_tempo && context->tempo <= fastest_tempo) update_samples_per_tick(context);
}

bool render_ready(const module_context* context) {
    return output_frame_bytes(context) > 0 && context->mix_buffer && context->samples_per_tick > 0 &&
           context->output_rate > 0;
}

void play_silently(module_context* context, i32 frames) {
    play_frames(context, frames, [context](i32, i32 count) { step_voices(context, count); });
}

void module_render(module_context* context) {
    if (!context) return;
    u32 note_mask = 0;
    u8* output = (u8*)context->output_buffer;
    i32 frame_bytes = output_frame_bytes(context);
    bool ready = output && context->output_size > 0 && render_ready(context);
    if (!ready) {
        if (output && context->output_size > 0) std::memset(output, 0, (size_t)context->output_size);
    } else {
        u32 flags = output_flags(context);
        note_mask = play_frames(context, context->output_size / frame_bytes, [&](i32 done, i32 count) {
            mix_run(context, flags, output + (size_t)done * (size_t)frame_bytes, count);
        });
    }
    context->new_note_mask = note_mask;
    if (context->render_hook) context->render_hook(context);
}
