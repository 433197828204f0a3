#include "minihost/host/track_format.h"

#include "host/file_info_impl.h"
#include "host/filesystem.h"
#include "host/service_lookup.h"
#include "zorb/unicode.h"

namespace minihost {
namespace {

std::string file_name_with_extension(const char* path) {
    const std::string text = path ? path : "";
    const size_t separator = text.find_last_of("\\/|");
    return separator == std::string::npos ? text : text.substr(separator + 1);
}

class text_sink final : public titleformat_text_out {
public:
    explicit text_sink(titleformat::field_values& values) : values_(values) {}
    void write(const GUID&, const char* text, size_t length) override { values_.add(std::string_view(text, length)); }
    void write_int(const GUID&, int64_t value) override { values_.add(std::to_string(value)); }

private:
    titleformat::field_values& values_;
};

class titleformat_object_impl : public titleformat_object {
public:
    titleformat_object_impl(host_api& api, const char* pattern) : api_(api), pattern_(pattern) {}

    void run_info(const playable_location& location, const file_info* info, zorb::string_base& out) override {
        const std::string text = pattern_.format(track_field_source(api_, location, info, nullptr));
        out.set_string(text.data(), text.size());
    }
    void run_track(const metadb_handle_ptr& track, zorb::string_base& out) override {
        std::string text;
        if (track) {
            file_info_impl info;
            const bool has_info = track->get_info(info);
            text = pattern_.format(track_field_source(api_, track->get_location(), has_info ? &info : nullptr, &track));
        } else {
            const playable_location nowhere{"", 0};
            text = pattern_.format(track_field_source(api_, nowhere, nullptr, nullptr));
        }
        out.set_string(text.data(), text.size());
    }

private:
    host_api& api_;
    titleformat::compiled_pattern pattern_;
};

class titleformat_compiler_impl : public titleformat_compiler {
public:
    explicit titleformat_compiler_impl(host_api& api) : api_(api) {}
    void compile(service_ptr_t<titleformat_object>& out, const char* pattern) override {
        out = service_ptr_t<titleformat_object>(new service_impl_t<titleformat_object_impl>(api_, pattern));
    }

private:
    host_api& api_;
};

}  // namespace

void track_field_source::get_field(std::string_view name, titleformat::field_values& values) const {
    if (name == "path") {
        zorb::string8 shown;
        filesystem::g_get_display_path(api_, location_.path, shown);
        values.add(shown.str());
        return;
    }
    if (name == "filename" || name == "filename_ext") {
        std::string file = file_name_with_extension(location_.path);
        const size_t dot = file.rfind('.');
        if (name == "filename" && dot != std::string::npos && dot > 0) file.resize(dot);
        values.add(file);
        return;
    }
    if (name == "subsong") {
        values.add(std::to_string(location_.subsong));
        return;
    }
    if (name == "playback_time" || name == "ispaused") return;
    if (name == "length") {
        if (info_ && info_->get_length() > 0) values.add(titleformat::format_duration(info_->get_length()));
        return;
    }
    const std::string field(name);
    if (info_) {
        if (const char* technical = info_->info_get(field.c_str())) {
            values.add(technical);
            return;
        }
    }
    if (provider_field(name, values)) return;
    if (info_ == nullptr) return;
    const size_t index = info_->meta_find(field.c_str());
    if (index == file_info::npos) return;
    for (size_t value = 0; value < info_->meta_enum_value_count(index); ++value)
        values.add(info_->meta_enum_value(index, value));
}

bool track_field_source::provider_field(std::string_view name, titleformat::field_values& values) const {
    if (track_ == nullptr) return false;
    const size_t count = service_count_t<metadb_display_field_provider>(api_);
    for (size_t service = 0; service < count; ++service) {
        auto provider = service_create_at_t<metadb_display_field_provider>(api_, service);
        if (!provider) continue;
        const uint32_t fields = provider->get_field_count();
        for (uint32_t index = 0; index < fields; ++index) {
            zorb::string8 field_name;
            provider->get_field_name(index, field_name);
            if (zorb::utf8_lower(field_name.str()) != name) continue;
            text_sink sink(values);
            provider->process_field(index, *track_, sink);
            return true;
        }
    }
    return false;
}

service_ptr make_titleformat_compiler(host_api& api) {
    return service_ptr(new service_impl_t<titleformat_compiler_impl>(api));
}

std::string format_track(host_api& api, const std::string& pattern, const metadb_handle_ptr& track) {
    auto compiler = service_lookup_one_t<titleformat_compiler>(api);
    service_ptr_t<titleformat_object> object;
    compiler->compile(object, pattern.c_str());
    zorb::string8 text;
    object->run_track(track, text);
    return text.str();
}

}  // namespace minihost
