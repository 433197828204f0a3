// The information record as a value: what the host keeps for a track, and a fresh record for
// whoever needs one to read into or to change. Header-only, so the host and a component build the
// same class; both link the same C++ runtime, so a record may travel between them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/records.h"

class file_info_impl final : public file_info {
public:
    using field = std::pair<std::string, std::string>;

    file_info_impl() = default;
    file_info_impl(const file_info_impl&) = default;
    file_info_impl& operator=(const file_info_impl&) = default;
    explicit file_info_impl(const file_info& other) { copy_from(other); }

    double get_length() const override { return length_; }
    void set_length(double seconds) override { length_ = seconds; }
    void meta_add(const char* name, const char* value) override {
        size_t index = meta_find(name);
        if (index == npos) {
            index = meta_.size();
            meta_.push_back({name, {}});
        }
        meta_[index].values.emplace_back(value);
    }
    void info_set(const char* name, const char* value) override {
        if (const size_t index = info_find(name); index != npos)
            info_[index].second = value;
        else
            info_.emplace_back(name, value);
    }

    size_t meta_get_count() const override { return meta_.size(); }
    size_t meta_find(const char* name) const override {
        for (size_t i = 0; i < meta_.size(); ++i)
            if (same_name(meta_[i].name, name)) return i;
        return npos;
    }
    const char* meta_enum_name(size_t index) const override { return meta_[index].name.c_str(); }
    size_t meta_enum_value_count(size_t index) const override { return meta_[index].values.size(); }
    const char* meta_enum_value(size_t index, size_t value_index) const override {
        return meta_[index].values[value_index].c_str();
    }
    void meta_remove_index(size_t index) override { meta_.erase(meta_.begin() + static_cast<std::ptrdiff_t>(index)); }

    size_t info_get_count() const override { return info_.size(); }
    size_t info_find(const char* name) const override {
        for (size_t i = 0; i < info_.size(); ++i)
            if (same_name(info_[i].first, name)) return i;
        return npos;
    }
    const char* info_enum_name(size_t index) const override { return info_[index].first.c_str(); }
    const char* info_enum_value(size_t index) const override { return info_[index].second.c_str(); }
    void info_remove_index(size_t index) override { info_.erase(info_.begin() + static_cast<std::ptrdiff_t>(index)); }

    void reset() override {
        length_ = 0;
        meta_.clear();
        info_.clear();
    }

    // Technical fields in the order first set.
    const std::vector<field>& info() const { return info_; }

private:
    struct meta_field {
        std::string name;
        std::vector<std::string> values;
    };

    static bool same_name(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
            if (fold(a[i]) != fold(b[i])) return false;
        }
        return true;
    }

    double length_ = 0;
    std::vector<meta_field> meta_;
    std::vector<field> info_;
};
