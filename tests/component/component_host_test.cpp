// The component inside minihost, linked in-process (start and stop, console, lookups, identity), and
// what it stands on: the service model and the configuration records.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "component/identity.h"
#include "helpers/client.h"
#include "helpers/config_records.h"
#include "helpers/console.h"
#include "host/service_lookup.h"
#include "minihost/app/component_commands.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"

namespace {

// Registered before the component's services, so the first of the host's initquits.
class console_initquit : public initquit {
public:
    void on_init() override { ambrel::console_print("host: on_init"); }
    void on_quit() override { ambrel::console_print("host: on_quit"); }
};

class ComponentInHost : public ::testing::Test {
protected:
    void SetUp() override {
        host.add_service(console_receiver::class_guid, console);
        host.add_service(initquit::class_guid, service_ptr(new service_impl_t<console_initquit>()));
        host.start({velmora_get_interface, nullptr, "C:\\velmora\\components\\kiv_ambrel.dll"});
    }

    test_support::scratch_folder folder{"component-host"};
    service_ptr_t<test_support::capture_console> console = test_support::make_capture_console();
    minihost::host host{folder.file("config.bin")};
};

TEST_F(ComponentInHost, ConsoleLinesAppearOnlyWhileServicesAreUpAndTheHostAnswersThreadAndShutdown) {
    EXPECT_TRUE(host.is_main_thread());
    bool elsewhere = true;
    std::thread([&] { elsewhere = host.is_main_thread(); }).join();
    EXPECT_FALSE(elsewhere);
    EXPECT_FALSE(host.is_shutting_down());
    ambrel::console_print("while up");
    host.stop();
    ambrel::console_print("after shutdown");
    EXPECT_EQ(console->lines(),
              (std::vector<std::string>{"host: on_init", "kiv_ambrel component: on_init()", "while up", "host: on_quit",
                                        "kiv_ambrel component: on_quit()"}));
    EXPECT_TRUE(host.is_shutting_down());
    EXPECT_FALSE(ambrel::host_services_initialised());
    EXPECT_TRUE(ambrel::host_services_were_initialised());
}

TEST_F(ComponentInHost, ServicesListedInReverseCreationOrder) {
    std::ostringstream services;
    minihost::list_services(host, services);
    std::istringstream lines(services.str());
    std::string kinds;
    for (std::string line; std::getline(lines, line);) kinds += line.substr(0, line.find(' ')) + " ";
    EXPECT_EQ(kinds,
              "ui_element ui_element track_property_provider mainmenu_commands contextmenu_item "
              "metadb_display_field_provider initquit init_stage_callback preferences_page advconfig_entry "
              "advconfig_entry advconfig_entry play_callback_static initquit mainmenu_commands mainmenu_commands "
              "mainmenu_group component_installation_validator componentversion input_file_type input_entry initquit "
              "dsp_entry contextmenu_item contextmenu_group ");
}

TEST_F(ComponentInHost, InstallationCheckTakesTheNameAfterTheLastSeparator) {
    const std::pair<const char*, bool> cases[] = {
        {"C:\\Program Files\\velmora\\components\\kiv_ambrel.dll", true},
        {"C:\\Program Files\\velmora\\components\\KIV_AMBREL.DLL", false},  // case counts
        {"C:kiv_ambrel.dll", true},                                         // drive prefix, no folder
        {"/opt/velmora/kiv_ambrel.dll", true},
        {"archive.zip|kiv_ambrel.dll", true},
        {"kiv_ambrel.dll", true},
        {"C:\\kiv_ambrel.dll\\", false},  // ends in a separator: empty name
        {"C:\\components\\old_kiv_ambrel.dll", false}};
    auto validator = service_lookup_one_t<component_installation_validator>(host);
    for (const auto& [path, installed] : cases) {
        host.client().set_library_path(path, "");
        EXPECT_EQ(validator->check_installation(), installed) << path;
    }
}

// The service model.
constexpr GUID base_interface_guid = {0x0E9B3D6A, 0x1C1F, 0x4A8C, {0x9B, 0x55, 0x21, 0x6E, 0x4B, 0xA0, 0x77, 0x13}};

class base_interface : public service_base {
public:
    static constexpr GUID class_guid = base_interface_guid;
    using parent_t = service_base;
};

std::atomic<int> live_objects{0};

class counted_object : public base_interface {
public:
    counted_object() { ++live_objects; }
    ~counted_object() { --live_objects; }
};

TEST(ServiceModel, ReferenceCountsHoldUnderSeveralThreadsAndTheObjectGoesAtZeroOnly) {
    ASSERT_EQ(live_objects, 0);
    auto* object = new service_impl_t<counted_object>();
    EXPECT_EQ(object->add_ref(), 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                service_ptr_t<counted_object> copy = object;  // add_ref
                service_base* queried = nullptr;
                if (copy->query(queried, base_interface_guid)) queried->release();
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(object->add_ref(), 2);  // every added reference was given back
    EXPECT_EQ(object->release(), 1);
    EXPECT_EQ(live_objects, 1);
    EXPECT_EQ(object->release(), 0);
    EXPECT_EQ(live_objects, 0);
}

// The configuration records.
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

TEST(ConfigRecords, VariableSeesOnlyItsOwnRecordAndWhatItLeavesIsSkipped) {
    config_variable_list list;
    recording_variable greedy(first_guid, list), frugal(second_guid, list, 1);
    parse(list, join({record(second_guid, {9, 8, 7, 6}), record(first_guid, {5, 4})}));
    EXPECT_EQ(frugal.received, (bytes_t{9}));
    EXPECT_EQ(frugal.announced_size, 4u);
    // Had the parser not skipped 8, 7, 6, the next record would be misread.
    EXPECT_EQ(greedy.received, (bytes_t{5, 4}));
}

// Records that are unknown, cut short or damaged are handed to nobody; those before them count.
TEST(ConfigRecords, OnlyWholeRecordsAreHandedOver) {
    bytes_t header_only = record(first_guid, {});
    header_only.resize(18);
    const std::pair<bytes_t, bytes_t> cases[] = {
        {join({record(unknown_guid, {1, 2, 3}), record(first_guid, {42})}), {42}},
        {header_only, {}},
        {record(first_guid, {1, 2, 3}, 4), {}},
        {record(first_guid, {1, 2, 3}, 0xFFFFFFFF), {}},
        {join({record(first_guid, {7}), record(first_guid, {1}, 2)}), {7}}};
    for (const auto& [bytes, received] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        config_variable_list list;
        recording_variable known(first_guid, list);
        parse(list, bytes);
        EXPECT_EQ(known.reads, received.empty() ? 0 : 1);
        EXPECT_EQ(known.received, received);
    }
}

// A variable that fails to load is spared by the others in the DLL's own test; here, to save.
TEST(ConfigRecords, VariableFailingToSaveSparesTheOthers) {
    config_variable_list list;
    recording_variable healthy(first_guid, list), failing(second_guid, list, 1, true);
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

}  // namespace
