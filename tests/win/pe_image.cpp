#include "tests/win/pe_image.h"
#include "zorb/files.h"

#include <fstream>
#include <iterator>

#include <filesystem>

namespace test_support {
namespace {

// Bounds-checked little-endian reads over the file's bytes: anything out of range marks the image invalid.
class image_view {
public:
    explicit image_view(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    uint32_t u16(uint32_t offset) { return fits(offset, 2) ? uint32_t(bytes_[offset] | bytes_[offset + 1] << 8) : 0; }
    uint32_t u32(uint32_t offset) { return fits(offset, 4) ? u16(offset) | u16(offset + 2) << 16 : 0; }
    std::string text(uint32_t offset) {
        std::string result;
        while (fits(offset, 1) && bytes_[offset] != 0) result += char(bytes_[offset++]);
        return result;
    }
    bool failed() const { return failed_; }
    void fail() { failed_ = true; }

    // File offset of a relative virtual address, through the section table.
    uint32_t offset_of(uint32_t rva) {
        for (uint32_t i = 0; i < section_count; ++i) {
            const uint32_t section = section_table + 40 * i;
            const uint32_t address = u32(section + 12), size = u32(section + 8), raw = u32(section + 20);
            if (rva >= address && rva < address + size) return raw + (rva - address);
        }
        fail();
        return 0;
    }

    uint32_t section_table = 0, section_count = 0;

private:
    bool fits(uint32_t offset, uint32_t size) {
        if (offset <= bytes_.size() && size <= bytes_.size() - offset) return true;
        failed_ = true;
        return false;
    }
    std::vector<uint8_t> bytes_;
    bool failed_ = false;
};

constexpr uint32_t pe32_magic = 0x10B;
constexpr uint32_t export_directory = 0, import_directory = 1;

}  // namespace

pe_names read_pe_names(const std::string& path) {
    pe_names names;
    std::ifstream file(zorb::native_path(path), std::ios::binary);
    image_view image(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
    const uint32_t pe = image.u32(0x3C);
    if (image.u32(pe) != 0x00004550) return names;  // "PE\0\0"
    const uint32_t coff = pe + 4, optional = coff + 20;
    if (image.u16(optional) != pe32_magic) return names;
    image.section_count = image.u16(coff + 2);
    image.section_table = optional + image.u16(coff + 16);
    const uint32_t directories = optional + 96;

    if (const uint32_t rva = image.u32(directories + 8 * export_directory)) {
        const uint32_t table = image.offset_of(rva);
        names.exported_functions = image.u32(table + 20);
        const uint32_t name_count = image.u32(table + 24);
        const uint32_t name_pointers = image.offset_of(image.u32(table + 32));
        for (uint32_t i = 0; i < name_count && !image.failed(); ++i)
            names.exports.push_back(image.text(image.offset_of(image.u32(name_pointers + 4 * i))));
    }
    if (const uint32_t rva = image.u32(directories + 8 * import_directory)) {
        // Import descriptors of 20 bytes each, ended by one of zeros.
        for (uint32_t entry = image.offset_of(rva); !image.failed(); entry += 20) {
            const uint32_t name = image.u32(entry + 12);
            if (name == 0) break;
            names.imported_dlls.push_back(image.text(image.offset_of(name)));
        }
    }
    names.valid = !image.failed();
    return names;
}

}  // namespace test_support
