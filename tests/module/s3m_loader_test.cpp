#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "module.h"
#include "s3m_writer.h"

namespace {

// A zeroed record that releases whatever a test leaves loaded.
struct loaded_song {
    module_context context;
    loaded_song() { std::memset(&context, 0, sizeof context); }
    ~loaded_song() { module_free(&context); }
    i32 load(const std::vector<uint8_t> &file) {
        return module_load(file.data(), static_cast<i32>(file.size()), &context);
    }
    const module_cell &cell(i32 pattern, u32 row, i32 column) const {
        return context.patterns[pattern][row * context.channel_count + column];
    }
    const module_cell &global(i32 pattern, u32 row) const { return cell(pattern, row, context.channel_count - 1); }
};

void expect_empty_record(const module_context &context) {
    EXPECT_EQ(context.loaded, 0);
    EXPECT_EQ(context.patterns, nullptr);
    EXPECT_EQ(context.instruments, nullptr);
    EXPECT_EQ(context.samples, nullptr);
    EXPECT_EQ(context.pattern_rows, nullptr);
}

void expect_untouched(const module_cell &cell) {
    EXPECT_EQ(cell.instrument, 0xffffffffu);
    EXPECT_EQ(cell.note, 255);
    EXPECT_EQ(cell.volume, 255);
    EXPECT_EQ(cell.effects[0], 65535);
    EXPECT_EQ(cell.effects[1], 65535);
}

s3m_sample sample_of(std::vector<uint8_t> data, uint8_t flags = 0) {
    s3m_sample sample;
    sample.data = std::move(data);
    sample.flags = flags;
    return sample;
}

std::vector<uint8_t> bytes_counting(size_t count, uint8_t first = 0) {
    std::vector<uint8_t> values(count);
    for (size_t i = 0; i < count; ++i) values[i] = static_cast<uint8_t>(first + i);
    return values;
}

TEST(S3mProbe, WantsScrmAtOffset44InAtLeast48Bytes) {
    std::vector<uint8_t> file = write_s3m(s3m_song{});
    EXPECT_EQ(s3m_probe(file.data(), static_cast<i32>(file.size())), 1u);
    EXPECT_EQ(s3m_probe(file.data(), 48), 1u);
    EXPECT_EQ(s3m_probe(file.data(), 47), 0u);
    EXPECT_EQ(s3m_probe(nullptr, 100), 0u);
    file[47] = 'N';
    EXPECT_EQ(s3m_probe(file.data(), static_cast<i32>(file.size())), 0u);
}

TEST(S3mLoader, RefusesNullArgumentsAndBadTypeByte) {
    std::vector<uint8_t> file = write_s3m(s3m_song{});
    module_context context;
    std::memset(&context, 0, sizeof context);
    EXPECT_EQ(s3m_load(nullptr, 100, &context), -1);
    EXPECT_EQ(s3m_load(file.data(), static_cast<i32>(file.size()), nullptr), -1);
    EXPECT_EQ(s3m_load(file.data(), 47, &context), -1);

    // The S3M entry accepts the signature and then refuses the type byte: the load
    // fails as a whole even with the file large enough for a MOD.
    s3m_song song;
    song.type = 17;
    file = write_s3m(song);
    file.resize(2000, 0);
    ASSERT_EQ(s3m_probe(file.data(), static_cast<i32>(file.size())), 1u);
    loaded_song loaded;
    EXPECT_EQ(loaded.load(file), -1);
    expect_empty_record(loaded.context);
    EXPECT_EQ(loaded.context.format_id, 0u);
}

TEST(S3mLoader, ReadsHeaderFields) {
    s3m_song song;
    song.title = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01";  // all 28 bytes, no terminator
    song.tracker_version = 0x1320;              // stored 0x20, 0x13
    song.global_volume = 48;
    song.initial_speed = 3;
    song.initial_tempo = 150;
    song.orders = {0, 254, 0, 255};
    song.patterns.resize(1);
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    const module_context &context = loaded.context;
    EXPECT_EQ(std::memcmp(context.title, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01", 28), 0);
    EXPECT_EQ(context.tracker_version, 0x2013);
    EXPECT_EQ(context.global_volume, 48);
    EXPECT_EQ(context.initial_speed, 3);
    EXPECT_EQ(context.initial_tempo, 150);
    EXPECT_EQ(context.unsigned_samples, 1);
    ASSERT_EQ(context.order_count, 4u);
    EXPECT_EQ(context.orders[1], 254);
    EXPECT_EQ(context.orders[3], 255);
    EXPECT_EQ(context.orders[4], 0);
    EXPECT_EQ(context.restart_position, 0u);
    EXPECT_EQ(context.linear_frequencies, 0);

    for (uint16_t signed_format : {0, 1, 3}) {
        song.sample_format = signed_format;
        loaded_song signed_song;
        ASSERT_EQ(signed_song.load(write_s3m(song)), 0);
        EXPECT_EQ(signed_song.context.unsigned_samples, 0) << signed_format;
    }
}

TEST(S3mLoader, EachFlagBitSetsItsOwnField) {
    struct flag_field {
        int bit;
        i32 module_context::*field;
    };
    const flag_field fields[] = {
        {1, &module_context::st2_tempo},          {2, &module_context::amiga_slides},
        {3, &module_context::zero_volume_optimise}, {4, &module_context::amiga_limits},
        {5, &module_context::sfx_filter},         {6, &module_context::fast_volume_slides},
    };
    for (const flag_field &tested : fields) {
        s3m_song song;
        song.flags = static_cast<uint8_t>((1 << tested.bit) | 0x81);  // bits 0 and 7 mean nothing here
        loaded_song loaded;
        ASSERT_EQ(loaded.load(write_s3m(song)), 0);
        for (const flag_field &field : fields)
            EXPECT_EQ(loaded.context.*field.field, field.bit == tested.bit ? 1 : 0) << tested.bit << " " << field.bit;
    }
}

TEST(S3mLoader, MapsEnabledChannelsToConsecutiveColumns) {
    s3m_song song;
    song.channel_settings.fill(255);
    song.channel_settings[0] = 0;
    song.channel_settings[1] = 1;
    song.channel_settings[3] = 16;  // AdLib melody channel: not played
    song.channel_settings[8] = 8;
    song.channel_settings[9] = 9;
    song.patterns[0].rows = {{{.channel = 8, .note = s3m_note(4, 0), .instrument = 1},
                              {.channel = 9, .volume = 33},
                              {.channel = 1, .note = s3m_note(5, 11), .instrument = 2}}};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    const module_context &context = loaded.context;
    ASSERT_EQ(context.channel_count, 5);
    const u8 pans[] = {86, 86, 167, 167, 0};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(context.channels[c].enabled, 1) << c;
        EXPECT_EQ(context.channels[c].default_pan, pans[c]) << c;
    }
    for (int c = 5; c < module_max_channels; ++c) EXPECT_EQ(context.channels[c].enabled, 0) << c;
    EXPECT_EQ(loaded.cell(0, 0, 2).note, 0x40);
    EXPECT_EQ(loaded.cell(0, 0, 2).instrument, 1u);
    EXPECT_EQ(loaded.cell(0, 0, 3).volume, 33);
    EXPECT_EQ(loaded.cell(0, 0, 1).note, 0x5b);
    expect_untouched(loaded.cell(0, 0, 0));
    expect_untouched(loaded.cell(0, 1, 2));

    s3m_song silent;
    silent.channel_settings.fill(255);
    loaded_song no_channels;
    ASSERT_EQ(no_channels.load(write_s3m(silent)), 0);
    EXPECT_EQ(no_channels.context.channel_count, 1);
    EXPECT_EQ(no_channels.context.channels[0].enabled, 1);
}

TEST(S3mLoader, SkipsDisabledChannelsByteExactly) {
    // Channel 4 is disabled by the default settings; its entries must be stepped
    // over exactly, whatever mix of parts they carry. Each ends in a zero byte,
    // so reading one byte too few ends the row early and one too many eats the
    // next entry's header: both move the following entry.
    const int disabled = 4;
    s3m_song song;
    song.patterns[0].rows = {
        {{.channel = disabled, .note = 0x40, .instrument = 1, .volume = 10, .command = 1, .param = 0},
         {.channel = 0, .note = 0x31, .instrument = 3}},
        {{.channel = disabled, .note = 0x40, .instrument = 0}, {.channel = 1, .volume = 7}},
        {{.channel = disabled, .volume = 0}, {.channel = 2, .command = s3m_command('A'), .param = 9}},
        {{.channel = disabled, .command = s3m_command('B'), .param = 0}, {.channel = 3, .volume = 64}},
    };
    song.patterns[0].rows.resize(64);
    song.patterns[0].rows[63] = {{.channel = disabled, .note = 1, .instrument = 1, .volume = 0},
                                 {.channel = 0, .volume = 5}};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    EXPECT_EQ(loaded.cell(0, 0, 0).note, 0x31);
    EXPECT_EQ(loaded.cell(0, 0, 0).instrument, 3u);
    EXPECT_EQ(loaded.cell(0, 0, 0).effects[0], 65535);
    EXPECT_EQ(loaded.cell(0, 1, 1).volume, 7);
    EXPECT_EQ(loaded.cell(0, 2, 2).effects[0], fx_s3m_speed);
    EXPECT_EQ(loaded.cell(0, 2, 2).params[0], 9);
    EXPECT_EQ(loaded.cell(0, 3, 3).volume, 64);
    expect_untouched(loaded.global(0, 3));  // the disabled channel's jump is dropped with it
    EXPECT_EQ(loaded.cell(0, 63, 0).volume, 5);
}

TEST(S3mLoader, TranslatesEveryCommand) {
    struct translation {
        int command;
        uint8_t param;
        u16 code;
        u8 code_param;
        int global_code;  // -1: the global column stays untouched
        u8 global_param;
    };
    const translation table[] = {
        {0, 0x12, fx_none, 0x12, -1, 0},
        {s3m_command('A'), 0x05, fx_s3m_speed, 0x05, -1, 0},
        {s3m_command('B'), 0x03, fx_none, 0, fx_position_jump, 0x03},
        {s3m_command('C'), 0x10, fx_none, 0, fx_pattern_break, 0x10},  // no decimal conversion
        {s3m_command('D'), 0x0f, fx_s3m_volume_slide, 0x0f, -1, 0},
        {s3m_command('E'), 0xf2, fx_s3m_porta_down, 0xf2, -1, 0},
        {s3m_command('F'), 0xe3, fx_s3m_porta_up, 0xe3, -1, 0},
        {s3m_command('G'), 0x20, fx_tone_porta, 0x20, -1, 0},
        {s3m_command('H'), 0x46, fx_vibrato, 0x46, -1, 0},
        {s3m_command('I'), 0x11, fx_none, 0x11, -1, 0},
        {s3m_command('J'), 0x37, fx_arpeggio, 0x37, -1, 0},
        {s3m_command('K'), 0x01, fx_s3m_vibrato_volume_slide, 0x01, -1, 0},
        {s3m_command('L'), 0x10, fx_s3m_tone_porta_volume_slide, 0x10, -1, 0},
        {s3m_command('M'), 0x22, fx_none, 0x22, -1, 0},
        {s3m_command('N'), 0x23, fx_none, 0x23, -1, 0},
        {s3m_command('O'), 0x80, fx_sample_offset, 0x80, -1, 0},
        {s3m_command('P'), 0x24, fx_none, 0x24, -1, 0},
        {s3m_command('Q'), 0x83, fx_s3m_retrigger, 0x83, -1, 0},
        {s3m_command('R'), 0x44, fx_s3m_tremolo, 0x44, -1, 0},
        {s3m_command('S'), 0x07, fx_none, 0x07, -1, 0},
        {s3m_command('S'), 0x1f, fx_none, 0x1f, -1, 0},
        {s3m_command('S'), 0x2a, fx_set_finetune, 0x0a, -1, 0},
        {s3m_command('S'), 0x31, fx_vibrato_waveform, 0x01, -1, 0},
        {s3m_command('S'), 0x42, fx_tremolo_waveform, 0x02, -1, 0},
        {s3m_command('S'), 0x5a, fx_none, 0x5a, -1, 0},
        {s3m_command('S'), 0x61, fx_none, 0x61, -1, 0},
        {s3m_command('S'), 0x73, fx_none, 0x73, -1, 0},
        {s3m_command('S'), 0x8c, fx_coarse_pan, 0x0c, -1, 0},
        {s3m_command('S'), 0x91, fx_none, 0x91, -1, 0},
        {s3m_command('S'), 0xa4, fx_none, 0xa4, -1, 0},
        {s3m_command('S'), 0xb3, fx_none, 0, fx_pattern_loop, 0x03},
        {s3m_command('S'), 0xc5, fx_note_cut, 0x05, -1, 0},
        {s3m_command('S'), 0xd2, fx_note_delay, 0x02, -1, 0},
        {s3m_command('S'), 0xe4, fx_none, 0, fx_pattern_delay, 0x04},
        {s3m_command('S'), 0xf1, fx_none, 0xf1, -1, 0},
        {s3m_command('T'), 0x7d, fx_s3m_tempo, 0x7d, -1, 0},
        {s3m_command('U'), 0x25, fx_none, 0x25, -1, 0},
        {s3m_command('V'), 0x30, fx_set_global_volume, 0x30, -1, 0},
        {s3m_command('W'), 0x26, fx_none, 0x26, -1, 0},
        {s3m_command('Z'), 0x27, fx_none, 0x27, -1, 0},
        {200, 0x28, fx_none, 0x28, -1, 0},
        {255, 0x29, fx_none, 0x29, -1, 0},
    };
    s3m_song song;
    for (const translation &entry : table)
        song.patterns[0].rows.push_back({{.channel = 1, .command = entry.command, .param = entry.param}});
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    for (u32 row = 0; row < std::size(table); ++row) {
        const translation &entry = table[row];
        const module_cell &cell = loaded.cell(0, row, 1);
        EXPECT_EQ(cell.effects[0], entry.code) << "row " << row;
        EXPECT_EQ(cell.params[0], entry.code_param) << "row " << row;
        EXPECT_EQ(cell.effects[1], 65535) << "row " << row;  // slot 1 is never written
        const module_cell &global = loaded.global(0, row);
        if (entry.global_code < 0) {
            expect_untouched(global);
        } else {
            EXPECT_EQ(global.effects[0], entry.global_code) << "row " << row;
            EXPECT_EQ(global.params[0], entry.global_param) << "row " << row;
            EXPECT_EQ(global.note, 255);
        }
    }
}

TEST(S3mLoader, LaterRowCommandOverwritesTheGlobalColumn) {
    s3m_song song;
    song.patterns[0].rows = {{{.channel = 3, .command = s3m_command('C'), .param = 0x20},
                              {.channel = 0, .command = s3m_command('B'), .param = 0x02}}};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    // Stream order decides, not the channel number.
    EXPECT_EQ(loaded.global(0, 0).effects[0], fx_position_jump);
    EXPECT_EQ(loaded.global(0, 0).params[0], 0x02);
    EXPECT_EQ(loaded.cell(0, 0, 3).effects[0], fx_none);
    EXPECT_EQ(loaded.cell(0, 0, 3).params[0], 0);
}

TEST(S3mLoader, SampleHeaderFillsSampleAndInstrument) {
    s3m_song song;
    song.sample_format = 1;
    s3m_sample looped = sample_of(bytes_counting(100), 1);
    looped.loop_start = 10;
    looped.loop_end = 90;
    looped.volume = 40;
    looped.c2spd = 22050;
    looped.name = "0123456789abcdefghijklmnopqr";  // 28 bytes
    s3m_sample plain = sample_of(bytes_counting(20));
    plain.loop_start = 3;  // ignored without the loop flag
    plain.loop_end = 9;
    song.samples = {looped, plain};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    const module_context &context = loaded.context;
    ASSERT_EQ(context.instrument_count, 2);
    ASSERT_EQ(context.sample_count, 2);

    const module_sample &first = context.samples[0];
    EXPECT_EQ(first.length, 100u);
    EXPECT_EQ(first.looped, 1);
    EXPECT_EQ(first.loop_start, 10u);
    EXPECT_EQ(first.loop_end, 90u);
    EXPECT_EQ(first.ping_pong, 0);
    EXPECT_EQ(first.volume, 40);
    EXPECT_EQ(first.default_c_rate, 22050u);
    EXPECT_EQ(first.c_rate, 22050u);
    EXPECT_EQ(first.panning, 255);
    EXPECT_EQ(first.is_16bit, 0);
    EXPECT_EQ(first.name[0], 0);  // S3M names belong to the instrument
    ASSERT_NE(first.data, nullptr);
    EXPECT_EQ(static_cast<const i8 *>(first.data)[99], 99);  // signed file: bytes as stored

    const module_sample &second = context.samples[1];
    EXPECT_EQ(second.looped, 0);
    EXPECT_EQ(second.loop_start, 19u);
    EXPECT_EQ(second.loop_end, 19u);

    const module_instrument &instrument = context.instruments[0];
    EXPECT_EQ(std::memcmp(instrument.name, "0123456789abcdefghijklmnopqr", 28), 0);
    EXPECT_EQ(instrument.fadeout, 32767);
    EXPECT_EQ(instrument.volume_envelope.enabled, 0);
    EXPECT_EQ(instrument.panning_envelope.enabled, 0);
    EXPECT_EQ(instrument.volume_envelope.points, nullptr);
    for (int note = 0; note < 256; ++note) {
        EXPECT_EQ(instrument.note_samples[note], &context.samples[0]) << note;
        EXPECT_EQ(instrument.note_map[note], note);
    }
    EXPECT_EQ(context.instruments[1].note_samples[200], &context.samples[1]);
}

TEST(S3mLoader, ConvertsUnsignedSamplesToSigned) {
    for (bool unsigned_storage : {false, true}) {
        s3m_song song;
        song.sample_format = unsigned_storage ? 2 : 1;
        const std::vector<int8_t> pcm8 = {0, -128, 127, -1, 1};
        const std::vector<int16_t> pcm16 = {0, -32768, 32767, -1, 256};
        song.samples = {sample_of(s3m_pcm8(pcm8, unsigned_storage)),
                        sample_of(s3m_pcm16(pcm16, unsigned_storage), 4)};
        loaded_song loaded;
        ASSERT_EQ(loaded.load(write_s3m(song)), 0);
        const module_sample &bytes = loaded.context.samples[0];
        const module_sample &words = loaded.context.samples[1];
        ASSERT_EQ(bytes.length, 5u);
        ASSERT_EQ(words.length, 5u);
        EXPECT_EQ(words.is_16bit, 1);
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(static_cast<const i8 *>(bytes.data)[i], pcm8[i]) << i;
            EXPECT_EQ(static_cast<const i16 *>(words.data)[i], pcm16[i]) << i;
        }
    }
    // The stored midpoints in unsigned files are silence.
    s3m_song song;
    song.samples = {sample_of({0x80}), sample_of({0x00, 0x80}, 4)};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    EXPECT_EQ(static_cast<const i8 *>(loaded.context.samples[0].data)[0], 0);
    EXPECT_EQ(static_cast<const i16 *>(loaded.context.samples[1].data)[0], 0);
}

TEST(S3mLoader, StereoSamplesKeepOnlyTheLeftChannel) {
    s3m_song song;
    song.sample_format = 1;
    std::vector<uint8_t> stereo8 = bytes_counting(100, 1);
    std::vector<uint8_t> right(100, 0x55);
    stereo8.insert(stereo8.end(), right.begin(), right.end());
    std::vector<uint8_t> stereo16 = s3m_pcm16({1000, -1000, 7}, false);
    std::vector<uint8_t> right16 = s3m_pcm16({9, 9, 9}, false);
    stereo16.insert(stereo16.end(), right16.begin(), right16.end());
    song.samples = {sample_of(stereo8, 2), sample_of(stereo16, 2 | 4)};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);

    const module_sample &bytes = loaded.context.samples[0];
    EXPECT_EQ(bytes.is_stereo, 1);
    ASSERT_EQ(bytes.length, 100u);
    const u8 *block = static_cast<const u8 *>(bytes.data);
    for (size_t i = 0; i < 100; ++i) EXPECT_EQ(block[i], i + 1) << i;
    // A 200-byte block whose second half stays zero (reading it is in bounds under ASan).
    for (size_t i = 100; i < 200; ++i) EXPECT_EQ(block[i], 0) << i;

    const module_sample &words = loaded.context.samples[1];
    EXPECT_EQ(words.is_stereo, 1);
    ASSERT_EQ(words.length, 3u);
    const i16 *values = static_cast<const i16 *>(words.data);
    EXPECT_EQ(values[0], 1000);
    EXPECT_EQ(values[1], -1000);
    EXPECT_EQ(values[2], 7);
}

TEST(S3mLoader, SlotsWithoutSampleStayEmpty) {
    s3m_sample adlib;
    adlib.type = 2;
    adlib.signature = "SCRI";
    adlib.name = "organ";
    s3m_sample empty;
    empty.type = 0;
    empty.signature = "";
    s3m_song song;
    song.samples = {empty, adlib, sample_of({1, 2, 3}), empty};
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    // A zero parapointer names no header at all.
    file[layout.sample_pointers + 6] = 0;
    file[layout.sample_pointers + 7] = 0;
    loaded_song loaded;
    ASSERT_EQ(loaded.load(file), 0);
    ASSERT_EQ(loaded.context.instrument_count, 4);
    for (int slot : {0, 1, 3}) {
        const module_instrument &instrument = loaded.context.instruments[slot];
        const module_sample &sample = loaded.context.samples[slot];
        for (const module_sample *entry : instrument.note_samples) EXPECT_EQ(entry, nullptr) << slot;
        EXPECT_EQ(instrument.fadeout, 32767) << slot;
        EXPECT_EQ(instrument.volume_envelope.enabled, 0);
        EXPECT_EQ(instrument.panning_envelope.enabled, 0);
        EXPECT_EQ(instrument.name[0], 0) << slot;
        EXPECT_EQ(instrument.note_map[0x4b], 0x4b);
        EXPECT_EQ(sample.length, 0u) << slot;
        EXPECT_EQ(sample.data, nullptr) << slot;
        // Shaped like any sample of length 0 without loop.
        EXPECT_EQ(sample.looped, 0);
        EXPECT_EQ(sample.loop_start, 0xffffffffu);
        EXPECT_EQ(sample.loop_end, 0xffffffffu);
        EXPECT_EQ(sample.panning, 255);
    }
    EXPECT_EQ(loaded.context.samples[2].length, 3u);
}

TEST(S3mLoader, BrokenSampleHeadersAreRefused) {
    s3m_song song;
    song.samples = {sample_of({1, 2, 3}), sample_of({4, 5})};
    song.samples[1].signature = "SCRI";
    loaded_song wrong_signature;
    EXPECT_EQ(wrong_signature.load(write_s3m(song)), -1);
    expect_empty_record(wrong_signature.context);

    song.samples[1].signature = "SCRS";
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    file[layout.sample_pointers + 3] = 0xf0;  // second header far past the end
    loaded_song header_missing;
    EXPECT_EQ(header_missing.load(file), -1);
    expect_empty_record(header_missing.context);

    // A header cut inside itself lacks its signature.
    file = write_s3m(song, &layout);
    file.resize(layout.sample_headers[1] + 60);
    loaded_song header_cut;
    EXPECT_EQ(header_cut.load(file), -1);
}

TEST(S3mLoader, ShortSampleDataShortensTheSample) {
    s3m_song song;
    song.sample_format = 1;
    s3m_sample sample = sample_of(bytes_counting(100), 1);
    sample.loop_start = 10;
    sample.loop_end = 90;
    song.samples = {sample};
    s3m_layout layout;
    const std::vector<uint8_t> full = write_s3m(song, &layout);
    const size_t data = layout.sample_data[0];
    ASSERT_EQ(full.size(), data + 100);

    struct cut_case {
        size_t bytes_present;
        u32 length;
        i32 looped;
        u32 loop_start;
        u32 loop_end;
    };
    const cut_case cases[] = {
        {60, 60, 1, 10, 60},                  // loop cut at the new end
        {11, 11, 1, 10, 11},                  // one looped frame left
        {10, 10, 0, 9, 9},                    // the loop would start at the end: dropped
        {0, 0, 0, 0xffffffffu, 0xffffffffu},  // nothing left: no data block
    };
    for (const cut_case &expected : cases) {
        std::vector<uint8_t> file(full.begin(), full.begin() + data + expected.bytes_present);
        loaded_song loaded;
        ASSERT_EQ(loaded.load(file), 0) << expected.bytes_present;
        const module_sample &loaded_sample = loaded.context.samples[0];
        EXPECT_EQ(loaded_sample.length, expected.length);
        EXPECT_EQ(loaded_sample.looped, expected.looped) << expected.bytes_present;
        EXPECT_EQ(loaded_sample.loop_start, expected.loop_start) << expected.bytes_present;
        EXPECT_EQ(loaded_sample.loop_end, expected.loop_end) << expected.bytes_present;
        EXPECT_EQ(loaded_sample.data == nullptr, expected.length == 0);
        if (expected.length) {
            EXPECT_EQ(static_cast<const u8 *>(loaded_sample.data)[expected.length - 1], expected.length - 1);
        }
    }

    // An odd byte count of 16-bit data keeps the whole words only.
    s3m_song words;
    words.samples = {sample_of(s3m_pcm16({1, 2, 3, 4}, true), 4)};
    std::vector<uint8_t> file = write_s3m(words, &layout);
    file.resize(layout.sample_data[0] + 5);
    loaded_song loaded;
    ASSERT_EQ(loaded.load(file), 0);
    ASSERT_EQ(loaded.context.samples[0].length, 2u);
    EXPECT_EQ(static_cast<const i16 *>(loaded.context.samples[0].data)[1], 2);

    // A stereo sample cut inside its right channel still has its whole left one.
    s3m_song stereo;
    stereo.samples = {sample_of(bytes_counting(200), 2)};
    file = write_s3m(stereo, &layout);
    file.resize(layout.sample_data[0] + 150);
    loaded_song stereo_loaded;
    ASSERT_EQ(stereo_loaded.load(file), 0);
    EXPECT_EQ(stereo_loaded.context.samples[0].length, 100u);
}

TEST(S3mLoader, SampleDataOffsetPastTheEndLeavesNoData) {
    s3m_song song;
    song.samples = {sample_of(bytes_counting(16), 1)};
    song.samples[0].loop_end = 16;
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    file[layout.sample_headers[0] + 13] = 0xff;  // segment high byte: far past the end
    loaded_song loaded;
    ASSERT_EQ(loaded.load(file), 0);
    const module_sample &sample = loaded.context.samples[0];
    EXPECT_EQ(sample.length, 0u);
    EXPECT_EQ(sample.data, nullptr);
    EXPECT_EQ(sample.looped, 0);
    EXPECT_EQ(sample.loop_start, 0xffffffffu);
}

TEST(S3mLoader, SlotsSharingOneDataAreaReadNoMoreThanTheFile) {
    s3m_song song;
    song.samples.resize(3);
    song.samples[0] = sample_of(std::vector<uint8_t>(3000, 7));
    for (int slot : {1, 2}) song.samples[slot].length = 3000;  // no data of their own
    s3m_layout layout;
    std::vector<uint8_t> file = write_s3m(song, &layout);
    for (int slot : {1, 2})
        for (size_t segment = 13; segment < 16; ++segment)
            file[layout.sample_headers[slot] + segment] = file[layout.sample_headers[0] + segment];
    loaded_song loaded;
    ASSERT_EQ(loaded.load(file), 0);
    const module_sample *samples = loaded.context.samples;
    EXPECT_EQ(samples[0].length, 3000u);
    const size_t rest = file.size() - 3000;
    EXPECT_EQ(samples[1].length, rest);
    EXPECT_EQ(samples[2].length, 0u);
    EXPECT_EQ(samples[2].data, nullptr);
    EXPECT_EQ(static_cast<const u8 *>(samples[1].data)[rest - 1], 7 ^ 0x80);
}

TEST(S3mLoader, LoopsOutsideTheDataAreMended) {
    s3m_song song;
    s3m_sample past_end = sample_of(bytes_counting(50), 1);
    past_end.loop_start = 20;
    past_end.loop_end = 80;
    s3m_sample backwards = sample_of(bytes_counting(50), 1);
    backwards.loop_start = 30;
    backwards.loop_end = 30;
    s3m_sample exact = sample_of(bytes_counting(50), 1);
    exact.loop_start = 0;
    exact.loop_end = 50;
    song.samples = {past_end, backwards, exact};
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    const module_sample *samples = loaded.context.samples;
    EXPECT_EQ(samples[0].looped, 1);
    EXPECT_EQ(samples[0].loop_end, 50u);
    EXPECT_EQ(samples[1].looped, 0);
    EXPECT_EQ(samples[1].loop_start, 49u);
    EXPECT_EQ(samples[1].loop_end, 49u);
    EXPECT_EQ(samples[2].looped, 1);
    EXPECT_EQ(samples[2].loop_start, 0u);
    EXPECT_EQ(samples[2].loop_end, 50u);
}

TEST(S3mLoader, CountsBeyondWhatBytesCanNameAreCut) {
    s3m_song song;
    song.orders.assign(300, 0);
    song.orders[255] = 7;
    song.orders[256] = 9;
    song.patterns.resize(260);
    song.patterns[255].rows = {{{.channel = 0, .note = 0x22, .instrument = 1}}};
    song.samples.assign(258, sample_of({1}));
    song.samples[254] = sample_of({1, 2, 3, 4});
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    const module_context &context = loaded.context;
    EXPECT_EQ(context.order_count, 256u);
    EXPECT_EQ(context.orders[255], 7);
    ASSERT_EQ(context.pattern_count, 256);
    EXPECT_EQ(loaded.cell(255, 0, 0).note, 0x22);  // tables past the cut orders are still found
    ASSERT_EQ(context.instrument_count, 255);
    EXPECT_EQ(context.sample_count, 255);
    EXPECT_EQ(context.samples[254].length, 4u);
}

TEST(S3mLoader, EmptyTablesLoad) {
    s3m_song song;
    song.orders.clear();
    song.patterns.clear();
    loaded_song loaded;
    ASSERT_EQ(loaded.load(write_s3m(song)), 0);
    EXPECT_EQ(loaded.context.order_count, 0u);
    EXPECT_EQ(loaded.context.pattern_count, 0);
    EXPECT_EQ(loaded.context.instrument_count, 0);
}

TEST(S3mLoader, PatternParapointers) {
    s3m_song song;
    song.patterns.resize(2);
    song.patterns[0].rows = {{{.channel = 0, .volume = 12}}};
    song.patterns[1].rows = {{{.channel = 0, .volume = 13}}};
    s3m_layout layout;
    const std::vector<uint8_t> file = write_s3m(song, &layout);

    // Zero: the pattern was left empty, it is not the header read as pattern data.
    std::vector<uint8_t> zero = file;
    zero[layout.pattern_pointers] = 0;
    zero[layout.pattern_pointers + 1] = 0;
    loaded_song empty;
    ASSERT_EQ(empty.load(zero), 0);
    for (int column = 0; column < empty.context.channel_count; ++column) expect_untouched(empty.cell(0, 0, column));
    EXPECT_EQ(empty.cell(1, 0, 0).volume, 13);

    std::vector<uint8_t> past_end = file;
    past_end[layout.pattern_pointers + 3] = 0xff;
    loaded_song missing;
    EXPECT_EQ(missing.load(past_end), -1);
    expect_empty_record(missing.context);
}

TEST(S3mLoader, MalformedPatternStreamsAreRefused) {
    std::vector<uint8_t> sixty_three_rows(63, 0);
    std::vector<uint8_t> cut_entry(63, 0);
    cut_entry.insert(cut_entry.end(), {0xe0, 0x40, 0x01, 0x20});  // note, instrument, volume, then nothing
    for (const std::vector<uint8_t> &stream : {sixty_three_rows, cut_entry}) {
        // Without samples the pattern is the last thing in the file, so its stream runs into the end.
        s3m_song song;
        song.patterns[0].raw = stream;
        loaded_song loaded;
        EXPECT_EQ(loaded.load(write_s3m(song)), -1);
        expect_empty_record(loaded.context);
    }
}

// Every prefix of a complete song: cut anywhere before the end of the last
// pattern it is malformed, cut inside the sample data it still loads.
TEST(S3mLoader, EveryTruncationIsClean) {
    s3m_song song;
    song.title = "cut";
    song.orders = {0, 1};
    song.patterns.resize(2);
    song.patterns[0].rows = {{{.channel = 0, .note = 0x40, .instrument = 1, .volume = 30, .command = 1, .param = 4}}};
    song.patterns[1].rows = {{}, {{.channel = 2, .command = s3m_command('C'), .param = 0}}};
    song.samples = {sample_of(bytes_counting(40), 1), sample_of(s3m_pcm16({5, 6, 7}, true), 4)};
    song.samples[0].loop_start = 4;
    song.samples[0].loop_end = 40;
    s3m_layout layout;
    const std::vector<uint8_t> full = write_s3m(song, &layout);
    // The packed-length word counts itself and the stream.
    size_t last_pattern = layout.pattern_data.back();
    size_t patterns_end = last_pattern + (full[last_pattern] | full[last_pattern + 1] << 8);
    ASSERT_LT(patterns_end, layout.sample_data[0]);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        std::vector<uint8_t> file(full.begin(), full.begin() + cut);
        loaded_song loaded;
        i32 result = cut ? loaded.load(file) : module_load(full.data(), 0, &loaded.context);
        EXPECT_EQ(result, cut >= patterns_end ? 0 : -1) << cut;
        if (result) expect_empty_record(loaded.context);
    }
}

// Every byte of the header and tables flipped in turn: whatever it means, the
// load ends cleanly (the sanitizer build checks the memory side).
TEST(S3mLoader, CorruptedHeaderBytesLoadCleanly) {
    s3m_song song;
    song.patterns.resize(2);
    song.patterns[1].rows = {{{.channel = 1, .note = 0x50, .instrument = 2, .volume = 3, .command = 19, .param = 0xb1}}};
    song.samples = {sample_of(bytes_counting(30), 1), sample_of(bytes_counting(8), 2)};
    s3m_layout layout;
    const std::vector<uint8_t> full = write_s3m(song, &layout);
    for (size_t offset = 0; offset < layout.sample_data[0]; ++offset) {
        for (uint8_t value : {0x00, 0xff, 0x81}) {
            std::vector<uint8_t> file = full;
            file[offset] = value;
            loaded_song loaded;
            i32 result = loaded.load(file);
            EXPECT_TRUE(result == 0 || result == -1) << offset;
            if (result) expect_empty_record(loaded.context);
        }
    }
}

}  // namespace
