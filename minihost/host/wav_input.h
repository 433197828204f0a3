// The host's own input for WAV files: RIFF WAVE of integer PCM (8 to 32 bits) or floating-point
// samples (32 or 64 bits), 1 to 8 channels, any rate, plain or extensible headers. Decoders seek
// and end; the information record holds the length, the technical fields and the LIST/INFO tags
// as meta fields; the info writer rewrites the file with new tags beside it and moves it over the
// old one only when it is complete. The format itself lives in minihost/host/riff_wave.h.
#pragma once

#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/input.h"
#include "minihost/host/riff_wave.h"

namespace minihost {

constexpr GUID wav_input_guid = {0x7050D9FB, 0xE1D3, 0x44FE, {0x80, 0xFB, 0x02, 0x81, 0x1A, 0xA2, 0x59, 0xAF}};
constexpr char wav_input_name[] = "minihost WAV input";
// Decoders hand out blocks of this many frames, fewer at the end.
constexpr size_t wav_block_frames = 4096;

// The input entry service (input_entry_v3), taking paths with the extension "wav" in any case.
// `api` is the host whose file systems open the files; it outlives the service.
service_ptr make_wav_input(host_api& api);

// The INFO entries that store the meta fields of `info`: one entry per field that INFO can hold
// (riff_wave.h's info_id_of_field), its values joined with "; ", fields of one id together.
std::vector<info_tag> info_tags_of(const file_info& info);

// The length, technical fields and meta fields of a parsed file into `info`.
void read_wave_info(const wave_file& parsed, file_info& info);

}  // namespace minihost
