// Pictures that belong to a track: cover art and the like, found by the host's album-art extractors.
#pragma once

#include <string>

#include "host/abort.h"
#include "host/exceptions.h"
#include "host/input.h"
#include "host/records.h"
#include "host/service.h"
#include "host/service_lookup.h"

// The kinds of picture.
namespace album_art_ids {
constexpr GUID cover_front = {0xF1E66F4E, 0xFE09, 0x4B94, {0x91, 0xA3, 0x67, 0xC2, 0x3E, 0xD1, 0x44, 0x5E}};
constexpr GUID cover_back = {0xCB552D19, 0x86D5, 0x434C, {0xAC, 0x77, 0xBB, 0x24, 0xED, 0x56, 0x7E, 0xE4}};
constexpr GUID artist = {0x9A654042, 0xACD1, 0x43F7, {0xBF, 0xCF, 0xD3, 0xEC, 0x0F, 0xFE, 0x40, 0xFA}};
}  // namespace album_art_ids

// No extractor handles the file.
ZORB_DECLARE_EXCEPTION(exception_album_art_unsupported_format, velmora_io::exception_io_data,
                       "No album art reader for this file");
// The file has no picture of the kind asked for.
ZORB_DECLARE_EXCEPTION(exception_album_art_not_found, velmora_io::exception_io_not_found, "Album art not found");

// An extractor opened on one file. On the thread that opened it.
class album_art_extractor_instance : public service_base {
public:
    static constexpr GUID class_guid = {0x0BCC2481, 0x7FAF, 0x4A0A, {0xBB, 0x4F, 0x4D, 0xC5, 0x6B, 0x79, 0x81, 0x1A}};
    using parent_t = service_base;

    // Puts the picture of kind `what` (album_art_ids) into the host's block `out`, its bytes as the
    // file holds them (JPEG, PNG). Raises exception_album_art_not_found when there is none, and the
    // host's I/O failures.
    virtual void query(const GUID& what, mem_block_container& out, abort_callback& abort) = 0;
};

// The service class of extractors; any thread.
class album_art_extractor : public service_base {
public:
    static constexpr GUID class_guid = {0xE19CA3D3, 0x6267, 0x4271, {0xB7, 0x89, 0x6A, 0x3F, 0x87, 0xFB, 0x3E, 0xBF}};
    using parent_t = service_base;

    // True when the extractor reads the pictures of the file at `path`; decided without opening it.
    // `extension` as input_entry::accepts_path takes it. Raises nothing.
    virtual bool is_our_path(const char* path, const char* extension) = 0;
    // Opens the extractor on `path`, the instance held with one reference owned by the caller.
    // Raises the host's I/O failures.
    virtual service_ptr_t<album_art_extractor_instance> open(const char* path, abort_callback& abort) = 0;

    // The first extractor of the host that reads `path`, opened on it. Raises
    // exception_album_art_unsupported_format when none does.
    static service_ptr_t<album_art_extractor_instance> g_open(host_api& api, const std::string& path,
                                                              abort_callback& abort) {
        const std::string extension = input_lookup::extension_of(path);
        const size_t count = service_count_t<album_art_extractor>(api);
        for (size_t index = 0; index < count; ++index) {
            service_ptr_t<album_art_extractor> extractor = service_create_at_t<album_art_extractor>(api, index);
            if (extractor && extractor->is_our_path(path.c_str(), extension.c_str()))
                return extractor->open(path.c_str(), abort);
        }
        throw exception_album_art_unsupported_format();
    }
};
