// RIFF WAVE files from any bytes: the parser must neither crash nor read out of bounds; every frame
// it promises must convert; and the file written anew with the tags it found must parse again to
// the same format, frames, audio and tags, with every size right.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/exceptions.h"
#include "minihost/host/riff_wave.h"

namespace {

using namespace minihost;

class vector_sink final : public byte_sink {
public:
    void write(const void* data, size_t size) override {
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    }
    std::vector<uint8_t> bytes;
};

void check(bool condition) {
    if (!condition) std::abort();
}

bool same_format(const wave_format& a, const wave_format& b) {
    return a.format_tag == b.format_tag && a.encoding == b.encoding && a.channels == b.channels &&
           a.sample_rate == b.sample_rate && a.bits == b.bits && a.container_bytes == b.container_bytes &&
           a.block_align == b.block_align && a.channel_mask == b.channel_mask && a.channel_config == b.channel_config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    memory_source source(data, size);
    wave_file parsed;
    try {
        parsed = parse_wave(source);
    } catch (const velmora_io::exception_io_data&) {
        return 0;
    }
    const wave_format& format = parsed.format;
    const uint64_t data_bytes = parsed.frames * format.block_align;
    check(parsed.data_offset() + data_bytes <= size);
    std::vector<float> samples(static_cast<size_t>(parsed.frames) * format.channels);
    wave_samples_to_float(format, data + parsed.data_offset(), samples.size(), samples.data());

    vector_sink sink;
    abort_callback_dummy abort;
    write_wave_with_tags(source, parsed, parsed.tags, sink, abort);
    memory_source written_source(sink.bytes.data(), sink.bytes.size());
    const wave_file written = parse_wave(written_source);
    check(same_format(written.format, format));
    check(written.frames == parsed.frames);
    check(std::memcmp(sink.bytes.data() + written.data_offset(), data + parsed.data_offset(), data_bytes) == 0);
    check(written.tags.size() == parsed.tags.size());
    for (size_t i = 0; i < written.tags.size(); ++i)
        check(written.tags[i].id == parsed.tags[i].id && written.tags[i].value == parsed.tags[i].value);
    check(uint64_t{written.riff_declared_size} + 8 == written.form_end);
    for (const riff_chunk& chunk : written.chunks) check(!chunk.truncated() && !chunk.pad_missing);
    return 0;
}
