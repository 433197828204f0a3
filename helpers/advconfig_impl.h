// Advanced-settings branches and integer entries of the component, over its configuration variables.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "helpers/config_records.h"
#include "host/advconfig.h"

namespace ambrel {

// The leading decimal digits of `text` as an unsigned number; no digits give 0. A number too large
// for 64 bits stays at the largest 64-bit value instead of wrapping round to a small one.
uint64_t parse_leading_unsigned(std::string_view text);

}  // namespace ambrel

class advconfig_branch_impl : public advconfig_branch {
public:
    advconfig_branch_impl(const char* name, const GUID& guid, const GUID& parent, double priority)
        : name_(name), guid_(guid), parent_(parent), priority_(priority) {}

    void entry_name(zorb::string_base& out) override { out.set_string(name_.c_str(), name_.size()); }
    GUID entry_guid() override { return guid_; }
    GUID entry_parent() override { return parent_; }
    void reset_entry() override {}
    double entry_priority() override { return priority_; }

private:
    std::string name_;
    GUID guid_;
    GUID parent_;
    double priority_;
};

// An unsigned integer entry shown as decimal text; values outside minimum..maximum are clamped.
// The value lives in a configuration variable with the entry's GUID, in the component's list unless
// another is given.
template <typename T>
class advconfig_entry_integer_impl_ : public advconfig_entry_string_v2 {
    static_assert(std::is_unsigned_v<T>);

public:
    advconfig_entry_integer_impl_(const char* name, const GUID& guid, const GUID& parent, double priority,
                                  T default_value, T minimum, T maximum, uint32_t flags = 0,
                                  config_variable_list& list = component_config_variables())
        : state_(guid, default_value, list),
          default_(default_value),
          minimum_(minimum),
          maximum_(maximum),
          priority_(priority),
          parent_(parent),
          name_(name),
          flags_(flags) {}

    void entry_name(zorb::string_base& out) override { out.set_string(name_.c_str(), name_.size()); }
    GUID entry_guid() override { return state_.guid(); }
    GUID entry_parent() override { return parent_; }
    void reset_entry() override { state_.set(default_); }
    double entry_priority() override { return priority_; }
    void value_text(zorb::string_base& out) override { out.set_string(std::to_string(state_.get()).c_str()); }
    void set_value_text(const char* text, size_t length) override { state_.set(coerce({text, length})); }
    uint32_t value_kind() override { return advconfig_kind_unsigned; }
    void default_text(zorb::string_base& out) override { out.set_string(std::to_string(default_).c_str()); }
    void coerce_text(zorb::string_base& text) override {
        text.set_string(std::to_string(coerce({text.get_ptr(), text.length()})).c_str());
    }
    uint32_t preference_flags() override { return flags_; }

    T get() const { return state_.get(); }

private:
    T coerce(std::string_view text) const {
        const uint64_t parsed = ambrel::parse_leading_unsigned(text);
        if (parsed < minimum_) return minimum_;
        if (parsed > maximum_) return maximum_;
        return static_cast<T>(parsed);
    }

    config_value_t<T> state_;
    T default_;
    T minimum_;
    T maximum_;
    double priority_;
    GUID parent_;
    std::string name_;
    uint32_t flags_;
};

// A check box entry over a configuration variable of its own GUID that lives elsewhere (a page or
// a service may read and write the same variable); it stores 1 checked and 0 not, and reads any
// other byte as checked.
class advconfig_checkbox_impl : public advconfig_entry_checkbox {
public:
    advconfig_checkbox_impl(const char* name, config_value_t<uint8_t>& state, const GUID& parent, double priority,
                            bool default_state)
        : state_(state), name_(name), parent_(parent), priority_(priority), default_(default_state) {}

    void entry_name(zorb::string_base& out) override { out.set_string(name_.c_str(), name_.size()); }
    GUID entry_guid() override { return state_.guid(); }
    GUID entry_parent() override { return parent_; }
    void reset_entry() override { set_state(default_); }
    double entry_priority() override { return priority_; }
    bool get_state() override { return state_.get() != 0; }
    void set_state(bool checked) override { state_.set(checked ? 1 : 0); }

private:
    config_value_t<uint8_t>& state_;
    std::string name_;
    GUID parent_;
    double priority_;
    bool default_;
};
