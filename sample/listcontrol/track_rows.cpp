#include "sample/listcontrol/track_rows.h"

#include <algorithm>
#include <numeric>

#include "host/file_info_impl.h"
#include "zorb/time_text.h"

namespace ambrel {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string file_name_of(std::string_view path) {
    const size_t separator = path.find_last_of("\\/");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string format_of(const std::string& file_name) {
    const size_t dot = file_name.rfind('.');
    std::string format = dot == std::string::npos ? std::string() : file_name.substr(dot + 1);
    for (char& c : format)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return format;
}

// The seconds a length text ("1:02:03", "3:25") stands for; -1 for an empty one.
double seconds_of(const std::string& length) {
    if (length.empty()) return -1;
    double seconds = 0, group = 0;
    for (char c : length) {
        if (c == ':') {
            seconds = (seconds + group) * 60;
            group = 0;
        } else if (is_digit(c)) {
            group = group * 10 + (c - '0');
        }
    }
    return seconds + group;
}

int compare_cells(const track_rows::cells& a, const track_rows::cells& b, size_t column) {
    if (column != track_rows::length_column) return natural_compare(a[column], b[column]);
    const double seconds_a = seconds_of(a[column]), seconds_b = seconds_of(b[column]);
    return seconds_a < seconds_b ? -1 : seconds_a > seconds_b ? 1 : 0;
}

}  // namespace

track_rows track_rows::of_tracks(const metadb_handle_list& tracks) {
    std::vector<cells> rows;
    for (const metadb_handle_ptr& track : tracks) {
        if (!track) continue;
        file_info_impl info;
        const bool known = track->get_info(info);
        const std::string name = file_name_of(track->get_path());
        const char* title = known ? info.meta_get("title", 0) : nullptr;
        rows.push_back({name, title ? title : "", format_of(name), known ? zorb::length_text(info.get_length()) : ""});
    }
    return track_rows(std::move(rows));
}

track_rows track_rows::sample() {
    return track_rows({{"space_debris.mod", "Space Debris", "MOD", "6:51"},
                       {"2nd_pm.s3m", "Second Reality", "S3M", "4:35"},
                       {"aryx.s3m", "Aryx", "S3M", "3:38"},
                       {"strshine.s3m", "Starshine", "S3M", "5:41"},
                       {"unreal_2.xm", "Unreal II", "XM", "10:12"},
                       {"dope.mod", "Dope", "MOD", "2:05"}});
}

std::vector<list_column> track_rows::columns() {
    return {{"File name", 170}, {"Title", 170}, {"Format", 60}, {"Length", 60, true}};
}

std::vector<size_t> track_rows::sort(size_t column, bool ascending) {
    std::vector<size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int compared = compare_cells(rows_[a], rows_[b], column);
        return ascending ? compared < 0 : compared > 0;
    });
    std::vector<cells> sorted;
    std::vector<size_t> new_position(rows_.size());
    for (size_t position = 0; position < order.size(); ++position) {
        new_position[order[position]] = position;
        sorted.push_back(std::move(rows_[order[position]]));
    }
    rows_ = std::move(sorted);
    return new_position;
}

std::string track_rows::copy_text(const std::vector<size_t>& selected) const {
    std::vector<size_t> rows = selected;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::string text;
    for (size_t row : rows) {
        if (row >= rows_.size()) continue;
        for (size_t column = 0; column < column_count; ++column) text += (column ? "\t" : "") + rows_[row][column];
        text += "\r\n";
    }
    return text;
}

int natural_compare(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            // Runs of digits compare by value: without leading zeros, the longer run is larger.
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            size_t end_a = i, end_b = j;
            while (end_a < a.size() && is_digit(a[end_a])) ++end_a;
            while (end_b < b.size() && is_digit(b[end_b])) ++end_b;
            if (end_a - i != end_b - j) return end_a - i < end_b - j ? -1 : 1;
            if (const int digits = a.substr(i, end_a - i).compare(b.substr(j, end_b - j)); digits != 0) return digits;
            i = end_a;
            j = end_b;
            continue;
        }
        if (fold_ascii(a[i]) != fold_ascii(b[j])) return fold_ascii(a[i]) < fold_ascii(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace ambrel
