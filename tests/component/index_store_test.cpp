// The index store: what a crash, a damaged byte, a failing disk or a second process leaves of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "minihost/host/index_store.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"
#include "zorb/files.h"

namespace {

using minihost::index_store;
using minihost::memory_index_store_io;
namespace format = minihost::index_store_format;

constexpr GUID track_index = {0x88CF3F09, 0x26A8, 0x42EF, {0xB7, 0xB8, 0x42, 0x21, 0xB9, 0x62, 0x26, 0x78}};
constexpr GUID album_index = {0xD94BA576, 0x7FAB, 0x4F1B, {0xBE, 0x5E, 0x4F, 0x8E, 0x9D, 0x5F, 0x30, 0xF1}};
constexpr uint64_t day = minihost::store_ticks_per_day;

// A store on files in memory with a clock the test sets.
struct memory_store {
    std::shared_ptr<memory_index_store_io> io = std::make_shared<memory_index_store_io>();
    uint64_t now = 1000 * day;
    minihost::index_store_options options(uint64_t compact_threshold = 1 << 20) {
        return {io, [this] { return now; }, day, compact_threshold};
    }
    index_store open(uint64_t compact_threshold = 1 << 20) { return index_store("store", options(compact_threshold)); }
    std::vector<uint8_t>& file() { return io->files["store"]; }
};

void write_text(index_store& store, const GUID& index, uint64_t key, const std::string& text) {
    store.write(index, key, text.data(), text.size());
}

// "T1=one A7=abc": every key of both indexes with its data as text.
std::string dump(const index_store& store) {
    std::string out;
    for (const auto& [letter, index] : {std::pair{"T", track_index}, std::pair{"A", album_index}}) {
        for (const uint64_t key : store.keys(index)) {
            const std::vector<uint8_t> data = store.read(index, key);
            if (!out.empty()) out += ' ';
            out.append(letter).append(std::to_string(key)).append("=").append(data.begin(), data.end());
        }
    }
    return out;
}

// Stored files rely on these bytes: a change of the format is a new version.
TEST(IndexStore, WritesTheDocumentedLayout) {
    memory_store memory;
    memory.now = 0x0102030405060708;
    index_store store = memory.open();
    const uint8_t rating_3[] = {3, 0, 0, 0};
    store.write(track_index, 0xAB, rating_3, sizeof rating_3);
    const std::vector<uint8_t> expected = {'K',  'I',  'V',  'I',  'D',  'X',  'S',  0x1A, 1,    0,    0,    0,
                                           0,    0,    0,    0,  // and 8 bytes of generation
                                           0x6B, 0x69, 0x76, 0x52, 0x01, 0x00, 0x00, 0x00, 0x09, 0x3F, 0xCF, 0x88,
                                           0xA8, 0x26, 0xEF, 0x42, 0xB7, 0xB8, 0x42, 0x21, 0xB9, 0x62, 0x26, 0x78,
                                           0xAB, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x07, 0x06, 0x05,
                                           0x04, 0x03, 0x02, 0x01, 0x04, 0x00, 0x00, 0x00, 0xE0, 0x29, 0x14, 0xA2,
                                           0x03, 0x00, 0x00, 0x00, 0x87, 0x70, 0x97, 0x77};
    std::vector<uint8_t> file = memory.file();
    ASSERT_EQ(file.size(), expected.size() + 8);
    file.erase(file.begin() + 16, file.begin() + 24);
    EXPECT_EQ(file, expected);
}

TEST(IndexStore, AFileCutAtEveryByteReadsAsTheLastCompleteState) {
    // Each step's changes, and the whole store after them.
    struct step {
        std::function<void(index_store&)> change;
        const char* after;
    };
    const step steps[] = {
        {[](index_store& s) { write_text(s, track_index, 1, "3333"); }, "T1=3333"},
        {[](index_store& s) { write_text(s, album_index, 1, "rated 0 with comment"); },
         "T1=3333 A1=rated 0 with comment"},
        {[](index_store& s) { write_text(s, track_index, 1, "5555"); }, "T1=5555 A1=rated 0 with comment"},
        {[](index_store& s) {
             s.mark_seen(track_index, {1, 2});
         },
         "T1=5555 A1=rated 0 with comment"},
        {[](index_store& s) { s.drop(album_index, 1); }, "T1=5555"},
        {[](index_store& s) { write_text(s, album_index, 1, "back"); }, "T1=5555 A1=back"}};
    memory_store memory;
    std::vector<size_t> step_ends;
    {
        index_store store = memory.open();
        for (const step& s : steps) {
            memory.now += 2 * day;  // so that the sighting is written down
            s.change(store);
            step_ends.push_back(memory.file().size());
        }
    }
    const std::vector<uint8_t> whole = memory.file();
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        memory.file().assign(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
        std::string expected;
        for (size_t i = 0; i < std::size(steps); ++i)
            if (step_ends[i] <= cut) expected = steps[i].after;
        index_store store = memory.open();
        ASSERT_EQ(dump(store), expected) << "cut at " << cut;
        // Whatever the cut left behind is written over, and a later reader sees the change.
        write_text(store, track_index, 3, "after");
        EXPECT_EQ(dump(memory.open()), dump(store)) << "cut at " << cut;
    }
}

TEST(IndexStore, ADamagedByteCostsOnlyTheRecordItIsIn) {
    memory_store memory;
    {
        index_store store = memory.open();
        write_text(store, track_index, 1, "one");
        write_text(store, track_index, 1, "two!");  // the second record, 56 bytes
        write_text(store, track_index, 2, "three");
    }
    const std::vector<uint8_t> whole = memory.file();
    const size_t second = format::header_size + format::record_overhead + 3;
    std::vector<std::tuple<size_t, std::string, unsigned>> cases;  // offset, store read, rewrites
    // The second record's marker, kind, length, header check, data and record check.
    for (const size_t part : {0, 5, 40, 46, 49, 54}) cases.emplace_back(second + part, "T1=one T2=three", 1);
    cases.emplace_back(whole.size() - 8, "T1=two!", 0);  // the last record: as if cut short
    cases.emplace_back(14, "T1=two! T2=three", 0);       // the header's unused bytes
    for (const auto& [offset, after, rewrites] : cases) {
        memory.file() = whole;
        memory.io->writes = 0;
        memory.file()[offset] ^= 0x10;
        index_store store = memory.open();
        EXPECT_EQ(dump(store), after) << offset;
        EXPECT_EQ(store.state().damaged_bytes, 0u) << offset;  // rewritten at once...
        EXPECT_EQ(memory.io->writes, rewrites) << offset;
        EXPECT_EQ(dump(memory.open()), after) << offset;  // ...as it was read
    }
}

TEST(IndexStore, WhatIsNotAnIndexStoreIsLeftAlone) {
    const std::vector<uint8_t> valid = format::header(7);
    std::vector<uint8_t> newer = valid;
    newer[8] = 2;
    const std::string text = "rating=5\n";
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {{text.begin(), text.end()}, "store is not an index store"},
        {newer, "The index store store was written by a newer version of minihost"}};
    for (const auto& [bytes, failure] : cases) {
        memory_store memory;
        memory.file() = bytes;
        EXPECT_EQ(test_support::failure_text([&] { memory.open(); }), failure);
        EXPECT_EQ(memory.file(), bytes) << failure;  // left alone
    }
}

TEST(IndexStore, AFailedWriteIsAnErrorAndLeavesTheStoreAsItWas) {
    for (const size_t written : {size_t(0), size_t(30), format::record_overhead + 3}) {
        memory_store memory;
        index_store store = memory.open();
        write_text(store, track_index, 1, "old");
        memory.io->fail_after = written;
        EXPECT_EQ(test_support::failure_text([&] { write_text(store, track_index, 1, "new"); }),
                  "Cannot write the index store: the device failed");
        EXPECT_EQ(dump(store), "T1=old") << written;
        EXPECT_EQ(dump(memory.open()), "T1=old") << written;
        write_text(store, track_index, 2, "next");
        EXPECT_EQ(dump(memory.open()), "T1=old T2=next") << written;
    }
    // The first write makes the file; when that fails there is none.
    memory_store memory;
    index_store store = memory.open();
    memory.io->fail_after = 10;
    EXPECT_THROW(write_text(store, track_index, 1, "x"), zorb::exception);
    EXPECT_EQ(memory.io->files.count("store"), 0u);
    // The system's files: a folder that is not there.
    test_support::scratch_folder folder("index-store-failure");
    const std::string path = folder.file("missing/index.bin");
    EXPECT_EQ(test_support::failure_text([&] {
                  index_store nowhere(path);
              }).rfind("Cannot lock the index store " + path + ": ", 0),
              0u);
    EXPECT_THROW(write_text(store, track_index, 1, std::string(format::max_user_data_size + 1, 'x')),
                 zorb::exception_invalid_params);
}

TEST(IndexStore, TwoStoresOnOneFileEachSeeTheOthersChanges) {
    test_support::scratch_folder folder("index-store-two");
    const std::string path = folder.file("index.bin");
    constexpr uint64_t last_key = 0xFFFFFFFFFFFFFFFF;
    index_store first(path);
    index_store second(path);  // opened before the first wrote anything
    write_text(first, track_index, 1, "first");
    write_text(second, track_index, 2, "second");
    write_text(first, track_index, last_key, "first again");
    EXPECT_EQ(dump(second), "T1=first T2=second");  // reads come from memory...
    second.catch_up();
    EXPECT_EQ(dump(second), "T1=first T2=second T18446744073709551615=first again");  // ...until it looks again
    // A new file under the second's feet, longer than the log it read.
    write_text(first, track_index, 1, "first, rewritten");
    write_text(first, track_index, 5, "five");
    first.compact();
    write_text(second, album_index, 4, "after the compaction");
    write_text(first, track_index, 2, "");  // the same as a drop
    first.drop(album_index, 7);             // nothing to drop
    EXPECT_EQ(dump(index_store(path)),
              "T1=first, rewritten T5=five T18446744073709551615=first again A4=after the compaction");
}

// Runs index_store_writer (which writes `count` keys from `first_key` on into `path`) once for
// each run, all at the same time; true when every one ended well.
bool run_writers(const std::string& path, std::initializer_list<std::pair<int, int>> runs) {
    std::string program = INDEX_STORE_WRITER;
#ifdef _WIN32
    std::replace(program.begin(), program.end(), '/', '\\');  // the system's shell reads "/" as an option
#endif
    std::atomic<bool> well{true};
    std::vector<std::thread> writers;
    for (const auto& [first_key, count] : runs)
        writers.emplace_back([&, first_key, count] {
            const std::string command =
                program + " " + path + " " + std::to_string(first_key) + " " + std::to_string(count);
            if (std::system(command.c_str()) != 0) well = false;
        });
    for (std::thread& writer : writers) writer.join();
    return well;
}

TEST(IndexStore, TwoProcessesKeepEachOthersRecords) {
    test_support::scratch_folder folder("index-store-processes");
    const std::string path = folder.file("index.bin");
    // At once, each compacting the file under the other's feet now and then, after a first one.
    EXPECT_TRUE(run_writers(path, {{1000, 20}}));
    EXPECT_TRUE(run_writers(path, {{2000, 150}, {3000, 150}}));
    index_store store(path);
    const std::vector<uint64_t> keys = store.keys(track_index);
    ASSERT_EQ(keys.size(), 320u);
    for (const uint64_t key : keys) {
        const std::string expected = "final " + std::to_string(key);
        EXPECT_EQ(store.read(track_index, key), std::vector<uint8_t>(expected.begin(), expected.end()));
    }
}

TEST(IndexStore, CompactionKeepsExactlyTheLatestRecords) {
    memory_store memory;
    {
        index_store store = memory.open();
        for (int round = 0; round < 5; ++round) {
            memory.now += day;
            for (uint64_t key = 0; key < 10; ++key)
                write_text(store, key % 2 ? track_index : album_index, key, "round " + std::to_string(round));
        }
        memory.now += 3 * day;
        store.mark_seen(album_index, {0, 2});
        store.drop(track_index, 3);
        store.drop(album_index, 4);
        const std::string before = dump(store);
        const uint64_t live = store.state().live_bytes;
        store.compact();
        EXPECT_EQ(memory.file().size(), live);
        EXPECT_EQ(before, dump(store));
    }
    index_store reopened = memory.open(4096);
    EXPECT_EQ(dump(reopened),
              "T1=round 4 T5=round 4 T7=round 4 T9=round 4 A0=round 4 A2=round 4 A6=round 4 A8=round 4");
    EXPECT_EQ(reopened.state().live_bytes, memory.file().size());
    EXPECT_EQ(reopened.time_of(album_index, 0), memory.now);  // seen after the last write
    EXPECT_EQ(reopened.time_of(album_index, 6), memory.now - 3 * day);

    // Written over and over, the log stays within twice the threshold.
    for (int i = 0; i < 2000; ++i) write_text(reopened, track_index, 1, "click " + std::to_string(i));
    EXPECT_LE(reopened.state().file_bytes, 2 * 4096u);
    EXPECT_EQ(dump(memory.open(4096)),
              "T1=click 1999 T5=round 4 T7=round 4 T9=round 4 A0=round 4 A2=round 4 A6=round 4 A8=round 4");
}

TEST(IndexStore, RetentionDropsOnlyKeysUnseenForLongerThanThePeriod) {
    // Times in hours from the first write. With its resolution of a day, the store keeps a key for
    // at least the period since it was last written or seen, and at most a day longer.
    constexpr uint64_t hour = day / 24;
    constexpr int64_t never = -1;
    // When the key was seen, rewritten, checked; whether it is kept.
    const std::tuple<int64_t, int64_t, uint64_t, bool> cases[] = {
        {never, never, 28 * 24 + 12, true},
        {never, never, 29 * 24 + 1, false},
        {20 * 24, never, 48 * 24 + 12, true},
        {20 * 24, never, 49 * 24 + 1, false},
        {12, never, 28 * 24 + 20, true},  // the sighting within the resolution is not written down...
        {12, never, 29 * 24 + 1, false},  // ...and is more than the period ago here
        {never, 10 * 24, 38 * 24 + 12, true},
        {never, 10 * 24, 39 * 24 + 1, false},
        {never, never, 0, true}};  // a clock that has gone back
    for (const auto& [seen, rewritten, checked, kept] : cases) {
        memory_store memory;
        const uint64_t start = memory.now;
        index_store store = memory.open();
        write_text(store, track_index, 1, "rated");
        write_text(store, album_index, 1, "another index");
        if (seen != never) {
            memory.now = start + uint64_t(seen) * hour;
            store.mark_seen(track_index, {1, 2});  // 2 has no user data and gets none
        }
        if (rewritten != never) {
            memory.now = start + uint64_t(rewritten) * hour;
            write_text(store, track_index, 1, "rated again");
        }
        memory.now = checked ? start + checked * hour : start - 40 * day;
        const std::vector<uint64_t> dropped = store.drop_unseen(track_index, 28 * day);
        const std::vector<uint64_t> left = kept ? std::vector<uint64_t>{1} : std::vector<uint64_t>{};
        EXPECT_EQ(dropped.size(), 1 - left.size()) << checked;
        EXPECT_EQ(memory.open().keys(track_index), left) << checked;
        EXPECT_EQ(memory.open().keys(album_index), std::vector<uint64_t>{1}) << checked;
    }
}

TEST(IndexStore, ThreadsWriteAndReadAtOnce) {
    memory_store memory;
    index_store store = memory.open(4096);
    std::vector<std::thread> threads;
    for (uint64_t thread = 0; thread < 4; ++thread)
        threads.emplace_back([&store, thread] {
            for (uint64_t key = thread * 100; key < thread * 100 + 100; ++key) {
                write_text(store, track_index, key, std::to_string(key));
                EXPECT_FALSE(store.read(track_index, key).empty());
                store.keys(track_index);
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(memory.open().keys(track_index).size(), 400u);
}

}  // namespace
