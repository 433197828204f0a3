// The configuration records: the format the host keeps, and a parser that survives damaged data.
#include <gtest/gtest.h>

#include <stdexcept>

#include "helpers/config_records.h"

namespace {

using bytes_t = std::vector<uint8_t>;

constexpr GUID first_guid = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}};
constexpr GUID second_guid = {0xCAFEBABE, 0x0102, 0x0304, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID unknown_guid = {0xDEADBEEF, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

// Keeps every byte of its record and how often it was read; optionally reads only a prefix or fails.
class recording_variable final : public config_variable {
public:
    recording_variable(const GUID& guid, config_variable_list& list, size_t read_limit = SIZE_MAX, bool fail = false)
        : config_variable(guid, list), read_limit_(read_limit), fail_(fail) {}

    void write_data(stream_writer& out, abort_callback& abort) override {
        if (fail_) throw std::runtime_error("cannot save");
        out.write(saved.data(), saved.size(), abort);
    }
    void read_data(stream_reader& in, size_t size, abort_callback& abort) override {
        ++reads;
        announced_size = size;
        received.resize(std::min(size, read_limit_));
        received.resize(in.read(received.data(), received.size(), abort));
        if (fail_) throw std::runtime_error("cannot load");
    }

    bytes_t saved, received;
    size_t announced_size = 0;
    int reads = 0;

private:
    size_t read_limit_;
    bool fail_;
};

// A record whose length field says `length` (by default the data's).
bytes_t record(const GUID& guid, const bytes_t& data, int64_t length = -1) {
    bytes_t bytes(16);
    host_guid::to_bytes(guid, bytes.data());
    const auto stated = uint32_t(length < 0 ? int64_t(data.size()) : length);
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(stated >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

bytes_t join(std::initializer_list<bytes_t> parts) {
    bytes_t bytes;
    for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

void parse(const config_variable_list& list, const bytes_t& bytes) {
    abort_callback_dummy abort;
    config_records_parse(list, bytes.data(), bytes.size(), abort);
}

TEST(ConfigRecords, GuidBytesFollowTheWindowsLayout) {
    bytes_t bytes(16);
    host_guid::to_bytes(second_guid, bytes.data());
    EXPECT_EQ(bytes, (bytes_t{0xBE, 0xBA, 0xFE, 0xCA, 0x02, 0x01, 0x04, 0x03, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(host_guid::from_bytes(bytes.data()) == second_guid);
    EXPECT_EQ("{CAFEBABE-0102-0304-0102-030405060708}", host_guid::to_text(second_guid));
}

TEST(ConfigRecords, WrittenRecordsReadBackIntoFreshVariables) {
    config_variable_list saved_list;
    recording_variable first(first_guid, saved_list), second(second_guid, saved_list);
    first.saved = {1, 2, 3};
    second.saved = {};  // an empty record is still a record
    memory_stream_writer out;
    abort_callback_dummy abort;
    config_records_write(saved_list, out, abort);
    // Newest variable first, each with its header.
    EXPECT_EQ(out.bytes(), join({record(second_guid, {}), record(first_guid, {1, 2, 3})}));

    config_variable_list loaded_list;
    recording_variable first_again(first_guid, loaded_list), second_again(second_guid, loaded_list);
    memory_stream_reader in(out.bytes().data(), out.bytes().size());
    config_records_read(loaded_list, in, abort);
    EXPECT_EQ(first_again.received, (bytes_t{1, 2, 3}));
    EXPECT_EQ(second_again.reads, 1);
    EXPECT_TRUE(second_again.received.empty());
}

TEST(ConfigRecords, VariableSeesOnlyItsOwnRecordAndWhatItLeavesIsSkipped) {
    config_variable_list list;
    recording_variable greedy(first_guid, list), frugal(second_guid, list, 1);
    parse(list, join({record(second_guid, {9, 8, 7, 6}), record(first_guid, {5, 4})}));
    EXPECT_EQ(frugal.received, (bytes_t{9}));
    EXPECT_EQ(frugal.announced_size, 4u);
    // Had the parser not skipped 8, 7, 6, the next record would be misread.
    EXPECT_EQ(greedy.received, (bytes_t{5, 4}));
    EXPECT_EQ(greedy.announced_size, 2u);
}

// Records that are unknown, cut short or damaged are handed to nobody; those before them count.
TEST(ConfigRecords, OnlyWholeRecordsAreHandedOver) {
    bytes_t header_only = record(first_guid, {});
    header_only.resize(18);
    const std::pair<bytes_t, bytes_t> cases[] = {
        {join({record(unknown_guid, {1, 2, 3, 4, 5}), record(first_guid, {42}), bytes_t(15, 0xFF)}), {42}},
        {header_only, {}},
        {record(first_guid, {1, 2, 3}, 4), {}},
        {record(first_guid, {1, 2, 3}, 0xFFFFFFFF), {}},
        {join({record(first_guid, {7}), record(first_guid, {1}, 2)}), {7}},
        {{}, {}},
        {bytes_t(15, 0), {}},
    };
    for (const auto& [bytes, received] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        config_variable_list list;
        recording_variable known(first_guid, list);
        parse(list, bytes);
        EXPECT_EQ(known.reads, received.empty() ? 0 : 1);
        EXPECT_EQ(known.received, received);
    }
}

TEST(ConfigRecords, FailingVariableSparesTheOthers) {
    config_variable_list list;
    recording_variable healthy(first_guid, list), failing(second_guid, list, 1, true);
    parse(list, join({record(second_guid, {1, 2, 3}), record(first_guid, {4, 5})}));
    EXPECT_EQ(failing.reads, 1);
    EXPECT_EQ(healthy.received, (bytes_t{4, 5}));

    // On the way out too: the failing variable loses its record, the other keeps its own.
    failing.saved = {1};
    healthy.saved = {6};
    memory_stream_writer out;
    abort_callback_dummy abort;
    config_records_write(list, out, abort);
    EXPECT_EQ(out.bytes(), record(first_guid, {6}));
}

TEST(ConfigRecords, AbortIsNotSwallowed) {
    config_variable_list list;
    recording_variable known(first_guid, list);
    const bytes_t bytes = record(first_guid, {1});
    class aborted final : public abort_callback {
    public:
        bool is_aborting() const override { return true; }
    } abort;
    EXPECT_THROW(config_records_parse(list, bytes.data(), bytes.size(), abort), velmora_io::exception_aborted);
    memory_stream_writer out;
    EXPECT_THROW(config_records_write(list, out, abort), velmora_io::exception_aborted);
}

TEST(ConfigRecords, ValueVariableIgnoresRecordsTooShortForIt) {
    config_variable_list list;
    config_value_t<int32_t> value(first_guid, 17, list);
    parse(list, record(first_guid, {1, 2}));
    EXPECT_EQ(value.get(), 17);
    parse(list, record(first_guid, {0x78, 0x56, 0x34, 0x12, 0xEE}));
    EXPECT_EQ(value.get(), 0x12345678);
}

}  // namespace
