#include "minihost/host/index_store.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>

#include "zorb/exception.h"

namespace minihost {

namespace format = index_store_format;

namespace {

constexpr uint64_t everything = std::numeric_limits<uint64_t>::max();

std::array<uint8_t, 16> bytes_of(const GUID& index) {
    std::array<uint8_t, 16> bytes{};
    host_guid::to_bytes(index, bytes.data());
    return bytes;
}

uint64_t fresh_generation(uint64_t now) {
    try {
        std::random_device random;
        return (uint64_t(random()) << 32 | random()) ^ now;
    } catch (const std::exception&) {
        return now;  // any number will do while it differs from the one before
    }
}

format::record make_record(format::record_kind kind, const GUID& index, uint64_t key, uint64_t time,
                           const void* data = nullptr, size_t size = 0) {
    return {kind, index, key, time, static_cast<const uint8_t*>(data), uint32_t(size)};
}

}  // namespace

uint64_t system_store_time() {
    using ticks = std::chrono::duration<int64_t, std::ratio<1, store_ticks_per_second>>;
    constexpr uint64_t seconds_from_1601_to_1970 = 11'644'473'600;
    const int64_t since_1970 =
        std::chrono::duration_cast<ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
    return uint64_t(since_1970) + seconds_from_1601_to_1970 * store_ticks_per_second;
}

index_store::index_store(std::string path, index_store_options options)
    : path_(std::move(path)),
      io_(options.io ? std::move(options.io) : system_index_store_io()),
      clock_(options.clock ? std::move(options.clock) : store_clock(system_store_time)),
      seen_resolution_(options.seen_resolution),
      compact_threshold_(options.compact_threshold) {
    std::unique_lock guard(mutex_);
    const auto file_lock = io_->lock(path_);
    load_locked();
    // Damage would be skipped again at every start; a rewrite removes it.
    compact_if_due_locked();
}

void index_store::load_locked() {
    std::vector<uint8_t> bytes;
    uint64_t file_size = 0;
    uint64_t generation = 0;
    const bool found = io_->read(path_, 0, everything, bytes, file_size);
    format::header_state header = format::header_state::empty;
    if (found) header = format::read_header(bytes.data(), bytes.size(), generation);
    switch (header) {
        case format::header_state::empty:
            contents_ = {};
            file_made_ = false;
            generation_ = end_ = damaged_bytes_ = 0;
            return;
        case format::header_state::foreign:
            throw zorb::exception(path_ + " is not an index store");
        case format::header_state::newer_version:
            throw zorb::exception("The index store " + path_ + " was written by a newer version of minihost");
        case format::header_state::valid:
            break;
    }
    contents fresh;
    const format::scan_result result =
        format::scan(bytes.data() + format::header_size, bytes.size() - format::header_size,
                     [&fresh](const format::record& record) { fresh.apply(record); });
    contents_ = std::move(fresh);
    file_made_ = true;
    generation_ = generation;
    end_ = format::header_size + result.valid_end;
    damaged_bytes_ = result.damaged_bytes;
}

void index_store::catch_up_locked() {
    std::vector<uint8_t> bytes;
    uint64_t file_size = 0;
    uint64_t generation = 0;
    // Made, replaced or removed by someone else: read anew.
    if (!file_made_ || !io_->read(path_, 0, format::header_size, bytes, file_size) ||
        format::read_header(bytes.data(), bytes.size(), generation) != format::header_state::valid ||
        generation != generation_ || file_size < end_) {
        load_locked();
        return;
    }
    if (file_size == end_) return;
    io_->read(path_, end_, everything, bytes, file_size);
    const format::scan_result result =
        format::scan(bytes.data(), bytes.size(), [this](const format::record& record) { contents_.apply(record); });
    end_ += result.valid_end;
    damaged_bytes_ += result.damaged_bytes;
}

void index_store::contents::apply(const format::record& record) {
    const index_bytes index = bytes_of(record.index);
    switch (record.kind) {
        case format::record_kind::put: {
            auto [place, fresh] = indexes[index].try_emplace(record.key);
            entry& target = place->second;
            if (!fresh) record_bytes -= format::record_overhead + target.data.size();
            target.data.assign(record.data, record.data + record.size);
            target.time = fresh ? record.time : std::max(target.time, record.time);
            record_bytes += format::record_overhead + record.size;
            break;
        }
        case format::record_kind::seen:
        case format::record_kind::drop: {
            const auto entries = indexes.find(index);
            if (entries == indexes.end()) break;
            const auto found = entries->second.find(record.key);
            if (found == entries->second.end()) break;
            if (record.kind == format::record_kind::seen) {
                found->second.time = std::max(found->second.time, record.time);
            } else {
                record_bytes -= format::record_overhead + found->second.data.size();
                entries->second.erase(found);
            }
            break;
        }
    }
}

void index_store::append_locked(const std::vector<uint8_t>& records) {
    if (!file_made_) {
        const uint64_t generation = fresh_generation(clock_());
        std::vector<uint8_t> bytes = format::header(generation);
        bytes.insert(bytes.end(), records.begin(), records.end());
        io_->replace(path_, bytes.data(), bytes.size());
        file_made_ = true;
        generation_ = generation;
        end_ = bytes.size();
        return;
    }
    try {
        io_->write_at(path_, end_, records.data(), records.size());
    } catch (const zorb::exception&) {
        // What reached the file is cut again, so that another process does not take it up; if
        // even that fails, the next append writes over it.
        try {
            io_->write_at(path_, end_, nullptr, 0);
        } catch (const zorb::exception&) {
        }
        throw;
    }
    end_ += records.size();
}

void index_store::change(const std::function<void(std::vector<uint8_t>&)>& build) {
    std::unique_lock guard(mutex_);
    const auto file_lock = io_->lock(path_);
    catch_up_locked();
    std::vector<uint8_t> records;
    build(records);
    if (records.empty()) return;
    append_locked(records);
    // Memory takes the bytes as they were written, through the reader that reads them back.
    format::scan(records.data(), records.size(), [this](const format::record& record) { contents_.apply(record); });
    compact_if_due_locked();
}

void index_store::compact_if_due_locked() {
    const bool bloated = end_ > compact_threshold_ && end_ - live_bytes() > live_bytes();
    if (!damaged_bytes_ && !bloated) return;
    try {
        compact_locked();
    } catch (const zorb::exception&) {
        // The log is readable as it stands (on a read-only disk too); the next change tries again.
    }
}

void index_store::compact_locked() {
    const uint64_t generation = file_made_ ? generation_ + 1 : fresh_generation(clock_());
    std::vector<uint8_t> out = format::header(generation);
    out.reserve(size_t(live_bytes()));
    for (const auto& [index_key, entries] : contents_.indexes) {
        const GUID index = host_guid::from_bytes(index_key.data());
        std::vector<uint64_t> keys;
        keys.reserve(entries.size());
        for (const auto& item : entries) keys.push_back(item.first);
        std::sort(keys.begin(), keys.end());
        for (const uint64_t key : keys) {
            const entry& found = entries.at(key);
            format::append(out, make_record(format::record_kind::put, index, key, found.time, found.data.data(),
                                            found.data.size()));
        }
    }
    io_->replace(path_, out.data(), out.size());
    file_made_ = true;
    generation_ = generation;
    end_ = out.size();
    damaged_bytes_ = 0;
}

const index_store::index_entries* index_store::contents::entries_of(const GUID& index) const {
    const auto found = indexes.find(bytes_of(index));
    return found == indexes.end() ? nullptr : &found->second;
}

std::vector<uint8_t> index_store::read(const GUID& index, uint64_t key) const {
    std::shared_lock guard(mutex_);
    const index_entries* entries = contents_.entries_of(index);
    if (!entries) return {};
    const auto found = entries->find(key);
    return found == entries->end() ? std::vector<uint8_t>{} : found->second.data;
}

void index_store::write(const GUID& index, uint64_t key, const void* data, size_t size) {
    if (size == 0) return drop(index, key);
    if (size > format::max_user_data_size)
        throw zorb::exception_invalid_params("User data of " + std::to_string(size) +
                                             " bytes is more than the 16 MiB a key can hold");
    change([&](std::vector<uint8_t>& out) {
        format::append(out, make_record(format::record_kind::put, index, key, clock_(), data, size));
    });
}

void index_store::drop(const GUID& index, uint64_t key) {
    change([&](std::vector<uint8_t>& out) {
        const index_entries* entries = contents_.entries_of(index);
        if (entries && entries->count(key))
            format::append(out, make_record(format::record_kind::drop, index, key, clock_()));
    });
}

std::vector<uint64_t> index_store::keys(const GUID& index) const {
    std::shared_lock guard(mutex_);
    std::vector<uint64_t> out;
    if (const index_entries* entries = contents_.entries_of(index)) {
        out.reserve(entries->size());
        for (const auto& item : *entries) out.push_back(item.first);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void index_store::mark_seen(const GUID& index, const std::vector<uint64_t>& keys) {
    change([&](std::vector<uint8_t>& out) {
        const index_entries* entries = contents_.entries_of(index);
        if (!entries) return;
        const uint64_t now = clock_();
        std::vector<uint64_t> sorted = keys;
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        for (const uint64_t key : sorted) {
            const auto found = entries->find(key);
            if (found != entries->end() && now > found->second.time && now - found->second.time >= seen_resolution_)
                format::append(out, make_record(format::record_kind::seen, index, key, now));
        }
    });
}

std::vector<uint64_t> index_store::drop_unseen(const GUID& index, uint64_t period) {
    std::vector<uint64_t> dropped;
    change([&](std::vector<uint8_t>& out) {
        dropped.clear();
        const index_entries* entries = contents_.entries_of(index);
        if (!entries) return;
        const uint64_t now = clock_();
        const uint64_t allowed = period > everything - seen_resolution_ ? everything : period + seen_resolution_;
        for (const auto& [key, found] : *entries)
            if (now > found.time && now - found.time > allowed) dropped.push_back(key);
        std::sort(dropped.begin(), dropped.end());
        for (const uint64_t key : dropped) format::append(out, make_record(format::record_kind::drop, index, key, now));
    });
    return dropped;
}

std::optional<uint64_t> index_store::time_of(const GUID& index, uint64_t key) const {
    std::shared_lock guard(mutex_);
    const index_entries* entries = contents_.entries_of(index);
    if (!entries) return std::nullopt;
    const auto found = entries->find(key);
    if (found == entries->end()) return std::nullopt;
    return found->second.time;
}

void index_store::catch_up() {
    std::unique_lock guard(mutex_);
    const auto file_lock = io_->lock(path_);
    catch_up_locked();
}

void index_store::compact() {
    std::unique_lock guard(mutex_);
    const auto file_lock = io_->lock(path_);
    catch_up_locked();
    compact_locked();
}

index_store::status index_store::state() const {
    std::shared_lock guard(mutex_);
    status out;
    for (const auto& item : contents_.indexes) out.keys += item.second.size();
    out.file_bytes = end_;
    out.live_bytes = live_bytes();
    out.damaged_bytes = damaged_bytes_;
    return out;
}

}  // namespace minihost
