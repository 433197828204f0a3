// The index store's reader on any bytes as the file: it must neither crash nor read out of
// bounds; each record it takes must encode back to the very bytes it was read from; and the store
// it opens must survive a compaction and a second opening unchanged.
#include <cstdlib>
#include <cstring>

#include "minihost/host/index_store.h"
#include "zorb/exception.h"

namespace {

namespace format = minihost::index_store_format;

// Every index and key of the store, with its data and time, in one comparable text.
std::string contents(const minihost::index_store& store, const std::vector<GUID>& indexes) {
    std::string out;
    for (const GUID& index : indexes)
        for (const uint64_t key : store.keys(index)) {
            const std::vector<uint8_t> data = store.read(index, key);
            out += host_guid::to_text(index) + std::to_string(key) + ":" + std::to_string(*store.time_of(index, key)) +
                   ":" + std::string(data.begin(), data.end()) + "\n";
        }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The records alone: what the scanner takes is exactly what was there.
    std::vector<GUID> indexes;
    const format::scan_result scanned = format::scan(data, size, [&](const format::record& record) {
        std::vector<uint8_t> encoded;
        format::append(encoded, record);
        const size_t offset = size_t(record.data - data) - 48;
        if (offset + encoded.size() > size || std::memcmp(data + offset, encoded.data(), encoded.size()) != 0)
            std::abort();
        bool known = false;
        for (const GUID& index : indexes) known = known || index == record.index;
        if (!known) indexes.push_back(record.index);
    });
    if (scanned.valid_end > size || scanned.damaged_bytes > scanned.valid_end) std::abort();

    // The same bytes after a header, as a whole store.
    auto io = std::make_shared<minihost::memory_index_store_io>();
    std::vector<uint8_t>& file = io->files["store"];
    file = format::header(1);
    file.insert(file.end(), data, data + size);
    const minihost::index_store_options options{io, [] { return uint64_t(1) << 60; }};
    try {
        minihost::index_store store("store", options);
        const std::string before = contents(store, indexes);
        store.compact();
        const std::string compacted = contents(store, indexes);
        minihost::index_store again("store", options);
        if (compacted != before || contents(again, indexes) != before) std::abort();
        if (again.state().file_bytes != again.state().live_bytes) std::abort();
    } catch (const zorb::exception&) {
        std::abort();  // a valid header opens whatever follows it
    }
    return 0;
}
