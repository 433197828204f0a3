// The service model shared by the host and the component.
//
// Every object that crosses the boundary derives from `service_base`; its first three virtual slots
// are `release`, `add_ref` and `query`, in that order. Interface classes name their class GUID and
// their parent interface, so `query` can answer for the object's own class and every base.
// There is deliberately no virtual destructor in `service_base`: it would take slots of its own.
// Objects are deleted by their implementation wrapper, which knows the most derived type.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "host/guid.h"

class service_base {
public:
    // Each may be called on any thread. `release` and `add_ref` return the count after the change
    // (singletons answer 1). `query` answers true and stores `this` with one reference added
    // when the object implements the interface `interface_guid`; otherwise it leaves `out` alone.
    virtual int release() = 0;
    virtual int add_ref() = 0;
    virtual bool query(service_base*& out, const GUID& interface_guid) = 0;

    static constexpr GUID class_guid = {0xD9CA81CF, 0xCB6D, 0x4B9B, {0x9C, 0xEB, 0x59, 0xCA, 0x3F, 0xC4, 0xFC, 0x32}};

protected:
    ~service_base() = default;
};

// True when `interface_guid` names T's class or one of its bases. Interface classes declare
// `class_guid` and `parent_t`; implementation classes inherit both from their interface and must
// declare neither.
template <typename T>
bool service_class_matches(const GUID& interface_guid) {
    if (interface_guid == T::class_guid) return true;
    if constexpr (std::is_same_v<T, service_base>) {
        return false;
    } else {
        return service_class_matches<typename T::parent_t>(interface_guid);
    }
}

// The class a service is published under: the class of its interface, or for a later version of an
// interface (which names the class it extends as `service_class_t`) that class, so the host finds
// every version through the one class it enumerates and queries for the newer operations.
template <typename T>
constexpr const GUID& service_class_guid() {
    if constexpr (requires { typename T::service_class_t; }) {
        return T::service_class_t::class_guid;
    } else {
        return T::class_guid;
    }
}

// Owns one reference to a service object.
template <typename T>
class service_ptr_t {
public:
    service_ptr_t() = default;
    service_ptr_t(T* object) : object_(object) {
        if (object_) object_->add_ref();
    }
    service_ptr_t(const service_ptr_t& other) : service_ptr_t(other.object_) {}
    service_ptr_t(service_ptr_t&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    // A reference to a derived class serves as one to its base.
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    service_ptr_t(const service_ptr_t<U>& other) : service_ptr_t(static_cast<T*>(other.get())) {}
    ~service_ptr_t() { reset(); }
    service_ptr_t& operator=(service_ptr_t other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }

    // Takes over a reference that the caller already holds (as handed out by `query` or a factory).
    static service_ptr_t adopt(T* object) {
        service_ptr_t ptr;
        ptr.object_ = object;
        return ptr;
    }

    void reset() {
        if (T* object = std::exchange(object_, nullptr)) object->release();
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // The object seen through interface U, or an empty pointer when it does not implement U.
    template <typename U>
    service_ptr_t<U> query_as() const {
        service_base* out = nullptr;
        if (object_ == nullptr || !object_->query(out, U::class_guid)) return {};
        return service_ptr_t<U>::adopt(static_cast<U*>(out));
    }

private:
    T* object_ = nullptr;
};

using service_ptr = service_ptr_t<service_base>;

// A created service object: an atomic 32-bit reference count; the object deletes itself when the
// count drops to zero. It starts at zero, so whoever creates it takes the first reference.
template <typename T>
class service_impl_t final : public T {
public:
    template <typename... Args>
    explicit service_impl_t(Args&&... args) : T(std::forward<Args>(args)...) {}

    int add_ref() override { return ++count_; }
    int release() override {
        const int32_t count = --count_;
        if (count == 0) delete this;
        return count;
    }
    bool query(service_base*& out, const GUID& interface_guid) override {
        if (!service_class_matches<T>(interface_guid)) return false;
        add_ref();
        out = static_cast<service_base*>(this);
        return true;
    }

private:
    std::atomic<int32_t> count_{0};
};

// A static singleton: lives as long as its module, counts nothing.
template <typename T>
class service_impl_single_t final : public T {
public:
    template <typename... Args>
    explicit service_impl_single_t(Args&&... args) : T(std::forward<Args>(args)...) {}

    int add_ref() override { return 1; }
    int release() override { return 1; }
    bool query(service_base*& out, const GUID& interface_guid) override {
        if (!service_class_matches<T>(interface_guid)) return false;
        out = static_cast<service_base*>(this);
        return true;
    }
};

// Publishes one service class. Each factory puts itself at the head of its module's list when it
// is constructed (at static initialisation), so the list holds the factories in reverse creation
// order. The host walks the list with `get_next` and calls `instance_create` on any thread.
class service_factory_base {
public:
    service_factory_base(const service_factory_base&) = delete;
    service_factory_base& operator=(const service_factory_base&) = delete;

    const GUID& get_class_guid() const { return class_guid_; }
    service_factory_base* get_next() const { return next_; }

    // Stores the instance with one reference owned by the caller: a new object, or the singleton.
    virtual void instance_create(service_base*& out) = 0;

    // The head of this module's list. Inline, so every module (the DLL, the host) has its own.
    static inline service_factory_base* list_head = nullptr;

protected:
    explicit service_factory_base(const GUID& class_guid) : class_guid_(class_guid), next_(list_head) {
        list_head = this;
    }
    ~service_factory_base() = default;

private:
    GUID class_guid_;
    service_factory_base* next_;
};

// Factory of a created service: every instance_create makes a new object.
template <typename T>
class service_factory_t final : public service_factory_base {
public:
    service_factory_t() : service_factory_base(service_class_guid<T>()) {}
    void instance_create(service_base*& out) override {
        auto* object = new service_impl_t<T>();
        object->add_ref();
        out = static_cast<service_base*>(object);
    }
};

// Factory of a singleton: hands out the one instance it holds, made from the factory's arguments.
template <typename T>
class service_factory_single_t final : public service_factory_base {
public:
    template <typename... Args>
    explicit service_factory_single_t(Args&&... args)
        : service_factory_base(service_class_guid<T>()), instance_(std::forward<Args>(args)...) {}
    void instance_create(service_base*& out) override { out = static_cast<service_base*>(&instance_); }

private:
    service_impl_single_t<T> instance_;
};
