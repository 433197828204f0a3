// kiv_ambrel module library: one song and its whole playback state in one
// caller-owned record, plain free functions with integer results.
//
// Result codes: 0 success, -1 bad arguments or unrecognised/malformed data,
// -2 allocation failure, a positive value a success with a remark.
// The library keeps no shared mutable state; one context is used by one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t u8;
typedef int8_t i8;
typedef uint16_t u16;
typedef int16_t i16;
typedef uint32_t u32;
typedef int32_t i32;
typedef uint64_t u64;

enum : u8 {
    module_note_off = 254,  // key off (XM) or note cut (S3M)
    module_note_none = 255,
    module_no_volume = 255,  // a cell's volume column that sets nothing
};

enum : u32 {
    module_no_instrument = 0,  // a cell's instrument number that names none
};

enum : u32 {
    module_format_mod = 1,
    module_format_s3m = 2,
    module_format_xm = 3,
};

enum { module_max_channels = 33 };  // file channels plus the global column

// Internal effect codes shared by all formats; codes >= 46 do nothing.
enum module_effect_code : u16 {
    fx_none = 0,
    fx_arpeggio = 1,
    fx_porta_up = 2,
    fx_porta_down = 3,
    fx_tone_porta = 4,
    fx_vibrato = 5,
    fx_tone_porta_volume_slide = 6,
    fx_vibrato_volume_slide = 7,
    fx_tremolo = 8,
    fx_set_pan = 9,
    fx_sample_offset = 10,
    fx_volume_slide = 11,
    fx_position_jump = 12,
    fx_set_volume = 13,
    fx_pattern_break = 14,
    fx_fine_porta_up = 15,
    fx_fine_porta_down = 16,
    fx_vibrato_waveform = 17,
    fx_set_finetune = 18,
    fx_pattern_loop = 19,
    fx_tremolo_waveform = 20,
    fx_coarse_pan = 21,
    fx_retrigger = 22,
    fx_fine_volume_up = 23,
    fx_fine_volume_down = 24,
    fx_note_cut = 25,
    fx_note_delay = 26,
    fx_pattern_delay = 27,
    fx_unused_28 = 28,
    fx_speed_tempo = 29,
    fx_jump_and_break = 30,
    fx_xm_porta_up = 31,
    fx_xm_porta_down = 32,
    fx_set_global_volume = 33,
    fx_global_volume_slide = 34,
    fx_pan_slide = 35,
    fx_xm_volume_slide = 36,
    fx_s3m_speed = 37,
    fx_s3m_volume_slide = 38,
    fx_s3m_porta_down = 39,
    fx_s3m_porta_up = 40,
    fx_s3m_vibrato_volume_slide = 41,
    fx_s3m_tone_porta_volume_slide = 42,
    fx_s3m_retrigger = 43,
    fx_s3m_tremolo = 44,
    fx_s3m_tempo = 45,
    fx_count = 46,
};

// A cell that the file leaves empty holds, in MOD and S3M patterns, the byte 255
// throughout (instrument 0xFFFFFFFF, volume and note 255, both effects 65535, both
// parameters 255); in XM patterns, instrument 0, volume and note 255, both effects
// fx_none and both parameters 0. The player reads either as "nothing".
struct module_cell {
    u32 instrument;  // 1-based into instruments; 0 none
    u8 volume;       // volume column 0..64; 255 none
    u8 note;         // octave*16 + semitone; 254 key off/note cut; 255 none
    u16 effects[2];  // internal effect codes; slot 0: MOD/S3M effect, XM volume column, global column
    u8 params[2];    // parameter of each slot
};

// A pattern block: pattern_rows[p] x channel_count cells, row by row.
typedef module_cell module_pattern;

struct module_sample {
    u32 length;          // frames (16-bit data: in 16-bit units)
    u32 loop_start;      // first frame of the loop
    u32 loop_end;        // MOD/XM: frame after the loop; S3M: as stored; length-1 without loop
    i32 looped;          // 0..1
    i32 ping_pong;       // 0..1, XM loop type 2
    void* data;          // owned: i8[length] or i16[length]; null when length is 0
    i32 is_16bit;        // 0..1
    i32 is_stereo;       // 0..1, S3M flag as stored; only the first channel is loaded
    char name[28];       // MOD/XM: 22 bytes and a terminating zero; empty for S3M
    u8 volume;           // default volume 0..64
    u32 c_rate;          // Hz at middle C during playback
    u32 default_c_rate;  // Hz at middle C as derived from the file
    i8 finetune;         // XM finetune -128..127; 0 otherwise
    i8 relative_note;    // XM relative note in semitones; 0 otherwise
    u8 panning;          // XM panning / 4, 0..63; 255 none
    u8 xm_volume;        // XM volume byte as stored; 0 otherwise
};

struct module_envelope_point {
    u16 tick;   // position in ticks
    u16 value;  // 0..64 in well-formed files
};

struct module_envelope {
    i32 enabled;                    // 0..1
    u8 point_count;                 // entries of points
    u8 loop_start;                  // point index; 255 no loop
    u8 loop_end;                    // point index; 255 no loop
    u8 sustain_point;               // point index; 255 no sustain
    module_envelope_point* points;  // owned; null when disabled
};

struct module_instrument {
    char name[28];
    module_sample* note_samples[256];  // packed note -> borrowed pointer into samples, or null
    u8 note_map[256];                  // packed note -> packed note, identity after loading
    module_envelope panning_envelope;
    module_envelope volume_envelope;
    u16 fadeout;  // XM as stored; 32767 for MOD and S3M
};

struct envelope_state {
    module_envelope* envelope;  // borrowed from the instrument
    i32 running;                // 0..1, advancing
    i32 held;                   // 0..1, key down: stop at the sustain point
    u8 current_point;           // index of the point where the current segment starts
    u16 current_value;          // envelope output
    u16 current_tick;           // ticks since the envelope started
};

struct effect_slot {
    u16 effect;                 // internal effect code of the current row
    u8 param;                   // parameter after memory replaced a zero
    u8 pan_slide_memory;        // last non-zero panning-slide parameter
    u8 volume_slide_memory;     // last non-zero XM/S3M volume-slide parameter
    u8 porta_memory;            // last non-zero XM/S3M portamento parameter
    u8 tone_porta_memory;       // last non-zero tone-portamento speed
    u32 porta_target;           // period toward which tone portamento slides
    u8 vibrato_depth;           // 0..15
    u8 vibrato_speed;           // 0..15
    u8 vibrato_memory;          // last non-zero vibrato parameter
    i32 vibrato_waveform;       // 0..7: bits 0-1 wave, bit 2 keep position on a new note
    u32 vibrato_position;       // 0..63
    u8 tremolo_depth;           // 0..15
    u8 tremolo_speed;           // 0..15
    u8 tremolo_memory;          // last non-zero tremolo parameter
    i32 tremolo_waveform;       // as vibrato_waveform
    u8 tremolo_base_volume;     // channel volume when the tremolo row began, 0..64
    u32 tremolo_position;       // 0..63
    u8 retrigger_counter;       // ticks counted by the S3M retrigger
    u8 retrigger_memory;        // last non-zero S3M retrigger parameter
    module_cell* delayed_cell;  // borrowed: cell whose note the note delay starts
    u8 arpeggio_phase;          // 0..2
    u8 fine_volume_down_memory;
    u8 fine_volume_up_memory;
    u8 global_volume_slide_memory;
};

struct module_channel {
    u16 fade_volume;                // 32768 none faded .. 0 silent
    u16 fade_step;                  // taken from fade_volume every tick; 0 until key off
    module_instrument* instrument;  // borrowed: instrument last selected
    module_sample* sample;          // borrowed: sample of the last note, for pitch and effects
    i32 enabled;                    // 0..1, column in use (written by the loaders)
    i32 active;                     // 0..1, voice sounds
    i32 forward;                    // 1 forwards, 0 backwards (ping-pong)
    u8 pan;                         // 0 left .. 255 right, 128 centre
    u8 pan_envelope_value;          // 0..64, 32 neutral
    u32 position;                   // sample position, 22.10 fixed point
    u32 step;                       // position increment per output frame, 22.10
    u8 volume;                      // 0..64
    u8 volume_envelope_value;       // 0..64, 64 without envelope
    module_sample* voice_sample;    // borrowed: the sample the mixer plays
    envelope_state pan_envelope;
    envelope_state volume_envelope;
    u8 default_pan;        // 0..255 (written by the loaders)
    u32 period;            // pitch without vibrato, song period units
    i32 period_offset;     // vibrato offset added to period
    u8 instrument_number;  // 1-based; 0 none
    u8 note;               // packed note of the last note started
    effect_slot slots[2];
};

struct module_context;
typedef void (*module_render_hook)(module_context* context);

struct module_context {
    char title[28];     // not terminated when all 28 bytes are used
    i32 channel_count;  // file channels + 1 global column, 2..33
    u32 order_count;    // entries of orders in use
    i32 instrument_count;
    i32 sample_count;  // MOD/S3M: = instrument_count; XM: all instruments' samples
    i32 pattern_count;
    u32 restart_position;      // XM only
    i32 linear_frequencies;    // XM: 1 linear table, 0 Amiga
    i32 st2_tempo;             // S3M flags bit 1
    i32 amiga_slides;          // S3M flags bit 2
    i32 zero_volume_optimise;  // S3M flags bit 3
    i32 amiga_limits;          // S3M flags bit 4
    i32 sfx_filter;            // S3M flags bit 5
    i32 fast_volume_slides;    // S3M flags bit 6
    i32 unsigned_samples;      // S3M: file stores unsigned data (converted on load)
    u8 global_volume;          // 0..64 initial
    u8 current_global_volume;  // 0..64 during playback
    u8 master_volume;          // 0..64 mix volume
    u8 initial_speed;          // ticks per row
    u8 initial_tempo;          // beats per minute
    u16 tracker_version;       // S3M only, bytes swapped
    u8 orders[256];            // pattern numbers; S3M markers 254/255 kept
    module_channel channels[module_max_channels];
    module_instrument* instruments;  // owned [instrument_count]
    module_sample* samples;          // owned [sample_count]
    module_pattern** patterns;       // owned [pattern_count] of owned blocks
    u32* pattern_rows;               // owned [pattern_count]
    // player: output format
    i32 output_rate;      // Hz, 44100 once the output format is set
    i32 output_bits;      // 16
    void* output_buffer;  // caller's buffer for module_render
    i32 output_size;      // bytes in output_buffer
    i32 output_channels;  // 2, interleaved
    i32 output_signed;    // 1
    // player: song position
    i32 pattern_delay;               // extra ticks of the current row
    i32 row;                         // row the next row pass reads
    i32 order;                       // index into orders
    i32 tick;                        // tick within the row, 0 first
    i32 speed;                       // ticks per row
    i32 tempo;                       // BPM, 32..255
    i32 samples_per_tick;            // output frames per tick
    i32 tick_position;               // frames of the current tick rendered
    i32 loop_row;                    // pattern loop target row
    i32 loop_count;                  // remaining pattern loop repetitions
    i32* mix_buffer;                 // owned: one tick at tempo 32, 2 x i32 per frame
    u32 format_id;                   // 1 MOD, 2 S3M, 3 XM; 0 nothing loaded
    i32 playing;                     // 1 once module_start ran
    i32 loaded;                      // 1 after a successful load
    u32 new_note_mask;               // bit c: channel c started a note in the last render
    module_render_hook render_hook;  // called after each module_render when set
};

// One entry of the format table. The table ends with an all-null entry.
struct module_format {
    i32 (*load)(const u8* data, i32 size, module_context* context);
    u32 (*probe)(const u8* data, i32 size);
    u32 (*format_id)();
    const char* (*name)();
    const char* (*author)();
    const char* (*version)();
    const char* (*copyright)();
};

// The formats in recognition order (S3M, XM, MOD), terminated by an all-null entry.
extern const module_format module_formats[];

// Loads a whole file image into a zeroed, empty context. The first format whose
// probe accepts the data loads it; no other is tried after it.
i32 module_load(const u8* data, i32 size, module_context* context);
// Releases the song blocks of a loaded context and resets the channel records,
// which point into them; does nothing when nothing is loaded. The record may
// then be loaded again.
void module_free(module_context* context);

u32 mod_probe(const u8* data, i32 size);
i32 mod_load(const u8* data, i32 size, module_context* context);
u32 s3m_probe(const u8* data, i32 size);
i32 s3m_load(const u8* data, i32 size, module_context* context);
u32 xm_probe(const u8* data, i32 size);
i32 xm_load(const u8* data, i32 size, module_context* context);

// Player. module_start prepares playback of a loaded song, module_set_output_format
// fixes 44100 Hz 16-bit signed stereo, module_render fills output_buffer
// (output_size bytes) and advances the song by exactly that much time.
void module_start(module_context* context);
void module_set_output_format(module_context* context);
void module_render(module_context* context);

// The song's first pass: from the start of playback up to the first row that would be
// read again with the same pattern-loop state (none while no loop runs; the loop's row
// and remaining repetitions while one does), or up to the point where the order list
// runs out and playback wraps to its start.
enum : i32 {
    module_pass_repeats = 1,  // the next row was played before in the same loop state
    module_pass_wraps = 2,    // the order list ran out (a row advance, a break or a jump past its end)
    module_pass_capped = 3,   // module_pass_row_cap rows were read without either
    module_pass_empty = 4,    // no order entry names a playable pattern: no row is ever read
};

// Rows the length pass reads at most: 256 order entries of 1024-row patterns, every
// position an order list can address. A real song's pass is far shorter (an hour at
// speed 6 and tempo 125 is 30000 rows); the cap bounds the work on damaged files.
enum : u32 { module_pass_row_cap = 262144 };

struct module_pass {
    u64 frames;      // output frames at 44100 Hz from the first frame module_render writes after
                     // module_start (the silent lead-in of `initial_speed` ticks included) to the
                     // end of the pass; 0 for an empty song
    u32 rows;        // rows read in the pass, repetitions counted, 0..module_pass_row_cap
    i32 end;         // module_pass_repeats, _wraps, _capped or _empty
    i32 next_order;  // the row the sequencer reads right after the pass: order index...
    i32 next_row;    // ...and row; for a repeat, the row where the song goes on; -1 when empty
};

// Measures the first pass of a loaded song by running the sequencer's row logic and its
// tick arithmetic from the start, without mixing: only the row commands that move the
// song position or change its timing act (position jump, pattern break, pattern loop,
// pattern delay, speed, tempo). Reads the song and nothing of the playback state, which
// it leaves untouched, so it may run before module_start or in the middle of playback.
// Allocates one table of visited rows, grown with the pass, and frees it before returning.
// 0: measured; 1: the pass reached module_pass_row_cap (frames counts the rows read up to
// it); -1: no context, no result record or no song loaded; -2: the table could not be allocated.
i32 module_song_length(const module_context* context, module_pass* pass);

// Moves playback to output frame `frame` of the song's first pass: playback restarts as
// on a freshly loaded song (every channel as the loader left it, then module_start's
// settings) and runs silently up to the frame. Silently means with the sequencer, the
// effects, the envelopes and the voices' sample positions all advanced exactly as
// module_render advances them, only nothing is mixed, so the next module_render gives
// byte for byte what an uninterrupted render from the start gives at that frame.
// A frame beyond the pass is taken as the pass's end. The render hook is not called and
// new_note_mask is cleared. The context must be playing with its output format set.
// 0: done; 1: done at the end of the pass, the frame lay beyond it; -1: no context, or not
// ready to render; -2: the length pass could not allocate its table (playback unchanged).
i32 module_seek(module_context* context, u64 frame);
