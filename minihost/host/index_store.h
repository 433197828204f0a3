// The index store: the user data that the host's index manager keeps per index and per 64-bit key,
// durable across runs and shared by minihost processes that use the same profile.
//
// File format: an append-only log.
//
//   header, 24 bytes, written once when the file is made and when it is compacted:
//     0   8  magic "KIVIDXS" followed by 0x1A
//     8   4  version, 1
//    12   4  zero (ignored when read)
//    16   8  generation: a random number when the file is made, one more at each compaction; a
//            store that sees another generation than the one it read knows that the file was
//            rewritten by someone else and reads it anew
//   records, one after the other up to the end of the file; record of N data bytes, 52 + N bytes:
//     0   4  marker "kivR"
//     4   4  kind: 1 put (N data bytes become the key's user data), 2 seen (a library track had the
//            key at the time below), 3 drop (the key's user data goes); seen and drop have N = 0,
//            put has 1 <= N <= max_user_data_size
//     8  16  index GUID, the 16 bytes of host/guid.h (integer parts little-endian)
//    24   8  key
//    32   8  time: when the record was written (put, drop) or when the key was seen (seen), in
//            100-nanosecond units since 1601-01-01 00:00 UTC
//    40   4  N
//    44   4  header check: CRC-32 (zorb/crc32.h) of bytes 0 to 43
//    48   N  data
//  48+N   4  record check: CRC-32 of bytes 0 to 47+N
//   All integers are little-endian.
//
// Reading: the records are applied in file order. A record whose checks fail is skipped and the
// reader looks for the next marker, byte by byte, with a valid header and record check, so a
// damaged byte in the middle costs only the record it is in (its key then reads as it stood
// before that record). Whatever follows the last valid record (a record cut short by a crash or a
// power cut, zeros a file system left) is not part of the store; the next append writes over it.
// A file of fewer than 24 bytes that begins like a header (made empty, or cut inside the header) is
// an empty store. A damaged region before the last valid record makes the store rewrite itself when
// it is opened.
//
// Durability: a put, seen or drop is one append of its records to the log, flushed to the disk
// (fsync; FlushFileBuffers on Windows) before the call returns, so a rating click costs one small
// write however big the store is. The log is compacted (all live keys as put records, written to
// PATH.new, flushed, renamed over PATH, the folder flushed) when it is over 64 KiB and more than
// half of it is dead: its size stays within twice what the live data takes. A crash during a
// compaction leaves the old file or the new one, each whole; a crash during an append leaves every
// record of the changes that returned.
//
// Processes: every access to the file takes an exclusive lock on PATH.lock (flock; LockFileEx on
// Windows) for the length of that access only, so two minihost processes may run at once. Before
// each change the store reads what other processes appended since it last looked (or the whole
// file, when they compacted it), then appends after it: nobody's records are lost or overwritten.
// Reads answer from memory: they see this store's changes and those of other processes up to the
// last change or catch_up().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/guid.h"
#include "minihost/host/index_store_io.h"

namespace minihost {

// The reading and writing of the file format above.
namespace index_store_format {

constexpr uint8_t magic[8] = {'K', 'I', 'V', 'I', 'D', 'X', 'S', 0x1A};
constexpr uint32_t version = 1;
constexpr size_t header_size = 24;
constexpr uint8_t marker[4] = {'k', 'i', 'v', 'R'};
constexpr size_t record_overhead = 52;  // bytes of a record besides its data
constexpr uint32_t max_user_data_size = 16u << 20;

enum class record_kind : uint32_t { put = 1, seen = 2, drop = 3 };

struct record {
    record_kind kind;
    GUID index;
    uint64_t key;
    uint64_t time;        // 100-ns units since 1601
    const uint8_t* data;  // N bytes; points into the bytes read
    uint32_t size;        // N
};

// What reading a stretch of the log found. Offsets count from the start of the stretch.
struct scan_result {
    size_t valid_end = 0;        // just after the last valid record; the stretch's start if none
    uint64_t damaged_bytes = 0;  // skipped before the last valid record
    uint64_t records = 0;        // valid records
};

// Calls `apply` for each valid record of the `size` bytes at `bytes` (records only, no header),
// in order, skipping damaged ones as described above. Never reads outside the bytes.
scan_result scan(const uint8_t* bytes, size_t size, const std::function<void(const record&)>& apply);

// Appends the encoded record to `out`.
void append(std::vector<uint8_t>& out, const record& record);

// The header of a file of generation `generation`.
std::vector<uint8_t> header(uint64_t generation);

// What the first bytes of a file are: a header (its generation), the start of one or nothing (an
// empty store), or something else.
enum class header_state { valid, empty, foreign, newer_version };
header_state read_header(const uint8_t* bytes, size_t size, uint64_t& generation);

}  // namespace index_store_format

// 100-nanosecond units since 1601-01-01 00:00 UTC (the scale of a Windows file time).
using store_clock = std::function<uint64_t()>;
// The system's clock on that scale.
uint64_t system_store_time();

constexpr uint64_t store_ticks_per_second = 10'000'000;
constexpr uint64_t store_ticks_per_day = 86'400 * store_ticks_per_second;

struct index_store_options {
    // Where the file lives and how it is locked; null: the system's files.
    std::shared_ptr<index_store_io> io;
    // The time of writes and sightings; null: system_store_time.
    store_clock clock;
    // A sighting is written down only when the key's time is older than this; drop_unseen allows
    // for it, so a key is never dropped before the period has passed since it was last seen.
    uint64_t seen_resolution = store_ticks_per_day;
    // The log is compacted once it is bigger than this and more than half of it is dead.
    uint64_t compact_threshold = 64 * 1024;
};

// The user data of every index and key, kept in the log file at one path.
//
// Thread safety: every operation may be called from any thread; reads run in parallel with each
// other, changes one at a time. Changes raise zorb::exception with the path and the system's
// reason when the file cannot be written; the store is then as it was before the call (in memory
// and on disk: the failed append is not part of the store, see above).
class index_store {
public:
    // Opens the store at `path` (UTF-8), reading the whole log; a missing file is an empty store,
    // made on the first change. Raises zorb::exception when the file cannot be read, is not an
    // index store, or was written by a newer version.
    explicit index_store(std::string path, index_store_options options = {});
    index_store(const index_store&) = delete;
    index_store& operator=(const index_store&) = delete;

    const std::string& path() const { return path_; }

    // The user data of `key` in `index`; empty when there is none.
    std::vector<uint8_t> read(const GUID& index, uint64_t key) const;
    // Makes `size` bytes the user data of `key`, replacing what was stored, durably. Zero bytes
    // drop the key: "no user data" and "empty user data" are one and the same. Raises
    // zorb::exception_invalid_params for more than max_user_data_size bytes.
    void write(const GUID& index, uint64_t key, const void* data, size_t size);
    // Drops the user data of `key`; nothing happens when there is none.
    void drop(const GUID& index, uint64_t key);
    // The keys of `index` that have user data, in ascending order.
    std::vector<uint64_t> keys(const GUID& index) const;

    // Retention. A key's time is when its user data was last written or a library track last had
    // it. The index manager calls mark_seen with the keys of the library's tracks whenever it scans
    // the library, and drop_unseen at start-up after that first scan.
    //
    // Notes that library tracks have these keys now; keys without user data are passed over.
    void mark_seen(const GUID& index, const std::vector<uint64_t>& keys);
    // Drops the user data of every key of `index` whose time is more than `period` (100-ns units)
    // plus the seen resolution ago; returns those keys, in ascending order.
    std::vector<uint64_t> drop_unseen(const GUID& index, uint64_t period);
    // The time of `key`; none when it has no user data.
    std::optional<uint64_t> time_of(const GUID& index, uint64_t key) const;

    // Reads what other processes changed since this store last looked.
    void catch_up();
    // Rewrites the log with exactly the live keys. Raises like a change.
    void compact();

    struct status {
        size_t keys = 0;             // with user data, over all indexes
        uint64_t file_bytes = 0;     // of the log, up to its last valid record
        uint64_t live_bytes = 0;     // what a compacted log would take
        uint64_t damaged_bytes = 0;  // skipped when the file was last read whole
    };
    status state() const;

private:
    struct entry {
        std::vector<uint8_t> data;
        uint64_t time = 0;
    };
    using index_bytes = std::array<uint8_t, 16>;
    using index_entries = std::unordered_map<uint64_t, entry>;
    // What the log says, as applied record by record.
    struct contents {
        std::map<index_bytes, index_entries> indexes;
        uint64_t record_bytes = 0;  // of the put records a compacted log would hold
        void apply(const index_store_format::record& record);
        const index_entries* entries_of(const GUID& index) const;
    };

    // The *_locked functions run with mutex_ held for changing and the file lock taken.
    void load_locked();
    void catch_up_locked();
    void append_locked(const std::vector<uint8_t>& records);
    void compact_locked();
    void compact_if_due_locked();
    // Catches up, appends what `build` encodes from the state caught up, and applies it.
    void change(const std::function<void(std::vector<uint8_t>&)>& build);
    uint64_t live_bytes() const { return index_store_format::header_size + contents_.record_bytes; }

    std::string path_;
    std::shared_ptr<index_store_io> io_;
    store_clock clock_;
    uint64_t seen_resolution_;
    uint64_t compact_threshold_;

    mutable std::shared_mutex mutex_;
    contents contents_;
    bool file_made_ = false;  // the file holds a valid header of generation_
    uint64_t generation_ = 0;
    uint64_t end_ = 0;  // offset just after the last valid record
    uint64_t damaged_bytes_ = 0;
};

}  // namespace minihost
