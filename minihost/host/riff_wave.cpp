#include "minihost/host/riff_wave.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "host/exceptions.h"
#include "host/records.h"
#include "zorb/string.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

constexpr size_t chunk_header_bytes = 8;
constexpr size_t riff_header_bytes = 12;  // "RIFF", form size, "WAVE"
constexpr size_t extensible_format_bytes = 40;
constexpr size_t copy_block_bytes = 1 << 16;
constexpr uint16_t format_pcm = 1, format_float = 3, format_extensible = 0xFFFE;
// A CSET chunk: code page 65001 (UTF-8); country, language and dialect not given.
constexpr uint8_t utf8_character_set[8] = {0xE9, 0xFD, 0, 0, 0, 0, 0, 0};
// The sub-format GUID of an extensible header after its first two bytes, which hold the format.
constexpr uint8_t subformat_tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct info_name {
    const char* id;
    const char* field;
};
constexpr info_name info_names[] = {
    {"INAM", "title"}, {"IART", "artist"},  {"IPRD", "album"},       {"IAAR", "album artist"}, {"ICRD", "date"},
    {"IGNR", "genre"}, {"ICMT", "comment"}, {"ITRK", "tracknumber"}, {"ICOP", "copyright"},    {"ISFT", "encoder"},
};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
void put_le32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Chunk ids are four printable ASCII characters; anything else is not a chunk.
bool is_chunk_id(const uint8_t* id) {
    return std::all_of(id, id + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

[[noreturn]] void unsupported(const std::string& what) {
    throw velmora_io::exception_io_unsupported_format("Unsupported WAV encoding: " + what);
}
[[noreturn]] void corrupted(const std::string& what) {
    throw velmora_io::exception_io_data("Corrupted WAV file: " + what);
}

// Windows-1252 from 0x80 to 0x9F; the five codes it leaves free stay the C1 controls of Latin-1.
constexpr char16_t windows_1252_high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The entries of an INFO list's payload after its type.
void read_info_entries(const uint8_t* entries, size_t length, std::vector<info_tag>& out) {
    size_t position = 0;
    while (length - position >= chunk_header_bytes && is_chunk_id(entries + position)) {
        const uint32_t size = le32(entries + position + 4);
        const size_t start = position + chunk_header_bytes;
        const size_t text_size = std::min<size_t>(size, length - start);
        std::string_view text(reinterpret_cast<const char*>(entries + start), text_size);
        text = text.substr(0, text.find('\0'));
        if (!text.empty())
            out.push_back({std::string(reinterpret_cast<const char*>(entries + position), 4), info_text_to_utf8(text)});
        if (size > length - start) break;
        position = start + size + (size & 1);
        if (position > length) break;
    }
}

wave_format read_format(const uint8_t* bytes, size_t size) {
    if (size < 16) corrupted("the fmt chunk holds " + std::to_string(size) + " bytes");
    wave_format format{};
    format.format_tag = le16(bytes);
    format.channels = le16(bytes + 2);
    format.sample_rate = le32(bytes + 4);
    format.block_align = le16(bytes + 12);
    const unsigned bits = le16(bytes + 14);
    uint16_t code = format.format_tag;
    unsigned valid_bits = bits;
    if (code == format_extensible) {
        if (size < extensible_format_bytes || le16(bytes + 16) < extensible_format_bytes - 18)
            corrupted("the extensible fmt chunk is cut short");
        if (std::memcmp(bytes + 26, subformat_tail, sizeof subformat_tail) != 0) unsupported("an unknown sub-format");
        code = le16(bytes + 24);
        valid_bits = le16(bytes + 18);
        format.channel_mask = le32(bytes + 20);
        // The container is bits wide; the samples use its highest valid_bits (0: all of it).
        if (bits % 8 != 0) corrupted("an extensible container of " + std::to_string(bits) + " bits");
        if (valid_bits == 0 || valid_bits > bits) valid_bits = bits;
    }
    if (code == format_pcm) {
        format.encoding = sample_encoding::integer;
        if (bits == 0 || bits > 32) unsupported(std::to_string(bits) + "-bit integer samples");
    } else if (code == format_float) {
        format.encoding = sample_encoding::floating;
        if (bits != 32 && bits != 64) unsupported(std::to_string(bits) + "-bit floating-point samples");
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "format 0x%04X", code);
        unsupported(text);
    }
    if (format.channels == 0 || format.channels > wave_max_channels)
        unsupported(std::to_string(format.channels) + " channels");
    if (format.sample_rate == 0) corrupted("a sample rate of 0 Hz");
    format.bits = valid_bits;
    format.container_bytes = (bits + 7) / 8;
    if (format.block_align != format.channels * format.container_bytes)
        corrupted("frames of " + std::to_string(format.block_align) + " bytes for " + std::to_string(format.channels) +
                  " channels of " + std::to_string(format.container_bytes) + " bytes");
    format.channel_config = wave_channel_config(format.channels, format.channel_mask);
    return format;
}

// Reads exactly `count` bytes at `offset`, or raises: the parse found them there.
void read_known(byte_source& source, uint64_t offset, void* buffer, size_t count) {
    if (source.read_at(offset, buffer, count) != count)
        throw velmora_io::exception_io_data("The file changed while it was read");
}

// One chunk header at `offset`, or false when the bytes there are no chunk.
bool read_chunk(byte_source& source, uint64_t offset, uint64_t file_size, riff_chunk& chunk) {
    uint8_t header[chunk_header_bytes];
    if (file_size - offset < chunk_header_bytes || source.read_at(offset, header, sizeof header) != sizeof header ||
        !is_chunk_id(header))
        return false;
    chunk = {};
    std::memcpy(chunk.id, header, 4);
    chunk.offset = offset;
    chunk.declared_size = le32(header + 4);
    chunk.size = std::min<uint64_t>(chunk.declared_size, file_size - chunk.payload());
    return true;
}

// Where the chunk after `chunk` starts. An odd chunk is followed by a pad byte; a writer that
// forgot it shows as a chunk header that fits the file right after the payload, and none one byte
// later. (A zero pad byte can start no chunk id.)
uint64_t next_chunk_offset(byte_source& source, riff_chunk& chunk, uint64_t file_size) {
    const uint64_t end = chunk.payload() + chunk.size;
    if ((chunk.declared_size & 1) == 0 || chunk.truncated()) return end;
    if (end == file_size) {
        chunk.pad_missing = true;
        return end;
    }
    uint8_t around[chunk_header_bytes + 1];
    if (file_size - end < sizeof around || source.read_at(end, around, sizeof around) != sizeof around) return end + 1;
    const auto fits = [&](const uint8_t* header, uint64_t at) {
        return is_chunk_id(header) && le32(header + 4) <= file_size - at - chunk_header_bytes;
    };
    if (fits(around, end) && !fits(around + 1, end + 1)) {
        chunk.pad_missing = true;
        return end;
    }
    return end + 1;
}

class sink_writer {
public:
    explicit sink_writer(byte_sink& sink) : sink_(sink) {}
    void bytes(const void* data, size_t size) { sink_.write(data, size); }
    void text(std::string_view four) { bytes(four.data(), four.size()); }
    void number(uint32_t value) {
        uint8_t bytes_le[4];
        put_le32(bytes_le, value);
        bytes(bytes_le, sizeof bytes_le);
    }
    void pad(uint64_t size) {
        if (size & 1) bytes("", 1);
    }

private:
    byte_sink& sink_;
};

void copy_bytes(byte_source& source, uint64_t offset, uint64_t size, sink_writer& out, abort_callback& abort) {
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(size, copy_block_bytes)));
    while (size > 0) {
        abort.check();
        const size_t count = static_cast<size_t>(std::min<uint64_t>(size, block.size()));
        read_known(source, offset, block.data(), count);
        out.bytes(block.data(), count);
        offset += count;
        size -= count;
    }
}

// The INFO list's payload: its type and one NUL-terminated entry per non-empty tag.
std::vector<uint8_t> info_payload(const std::vector<info_tag>& tags) {
    std::vector<uint8_t> payload;
    for (const info_tag& tag : tags) {
        const std::string_view value = std::string_view(tag.value).substr(0, tag.value.find('\0'));
        if (value.empty()) continue;
        if (tag.id.size() != 4 || !is_chunk_id(reinterpret_cast<const uint8_t*>(tag.id.data())))
            throw zorb::exception_invalid_params("\"" + tag.id + "\" is no INFO id");
        if (value.size() >= wave_max_info_list) throw velmora_io::exception_io_data("A tag value is too long");
        const auto size = static_cast<uint32_t>(value.size() + 1);
        uint8_t header[chunk_header_bytes];
        std::memcpy(header, tag.id.data(), 4);
        put_le32(header + 4, size);
        payload.insert(payload.end(), header, header + sizeof header);
        payload.insert(payload.end(), value.begin(), value.end());
        payload.push_back(0);
        if (size & 1) payload.push_back(0);
    }
    if (payload.empty()) return payload;
    if (payload.size() > wave_max_info_list) throw velmora_io::exception_io_data("The tags are too long");
    payload.insert(payload.begin(), {'I', 'N', 'F', 'O'});
    return payload;
}

}  // namespace

size_t memory_source::read_at(uint64_t offset, void* buffer, size_t count) {
    if (offset >= size_ || count == 0) return 0;
    const size_t available = std::min<size_t>(count, size_ - static_cast<size_t>(offset));
    std::memcpy(buffer, data_ + offset, available);
    return available;
}

wave_file parse_wave(byte_source& source) {
    wave_file parsed;
    parsed.file_size = source.size();
    uint8_t header[riff_header_bytes];
    if (parsed.file_size < riff_header_bytes || source.read_at(0, header, sizeof header) != sizeof header ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        throw velmora_io::exception_io_unsupported_format();
    parsed.riff_declared_size = le32(header + 4);

    // The chunks up to the end the RIFF header states, or the file's when it ends first; past a
    // stated end that comes before any data chunk (a size written too small), to the file's end.
    uint64_t limit = std::min<uint64_t>(8 + uint64_t{parsed.riff_declared_size}, parsed.file_size);
    bool have_format = false, have_data = false;
    std::vector<uint8_t> format_bytes;
    uint64_t offset = riff_header_bytes;
    parsed.form_end = offset;
    riff_chunk chunk;
    while (parsed.chunks.size() < wave_max_chunks) {
        if (limit - std::min(limit, offset) < chunk_header_bytes && !have_data) limit = parsed.file_size;
        if (limit - std::min(limit, offset) < chunk_header_bytes ||
            !read_chunk(source, offset, parsed.file_size, chunk))
            break;
        if (chunk.is("LIST") && chunk.size >= 4) read_known(source, chunk.payload(), chunk.list_type, 4);
        if (chunk.is("fmt ") && !have_format) {
            have_format = true;
            parsed.format_chunk = parsed.chunks.size();
            format_bytes.resize(static_cast<size_t>(std::min<uint64_t>(chunk.size, extensible_format_bytes)));
            read_known(source, chunk.payload(), format_bytes.data(), format_bytes.size());
        } else if (chunk.is("data") && !have_data) {
            have_data = true;
            parsed.data_chunk = parsed.chunks.size();
        } else if (chunk.is_info_list()) {
            if (chunk.size > wave_max_info_list) {
                parsed.info_list_too_large = true;
            } else {
                std::vector<uint8_t> entries(static_cast<size_t>(chunk.size) - 4);
                read_known(source, chunk.payload() + 4, entries.data(), entries.size());
                read_info_entries(entries.data(), entries.size(), parsed.tags);
            }
        }
        offset = next_chunk_offset(source, chunk, parsed.file_size);
        parsed.chunks.push_back(chunk);
        parsed.form_end = std::min(offset, parsed.file_size);
        if (chunk.truncated()) break;
    }
    if (!have_format) corrupted("no fmt chunk");
    if (!have_data) corrupted("no data chunk");
    parsed.format = read_format(format_bytes.data(), format_bytes.size());
    parsed.frames = parsed.chunks[parsed.data_chunk].size / parsed.format.block_align;
    return parsed;
}

void wave_samples_to_float(const wave_format& format, const uint8_t* data, size_t samples, float* out) {
    if (format.encoding == sample_encoding::floating) {
        for (size_t i = 0; i < samples; ++i, data += format.container_bytes) {
            if (format.container_bytes == 4) {
                out[i] = std::bit_cast<float>(le32(data));
            } else {
                const uint64_t bits = le32(data) | uint64_t{le32(data + 4)} << 32;
                out[i] = static_cast<float>(std::bit_cast<double>(bits));
            }
        }
        return;
    }
    switch (format.container_bytes) {
        case 1:
            for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(data[i] - 128) * (1.0f / 128);
            break;
        case 2:
            for (size_t i = 0; i < samples; ++i, data += 2)
                out[i] = static_cast<float>(static_cast<int16_t>(le16(data))) * (1.0f / 32768);
            break;
        case 3:
            for (size_t i = 0; i < samples; ++i, data += 3) {
                const auto value =
                    static_cast<int32_t>(static_cast<uint32_t>(data[0]) << 8 | static_cast<uint32_t>(data[1]) << 16 |
                                         static_cast<uint32_t>(data[2]) << 24) >>
                    8;
                out[i] = static_cast<float>(value) * (1.0f / 8388608);
            }
            break;
        default:
            // The int-to-float step rounds once; the scaling by a power of two is exact.
            for (size_t i = 0; i < samples; ++i, data += 4)
                out[i] = static_cast<float>(static_cast<int32_t>(le32(data))) * (1.0f / 2147483648.0f);
            break;
    }
}

unsigned wave_channel_config(unsigned channels, uint32_t mask) {
    mask &= channel_config_all;
    if (static_cast<unsigned>(std::popcount(mask)) >= channels) {
        unsigned config = 0;
        for (unsigned taken = 0; taken < channels; ++taken) {
            const uint32_t lowest = mask & (~mask + 1);
            config |= lowest;
            mask &= ~lowest;
        }
        return config;
    }
    constexpr unsigned fl = channel_front_left, fr = channel_front_right, fc = channel_front_center, lfe = channel_lfe,
                       bl = channel_back_left, br = channel_back_right, bc = channel_back_center,
                       sl = channel_side_left, sr = channel_side_right;
    constexpr unsigned usual[wave_max_channels + 1] = {0,
                                                       fc,
                                                       fl | fr,
                                                       fl | fr | fc,
                                                       fl | fr | bl | br,
                                                       fl | fr | fc | bl | br,
                                                       fl | fr | fc | lfe | bl | br,
                                                       fl | fr | fc | lfe | bc | sl | sr,
                                                       fl | fr | fc | lfe | bl | br | sl | sr};
    return channels <= wave_max_channels ? usual[channels] : 0;
}

std::string info_field_name(std::string_view id) {
    for (const info_name& name : info_names)
        if (id == name.id) return name.field;
    return std::string(id);
}

std::string info_id_of_field(std::string_view name) {
    for (const info_name& known : info_names)
        if (zorb::equal_ascii_nocase(name, known.field) || zorb::equal_ascii_nocase(name, known.id)) return known.id;
    const bool own_id = name.size() == 4 && std::all_of(name.begin(), name.end(), [](char c) {
                            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ';
                        });
    return own_id ? std::string(name) : std::string();
}

std::string info_text_to_utf8(std::string_view bytes) {
    char32_t ignored;
    bool valid = true;
    for (size_t position = 0; valid && position < bytes.size();) valid = zorb::utf8_decode(bytes, position, ignored);
    if (valid) return std::string(bytes);
    std::u16string text;
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        text.push_back(byte >= 0x80 && byte < 0xA0 ? windows_1252_high[byte - 0x80] : char16_t{byte});
    }
    return zorb::utf8_from_utf16(text);
}

void write_wave_with_tags(byte_source& source, const wave_file& parsed, const std::vector<info_tag>& tags,
                          byte_sink& sink, abort_callback& abort) {
    if (parsed.info_list_too_large)
        throw velmora_io::exception_io_data("The file's INFO list is too large to be rewritten");
    if (source.size() != parsed.file_size) throw velmora_io::exception_io_data("The file changed while it was read");
    const std::vector<uint8_t> info = info_payload(tags);
    // Readers take INFO texts for Windows-1252 unless a CSET chunk says otherwise: texts beyond
    // ASCII come with one that declares UTF-8, in the place of those the file had.
    const bool declare_utf8 = std::any_of(info.begin(), info.end(), [](uint8_t byte) { return byte >= 0x80; });
    const auto dropped = [&](const riff_chunk& chunk) {
        return chunk.is_info_list() || (declare_utf8 && chunk.is("CSET"));
    };
    uint64_t form_size = 4;
    if (!info.empty()) form_size += chunk_header_bytes + info.size();
    if (declare_utf8) form_size += chunk_header_bytes + sizeof utf8_character_set;
    for (const riff_chunk& chunk : parsed.chunks)
        if (!dropped(chunk)) form_size += chunk_header_bytes + chunk.size + (chunk.size & 1);
    if (form_size > UINT32_MAX) throw velmora_io::exception_io_data("The file would pass the 4 GiB of a RIFF file");

    sink_writer out(sink);
    const auto write_info = [&] {
        if (info.empty()) return;
        if (declare_utf8) {
            out.text("CSET");
            out.number(sizeof utf8_character_set);
            out.bytes(utf8_character_set, sizeof utf8_character_set);
        }
        out.text("LIST");
        out.number(static_cast<uint32_t>(info.size()));
        out.bytes(info.data(), info.size());
    };
    out.text("RIFF");
    out.number(static_cast<uint32_t>(form_size));
    out.text("WAVE");
    bool info_written = false;
    for (const riff_chunk& chunk : parsed.chunks) {
        if (chunk.is_info_list() && !info_written) {
            write_info();
            info_written = true;
        }
        if (dropped(chunk)) continue;
        out.bytes(chunk.id, 4);
        out.number(static_cast<uint32_t>(chunk.size));
        copy_bytes(source, chunk.payload(), chunk.size, out, abort);
        out.pad(chunk.size);
    }
    if (!info_written) write_info();
    copy_bytes(source, parsed.form_end, parsed.file_size - parsed.form_end, out, abort);
}

std::vector<std::string> wave_strict_problems(const wave_file& parsed) {
    std::vector<std::string> problems;
    const auto name = [](const riff_chunk& chunk) { return "chunk \"" + std::string(chunk.id, 4) + "\""; };
    if (uint64_t{parsed.riff_declared_size} + 8 != parsed.form_end)
        problems.push_back("RIFF size " + std::to_string(parsed.riff_declared_size) + ", but the form holds " +
                           std::to_string(parsed.form_end - 8) + " bytes");
    if (parsed.form_end != parsed.file_size)
        problems.push_back(std::to_string(parsed.file_size - parsed.form_end) + " bytes after the RIFF form");
    unsigned formats = 0, data = 0;
    for (const riff_chunk& chunk : parsed.chunks) {
        formats += chunk.is("fmt ");
        data += chunk.is("data");
        if (chunk.truncated())
            problems.push_back(name(chunk) + " claims " + std::to_string(chunk.declared_size) +
                               " bytes, the file holds " + std::to_string(chunk.size));
        if (chunk.pad_missing) problems.push_back(name(chunk) + " of odd size has no pad byte");
    }
    if (formats > 1) problems.push_back(std::to_string(formats) + " fmt chunks");
    if (data > 1) problems.push_back(std::to_string(data) + " data chunks");
    const uint64_t data_bytes = parsed.chunks[parsed.data_chunk].size;
    if (data_bytes % parsed.format.block_align != 0)
        problems.push_back("data of " + std::to_string(data_bytes) + " bytes is no whole number of " +
                           std::to_string(parsed.format.block_align) + "-byte frames");
    return problems;
}

}  // namespace minihost
