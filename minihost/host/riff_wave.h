// RIFF WAVE files as the host's own WAV input reads and rewrites them: the chunk list, the sample
// format, the LIST/INFO tags, samples as floats, and the file written anew with other tags. Plain
// portable code over a byte source, so that tests and fuzzers run it natively as well.
//
// Reading is lenient where players are: a RIFF size that disagrees with the file, a data chunk cut
// short (what is there plays), an odd chunk whose pad byte a writer forgot, bytes after the chunk
// list. Every read is bounded by the source's size and by the limits below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/abort.h"

namespace minihost {

// Random-access bytes: a file, or memory. One thread at a time.
class byte_source {
public:
    virtual uint64_t size() = 0;
    // Up to `count` bytes from `offset` into `buffer`; fewer only at the end. Raises the host's I/O
    // failures.
    virtual size_t read_at(uint64_t offset, void* buffer, size_t count) = 0;

protected:
    ~byte_source() = default;
};

class memory_source final : public byte_source {
public:
    memory_source(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t size() override { return size_; }
    size_t read_at(uint64_t offset, void* buffer, size_t count) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// Where a rewritten file goes. Raises the host's I/O failures when the bytes cannot be written.
class byte_sink {
public:
    virtual void write(const void* data, size_t size) = 0;

protected:
    ~byte_sink() = default;
};

// Limits that bound the work a crafted file can cause.
constexpr size_t wave_max_chunks = 65536;           // chunks after these count as trailing bytes
constexpr uint32_t wave_max_info_list = 16u << 20;  // bytes; a larger INFO list is not read
constexpr unsigned wave_max_channels = 8;

// One chunk of the RIFF form.
struct riff_chunk {
    char id[4];              // as in the file, e.g. "fmt ", "data", "LIST"
    char list_type[4];       // a LIST chunk's type ("INFO", "adtl", ...); zeros for other chunks
    uint64_t offset;         // of the 8-byte chunk header, from the file's start
    uint32_t declared_size;  // payload bytes the header claims
    uint64_t size;           // payload bytes the file holds: declared_size, or less where the file ends
    bool pad_missing;        // odd size, and the next chunk starts right after it without a pad byte

    uint64_t payload() const { return offset + 8; }
    bool truncated() const { return size < declared_size; }
    bool is(std::string_view four) const { return std::string_view(id, 4) == four; }
    bool is_info_list() const { return is("LIST") && std::string_view(list_type, 4) == "INFO"; }
};

enum class sample_encoding { integer, floating };

// The fmt chunk, resolved to what decoding needs.
struct wave_format {
    uint16_t format_tag;       // as in the file: 1 PCM, 3 IEEE float, 0xFFFE extensible
    sample_encoding encoding;  // integer PCM (8-bit unsigned, wider signed) or IEEE float
    unsigned channels;         // 1..wave_max_channels
    uint32_t sample_rate;      // Hz, above 0
    unsigned bits;             // significant bits per sample: 1..32 integer, 32 or 64 float
    unsigned container_bytes;  // bytes per sample in the data: 1..4 integer (samples left-justified), 4 or 8 float
    unsigned block_align;      // bytes per frame: channels × container_bytes
    uint32_t channel_mask;     // the file's mask (extensible headers only; 0 otherwise)
    unsigned channel_config;   // the host's speakers for the channels, one bit each (host/records.h)
};

// One INFO entry: its four-character id and its text as UTF-8 (a final NUL and padding removed).
struct info_tag {
    std::string id;
    std::string value;
};

// What parse_wave found.
struct wave_file {
    uint64_t file_size = 0;
    uint32_t riff_declared_size = 0;  // the RIFF header's size field
    uint64_t form_end = 0;            // where the chunk list ends; bytes from here on are trailing
    std::vector<riff_chunk> chunks;   // in file order
    size_t format_chunk = 0;          // index of the first "fmt " chunk
    size_t data_chunk = 0;            // index of the first "data" chunk
    wave_format format{};
    uint64_t frames = 0;               // whole frames the data chunk holds as far as the file goes
    std::vector<info_tag> tags;        // of every INFO list, in file order
    bool info_list_too_large = false;  // an INFO list over wave_max_info_list was left unread

    uint64_t data_offset() const { return chunks[data_chunk].payload(); }
};

// Reads the chunk list, the format and the tags (not the samples). Raises
// velmora_io::exception_io_unsupported_format for data that is no RIFF WAVE file or holds an
// encoding other than those above (the message names it), velmora_io::exception_io_data for a
// WAVE file without a usable fmt or data chunk, and what the source raises.
wave_file parse_wave(byte_source& source);

// `samples` samples of `data` (whole frames, interleaved, in `format`) as floats of full scale 1:
// integers divided by 2^(container bits − 1), 8-bit ones centred on 128; floats as they are.
void wave_samples_to_float(const wave_format& format, const uint8_t* data, size_t samples, float* out);

// The host's speakers for `channels` channels given a file's mask (0 for none): the mask's lowest
// `channels` speaker bits when it names at least that many, else the usual layout for the count.
unsigned wave_channel_config(unsigned channels, uint32_t mask);

// INFO ids and the host's meta field names: "title" INAM, "artist" IART, "album" IPRD,
// "album artist" IAAR, "date" ICRD, "genre" IGNR, "comment" ICMT, "tracknumber" ITRK,
// "copyright" ICOP, "encoder" ISFT. Any other id is a field of its own name ("IENG").
std::string info_field_name(std::string_view id);
// The id that stores the field `name` (names compare without regard to ASCII case); a name of
// four upper-case letters, digits or blanks that is no known field's is its own id; empty for
// every other name, which INFO cannot hold.
std::string info_id_of_field(std::string_view name);
// An INFO text as UTF-8: valid UTF-8 stays as it is; anything else is read as Windows-1252.
// (A CSET chunk's code page is not consulted: files declare one rarely, and ours UTF-8.)
std::string info_text_to_utf8(std::string_view bytes);

// The file of `parsed` (read again from `source`) written to `out` with `tags` as its one INFO
// list: every other chunk, its bytes and the order of all chunks kept; the new list in the place
// of the first old one, or after the last chunk; trailing bytes kept after the form. Tags with an
// empty value are left out, and without any tag there is no INFO list. Texts are written as
// UTF-8; when one goes beyond ASCII, a CSET chunk declaring UTF-8 (code page 65001) comes right
// before the list, in the place of every CSET chunk the file had. A truncated chunk keeps the
// bytes the file holds, its size set to them; every odd chunk gets its pad byte; the RIFF size is
// that of the new form. `abort` is polled between blocks. Raises velmora_io::exception_io_data when
// the source no longer holds what `parsed` describes or the new form would pass 4 GiB, and what
// the source, the sink and `abort` raise.
void write_wave_with_tags(byte_source& source, const wave_file& parsed, const std::vector<info_tag>& tags,
                          byte_sink& out, abort_callback& abort);

// What a strict reader objects to in a parsed file: a RIFF size other than the form's, a truncated
// or unpadded chunk, trailing bytes, a second fmt or data chunk, a data size that is no whole number
// of frames. One line each; none for a file every reader takes the same way.
std::vector<std::string> wave_strict_problems(const wave_file& parsed);

}  // namespace minihost
