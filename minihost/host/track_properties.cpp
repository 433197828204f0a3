#include "minihost/host/track_properties.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "host/file_info_impl.h"
#include "host/filesystem.h"
#include "host/service_lookup.h"
#include "host/track_property.h"
#include "minihost/host/host.h"
#include "minihost/host/titleformat.h"
#include "zorb/string.h"

namespace minihost {
namespace {

constexpr char various[] = "<various>";

// A value common to every track, or "<various>".
class common_value {
public:
    void take(const std::string& value) {
        if (!value_)
            value_ = value;
        else if (*value_ != value)
            value_ = various;
    }
    const std::optional<std::string>& value() const { return value_; }

private:
    std::optional<std::string> value_;
};

// Fields in the order first met, each with its common value; a field some tracks lack is various.
class common_fields {
public:
    void take(size_t track, const std::string& name, const std::string& value) {
        auto found =
            std::find_if(fields_.begin(), fields_.end(), [&](const auto& field) { return field.name == name; });
        if (found == fields_.end()) {
            fields_.push_back({name, {}, track});
            found = fields_.end() - 1;
            if (track > 0) found->value.take("");  // earlier tracks lacked it
        }
        found->value.take(value);
        found->last_track = track;
    }
    void end_track(size_t track) {
        for (auto& field : fields_)
            if (field.last_track != track) field.value.take("");
    }
    template <typename Report>
    void report(Report&& row) const {
        double priority = 0;
        for (const auto& field : fields_) row(field.name, *field.value.value(), priority++);
    }

private:
    struct field {
        std::string name;
        common_value value;
        size_t last_track;
    };
    std::vector<field> fields_;
};

class row_collector final : public track_property_callback {
public:
    explicit row_collector(std::vector<property_row>& rows) : rows_(rows) {}
    void set_property(const char* group, double priority, const char* name, const char* value) override {
        rows_.push_back({group, priority, name, value});
    }
    bool is_group_wanted(const char*) override { return true; }

private:
    std::vector<property_row>& rows_;
};

int group_rank(const std::string& group) {
    if (group == property_group_metadata) return 0;
    if (group == property_group_location) return 1;
    if (group == property_group_general) return 2;
    return 3;
}

// A file time (100 ns since 1601, UTC) as "YYYY-MM-DD hh:mm:ss" UTC.
std::string file_time_text(uint64_t time) {
    constexpr int64_t unix_epoch = 11'644'473'600;
    const int64_t seconds = int64_t(time / 10'000'000) - unix_epoch;
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t of_day = seconds - days * 86400;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t day_of_era = days - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t month_index = (5 * day_of_year + 2) / 153;
    const int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
    const int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
    const int64_t year = year_of_era + era * 400 + (month <= 2);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", (long long)year, (long long)month,
                  (long long)day, (long long)(of_day / 3600), (long long)(of_day / 60 % 60), (long long)(of_day % 60));
    return text;
}

std::string parent_folder(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

void host_rows(host_api& api, const metadb_handle_list& tracks,
               const std::vector<service_ptr_t<track_property_provider>>& providers, std::vector<property_row>& rows) {
    common_fields meta, technical;
    common_value name, folder, path, subsong, modified;
    uint64_t total_size = 0;
    double total_length = 0;
    for (size_t index = 0; index < tracks.get_count(); ++index) {
        const metadb_handle_ptr& track = tracks[index];
        if (!track) continue;
        zorb::string8 shown;
        filesystem::g_get_display_path(api, track->get_path(), shown);
        path.take(shown.str());
        name.take(file_name_of(shown.str()));
        folder.take(parent_folder(shown.str()));
        subsong.take(std::to_string(track->get_subsong_index()));
        file_stats stats{};
        if (track->get_file_stats(stats)) {
            total_size += stats.size;
            modified.take(file_time_text(stats.timestamp));
        }
        file_info_impl info;
        if (!track->get_info(info)) continue;
        total_length += info.get_length();
        for (size_t field = 0; field < info.meta_get_count(); ++field) {
            std::string joined;
            for (size_t value = 0; value < info.meta_enum_value_count(field); ++value)
                joined += (value ? "; " : "") + std::string(info.meta_enum_value(field, value));
            meta.take(index, info.meta_enum_name(field), joined);
        }
        for (size_t field = 0; field < info.info_get_count(); ++field) {
            const char* field_name = info.info_enum_name(field);
            if (std::any_of(providers.begin(), providers.end(),
                            [&](auto& p) { return p->is_our_tech_info(field_name); }))
                continue;
            technical.take(index, field_name, info.info_enum_value(field));
        }
        meta.end_track(index);
        technical.end_track(index);
    }
    const auto add = [&](const char* group, double priority, const std::string& row,
                         const std::optional<std::string>& value) {
        if (value) rows.push_back({group, priority, row, *value});
    };
    meta.report([&](const std::string& field, const std::string& value, double priority) {
        add(property_group_metadata, priority, field, value);
    });
    if (tracks.get_count() > 1) add(property_group_location, 0, "Items selected", std::to_string(tracks.get_count()));
    add(property_group_location, 1, "File name", name.value());
    add(property_group_location, 2, "Folder name", folder.value());
    add(property_group_location, 3, "File path", path.value());
    add(property_group_location, 4, "Subsong index", subsong.value());
    if (modified.value()) {
        add(property_group_location, 5, "File size", std::to_string(total_size) + " bytes");
        add(property_group_location, 6, "Last modified", modified.value());
    }
    if (total_length > 0) add(property_group_general, 0, "Duration", titleformat::format_duration(total_length));
    technical.report([&](const std::string& field, const std::string& value, double priority) {
        add(property_group_general, 1 + priority, field, value);
    });
}

}  // namespace

std::vector<property_row> track_property_rows(host_api& api, const metadb_handle_list& tracks,
                                              std::vector<std::string>* failed) {
    std::vector<service_ptr_t<track_property_provider>> providers;
    const size_t count = service_count_t<track_property_provider>(api);
    for (size_t index = 0; index < count; ++index)
        if (auto provider = service_create_at_t<track_property_provider>(api, index)) providers.push_back(provider);

    std::vector<property_row> rows;
    host_rows(api, tracks, providers, rows);
    for (auto& provider : providers) {
        std::vector<property_row> own;
        row_collector collector(own);
        try {
            if (auto filtered = provider.query_as<track_property_provider_v2>())
                filtered->enumerate_properties_filtered(tracks, collector);
            else
                provider->enumerate_properties(tracks, collector);
        } catch (const std::exception& failure) {
            if (failed) failed->push_back(failure.what());
            continue;
        }
        rows.insert(rows.end(), own.begin(), own.end());
    }
    std::stable_sort(rows.begin(), rows.end(), [](const property_row& a, const property_row& b) {
        const int rank_a = group_rank(a.group), rank_b = group_rank(b.group);
        if (rank_a != rank_b) return rank_a < rank_b;
        if (a.group != b.group) return a.group < b.group;
        return a.priority < b.priority;
    });
    return rows;
}

std::string property_text(const std::vector<property_row>& rows) {
    std::string text;
    const std::string* group = nullptr;
    for (const property_row& row : rows) {
        if (group == nullptr || *group != row.group) text += row.group + "\n";
        group = &row.group;
        text += "  " + row.name + ": " + row.value + "\n";
    }
    return text;
}

}  // namespace minihost
