// The service model of the host interface: query, reference counts, singletons.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/identity.h"
#include "host/service.h"

namespace {

constexpr GUID base_interface_guid = {0x0E9B3D6A, 0x1C1F, 0x4A8C, {0x9B, 0x55, 0x21, 0x6E, 0x4B, 0xA0, 0x77, 0x13}};
constexpr GUID derived_interface_guid = {0x5B2F0C91, 0xA2D4, 0x4F0B, {0x8E, 0x31, 0x90, 0x4C, 0x1D, 0x7A, 0x2E, 0x66}};

class base_interface : public service_base {
public:
    static constexpr GUID class_guid = base_interface_guid;
    using parent_t = service_base;
};

class derived_interface : public base_interface {
public:
    static constexpr GUID class_guid = derived_interface_guid;
    using parent_t = base_interface;
};

std::atomic<int> live_objects{0};

class counted_object : public derived_interface {
public:
    counted_object() { ++live_objects; }
    ~counted_object() { --live_objects; }
};

TEST(ServiceModel, QueryAnswersForOwnAndBaseClassesOnlyAndAddsTheCallersReference) {
    service_ptr_t<counted_object> object(new service_impl_t<counted_object>());
    for (const GUID& guid : {derived_interface_guid, base_interface_guid, service_base::class_guid}) {
        service_base* out = nullptr;
        ASSERT_TRUE(object->query(out, guid)) << host_guid::to_text(guid);
        EXPECT_EQ(out, static_cast<service_base*>(object.get()));
        EXPECT_EQ(object->add_ref(), 3);
        object->release();
        out->release();
    }
    service_base* untouched = nullptr;
    EXPECT_FALSE(object->query(untouched, initquit::class_guid));
    EXPECT_EQ(untouched, nullptr);
    EXPECT_FALSE(object.query_as<console_receiver>());
    EXPECT_TRUE(object.query_as<base_interface>());
}

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

TEST(ServiceModel, SingletonCountsNothing) {
    service_impl_single_t<counted_object> singleton;
    EXPECT_EQ(singleton.add_ref(), 1);
    EXPECT_EQ(singleton.add_ref(), 1);
    EXPECT_EQ(singleton.release(), 1);
    EXPECT_EQ(singleton.release(), 1);
    service_base* out = nullptr;
    EXPECT_TRUE(singleton.query(out, derived_interface_guid));
    EXPECT_EQ(out, static_cast<service_base*>(&singleton));
    EXPECT_EQ(live_objects, 1);
}

}  // namespace
