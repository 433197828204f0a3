// RIFF WAVE parsing and rewriting on bytes in memory.
#include <gtest/gtest.h>

#include <tuple>

#include "host/exceptions.h"
#include "host/records.h"
#include "minihost/host/riff_wave.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"

namespace {

using namespace test_support;
using minihost::info_tag;
using minihost::memory_source;
using minihost::parse_wave;
using minihost::wave_file;

const wave_shape stereo16;           // 16-bit stereo, 4 bytes a frame
const bytes_t ten_frames(40, 0x11);  // of stereo16
const bytes_t fmt16 = chunk("fmt ", fmt_payload(stereo16));

wave_file parse(const bytes_t& bytes) {
    memory_source source(bytes.data(), bytes.size());
    return parse_wave(source);
}

class vector_sink final : public minihost::byte_sink {
public:
    void write(const void* data, size_t size) override {
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    }
    bytes_t bytes;
};

bytes_t rewrite(const bytes_t& bytes, const std::vector<info_tag>& tags) {
    memory_source source(bytes.data(), bytes.size());
    const wave_file parsed = parse_wave(source);
    vector_sink sink;
    abort_callback_dummy abort;
    minihost::write_wave_with_tags(source, parsed, tags, sink, abort);
    return sink.bytes;
}

TEST(RiffWave, RefusesWhatIsNoWaveFileOrNoEncodingItDecodes) {
    bytes_t extensible_short = fmt_payload({.extensible = true});
    extensible_short.resize(18);
    bytes_t unknown_subformat = fmt_payload({.extensible = true});
    unknown_subformat[30] = 0x11;
    bytes_t avi = riff({fmt16, chunk("data", ten_frames)});
    std::memcpy(avi.data() + 8, "AVI ", 4);
    const auto file_of = [](const bytes_t& fmt) { return riff({chunk("fmt ", fmt), chunk("data", ten_frames)}); };

    const std::tuple<const char*, bytes_t, const char*> cases[] = {
        {"an AVI form", avi, "Unsupported file format"},
        {"no fmt chunk", riff({chunk("data", ten_frames)}), "Corrupted WAV file: no fmt chunk"},
        {"no data chunk", riff({fmt16}), "Corrupted WAV file: no data chunk"},
        {"fmt of 14 bytes", file_of(bytes_t(fmt16.begin() + 8, fmt16.begin() + 22)),
         "Corrupted WAV file: the fmt chunk holds 14 bytes"},
        {"ADPCM", file_of(fmt_payload({.format = 2})), "Unsupported WAV encoding: format 0x0002"},
        {"9 channels", file_of(fmt_payload({.channels = 9})), "Unsupported WAV encoding: 9 channels"},
        {"0 channels", file_of(fmt_payload({.channels = 0})), "Unsupported WAV encoding: 0 channels"},
        {"0 Hz", file_of(fmt_payload({.rate = 0})), "Corrupted WAV file: a sample rate of 0 Hz"},
        {"40-bit integers", file_of(fmt_payload({.bits = 40})), "Unsupported WAV encoding: 40-bit integer samples"},
        {"extensible cut short", file_of(extensible_short),
         "Corrupted WAV file: the extensible fmt chunk is cut short"},
        {"extensible of another sub-format", file_of(unknown_subformat),
         "Unsupported WAV encoding: an unknown sub-format"}};
    for (const auto& [name, bytes, failure] : cases) EXPECT_EQ(failure_text([&] { parse(bytes); }), failure) << name;

    // The frame size a header states must be that of its channels and samples.
    bytes_t lying = fmt_payload(stereo16);
    lying[12] = 3;
    EXPECT_EQ(failure_text([&] { parse(file_of(lying)); }),
              "Corrupted WAV file: frames of 3 bytes for 2 channels of 2 bytes");
    // Files that are no WAV file at all fail as the host's unsupported format, whatever the text.
    EXPECT_THROW(parse(avi), velmora_io::exception_io_unsupported_format);
}

TEST(RiffWave, PlaysWhatAFileHoldsWhateverItsSizesSay) {
    const bytes_t odd_chunk = chunk("junk", bytes_t(3, 'j'));
    const bytes_t odd_unpadded = chunk("junk", bytes_t(3, 'j'), false);
    bytes_t odd_bad_pad = odd_chunk;
    odd_bad_pad.back() = 0x7F;  // a pad byte that is no zero, yet the next chunk starts after it
    bytes_t huge_entry = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 0x00, 0xFF, 0xFF, 0xFF, 'C', 'u', 't'};
    bytes_t longer_fmt = fmt_payload(stereo16);
    longer_fmt.resize(longer_fmt.size() + 8, 0xEE);
    const std::tuple<const char*, bytes_t, uint64_t, std::vector<std::string>> cases[] = {
        {"data size of a stream (all ones)", riff({fmt16, chunk("data", ten_frames, true, 0xFFFFFFFF)}), 10, {}},
        {"RIFF size all ones", riff({fmt16, chunk("data", ten_frames)}, 0xFFFFFFFF), 10, {}},
        {"odd chunk without its pad byte", riff({fmt16, odd_unpadded, chunk("data", ten_frames)}), 10, {}},
        {"odd chunk with a non-zero pad byte", riff({fmt16, odd_bad_pad, chunk("data", ten_frames)}), 10, {}},
        {"data before fmt", riff({chunk("data", ten_frames), fmt16}), 10, {}},
        {"fmt longer than it needs", riff({chunk("fmt ", longer_fmt), chunk("data", ten_frames)}), 10, {}},
        {"an INFO entry larger than its list",
         riff({fmt16, chunk("data", ten_frames), chunk("LIST", huge_entry)}),
         10,
         {"Cut"}},
        {"two INFO lists and another list",
         riff({fmt16, info_list({{"INAM", "One"}}), chunk("LIST", bytes_t{'a', 'd', 't', 'l', 'x', 'x'}),
               chunk("data", ten_frames), info_list({{"IART", "Two"}, {"ICMT", ""}})}),
         10,
         {"One", "Two"}}};
    for (const auto& [name, bytes, frames, tag_values] : cases) {
        SCOPED_TRACE(name);
        wave_file parsed;
        ASSERT_NO_THROW(parsed = parse(bytes));
        EXPECT_EQ(parsed.frames, frames);
        std::vector<std::string> values;
        for (const info_tag& tag : parsed.tags) values.push_back(tag.value);
        EXPECT_EQ(values, tag_values);
    }
}

// Every cut of a file with an odd chunk, data and tags: refused before the data chunk's header
// is whole, then as many whole frames as the cut leaves.
TEST(RiffWave, EveryTruncationIsRefusedOrPlaysTheWholeFramesLeft) {
    const bytes_t whole = riff({fmt16, chunk("odd ", bytes_t(5, 'o')), chunk("data", ten_frames),
                                info_list({{"INAM", "Title"}, {"ICMT", "A comment"}})});
    const uint64_t data_payload = 12 + fmt16.size() + 14 + 8;
    for (size_t length = 0; length <= whole.size(); ++length) {
        const bytes_t cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        if (length < data_payload) {
            EXPECT_THROW(parse(cut), velmora_io::exception_io_data) << length;
            continue;
        }
        wave_file parsed;
        ASSERT_NO_THROW(parsed = parse(cut)) << length;
        EXPECT_EQ(parsed.frames, std::min<uint64_t>(10, (length - data_payload) / 4)) << length;
        EXPECT_EQ(parsed.data_offset(), data_payload);
    }
}

TEST(RiffWave, InfoTextsBecomeUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        // stored, read
        {"Dvo\xC5\x99\xC3\xA1k \xE2\x80\x93 \xF0\x9F\x8E\xB5", "Dvo\xC5\x99\xC3\xA1k \xE2\x80\x93 \xF0\x9F\x8E\xB5"},
        {"caf\xE9 \x80 \x9F", "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8"},  // Windows-1252: é € Ÿ
        {"\x81\x8D", "\xC2\x81\xC2\x8D"},                            // codes 1252 leaves free stay as they are
        {"\xC3", "\xC3\x83"},                                        // a UTF-8 sequence cut short is 1252
    };
    for (const auto& [stored, read] : cases) EXPECT_EQ(minihost::info_text_to_utf8(stored), read) << stored;
}

TEST(RiffWave, ChannelMasksGiveOneSpeakerPerChannel) {
    const std::tuple<unsigned, uint32_t, unsigned> cases[] = {
        // channels, mask, speakers
        {6, 0, 0x3F},                            // 5.1
        {2, 0x3F, channel_config_stereo},        // more speakers than channels: the first ones
        {4, 0x3, 0x33},                          // fewer: the usual layout for 4
        {2, 0x80000003, channel_config_stereo},  // bits the host does not know are dropped
        {1, 0x100, channel_back_center}};
    for (const auto& [channels, mask, config] : cases)
        EXPECT_EQ(minihost::wave_channel_config(channels, mask), config) << channels << " / " << mask;
}

TEST(RiffWave, RewritingKeepsEveryOtherChunkInItsPlace) {
    const bytes_t odd_unpadded = chunk("junk", bytes_t{1, 2, 3}, false);
    const bytes_t odd_padded = chunk("junk", bytes_t{1, 2, 3});
    const bytes_t adtl = chunk("LIST", bytes_t{'a', 'd', 't', 'l', 9, 9});
    const bytes_t id3 = chunk("id3 ", bytes_t(7, 0x33));
    bytes_t source = riff(
        {fmt16, odd_unpadded, adtl, info_list({{"INAM", "Old"}, {"IENG", "Dropped"}}), chunk("data", ten_frames), id3});
    const bytes_t trailing = {'T', 'A', 'G', 0, 1};
    source.insert(source.end(), trailing.begin(), trailing.end());

    const std::vector<info_tag> tags = {{"INAM", "New"}, {"ICMT", "odd"}, {"IART", ""}};
    bytes_t expected =
        riff({fmt16, odd_padded, adtl, info_list({{"INAM", "New"}, {"ICMT", "odd"}}), chunk("data", ten_frames), id3});
    expected.insert(expected.end(), trailing.begin(), trailing.end());
    EXPECT_EQ(rewrite(source, tags), expected);

    // Without an INFO list the new one comes last in the form; without tags there is none.
    const bytes_t untagged = riff({fmt16, chunk("data", ten_frames)});
    EXPECT_EQ(rewrite(untagged, tags),
              riff({fmt16, chunk("data", ten_frames), info_list({{"INAM", "New"}, {"ICMT", "odd"}})}));
    EXPECT_TRUE(parse(rewrite(source, {})).tags.empty());

    // Texts beyond ASCII are declared UTF-8 by a CSET chunk before the list, in the place of the old ones.
    const bytes_t latin_set = chunk("CSET", bytes_t{0xE4, 0x04, 0, 0, 0, 0, 0, 0});
    const bytes_t utf8_set = chunk("CSET", bytes_t{0xE9, 0xFD, 0, 0, 0, 0, 0, 0});
    const bytes_t declared = riff({fmt16, latin_set, chunk("data", ten_frames), info_list({{"INAM", "Old"}})});
    EXPECT_EQ(rewrite(declared, {{"INAM", "Caf\xC3\xA9"}}),
              riff({fmt16, chunk("data", ten_frames), utf8_set, info_list({{"INAM", "Caf\xC3\xA9"}})}));
    EXPECT_EQ(rewrite(declared, {{"INAM", "Cafe"}}),
              riff({fmt16, latin_set, chunk("data", ten_frames), info_list({{"INAM", "Cafe"}})}));

    // A data chunk cut short keeps the bytes there are, its size set to them.
    bytes_t cut = untagged;
    cut.resize(cut.size() - 3);
    EXPECT_EQ(rewrite(cut, {}), riff({fmt16, chunk("data", bytes_t(37, 0x11))}));

    // A source that no longer matches its parse (the file changed meanwhile) is not copied from.
    memory_source shorter(untagged.data(), untagged.size() - 1);
    vector_sink sink;
    abort_callback_dummy abort;
    EXPECT_EQ(failure_text([&] { minihost::write_wave_with_tags(shorter, parse(untagged), {}, sink, abort); }),
              "The file changed while it was read");
}

TEST(RiffWave, StrictReadingNamesEveryLeniency) {
    const bytes_t clean = riff({fmt16, chunk("junk", {7}), chunk("data", ten_frames)});
    bytes_t trailing = clean;
    trailing.insert(trailing.end(), {0, 0, 0});
    bytes_t truncated = clean;
    truncated.resize(truncated.size() - 12);
    const std::tuple<const char*, bytes_t, std::vector<std::string>> cases[] = {
        {"trailing bytes", trailing, {"3 bytes after the RIFF form"}},
        {"truncated data",
         truncated,
         {"RIFF size 86, but the form holds 74 bytes", "chunk \"data\" claims 40 bytes, the file holds 28"}},
        {"two data chunks", riff({fmt16, chunk("data", ten_frames), chunk("data", ten_frames)}), {"2 data chunks"}}};
    for (const auto& [name, bytes, problems] : cases)
        EXPECT_EQ(minihost::wave_strict_problems(parse(bytes)), problems) << name;
}

}  // namespace
