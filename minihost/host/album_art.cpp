#include "minihost/host/album_art.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "minihost/host/filesystem.h"
#include "zorb/files.h"

namespace minihost {
namespace {

std::vector<const char*> names_for(const GUID& what) {
    if (what == album_art_ids::cover_front) return {"cover", "folder", "front"};
    if (what == album_art_ids::cover_back) return {"back"};
    if (what == album_art_ids::artist) return {"artist"};
    return {};
}

class sidecar_instance : public album_art_extractor_instance {
public:
    explicit sidecar_instance(std::string folder) : folder_(std::move(folder)) {}

    void query(const GUID& what, mem_block_container& out, abort_callback& abort) override {
        for (const char* name : names_for(what)) {
            for (const char* extension : {".jpg", ".jpeg", ".png"}) {
                abort.check();
                std::vector<uint8_t> bytes;
                if (!zorb::read_file(folder_ + name + extension, bytes) || bytes.empty()) continue;
                out.set_size(bytes.size());
                std::memcpy(out.get_ptr(), bytes.data(), bytes.size());
                return;
            }
        }
        throw exception_album_art_not_found();
    }

private:
    std::string folder_;  // with its closing separator
};

class sidecar_extractor : public album_art_extractor {
public:
    bool is_our_path(const char* path, const char*) override { return is_local_path(path); }
    service_ptr_t<album_art_extractor_instance> open(const char* path, abort_callback& abort) override {
        abort.check();
        const std::string file = local_path_of(path);
        const size_t separator = file.find_last_of("\\/");
        return service_ptr_t<album_art_extractor_instance>(new service_impl_t<sidecar_instance>(
            separator == std::string::npos ? std::string() : file.substr(0, separator + 1)));
    }
};

}  // namespace

service_ptr make_sidecar_album_art() { return service_ptr(new service_impl_t<sidecar_extractor>()); }

}  // namespace minihost
