#include "sample/rating/rating_services.h"

#include <functional>
#include <set>

#include "helpers/console.h"
#include "helpers/popup.h"
#include "helpers/track_text.h"
#include "host/shared.h"
#include "sample/commands/command_rows.h"
#include "sample/commands/context_commands.h"
#include "sample/commands/main_commands.h"
#include "sample/rating/rating_store.h"

namespace ambrel {
namespace {

constexpr char console_prefix[] = "[kiv_sample rating] ";

const char* const field_names[] = {"kiv_sample_track_rating",  "kiv_sample_album_rating", "kiv_sample_track_comment",
                                   "kiv_sample_album_comment", "kiv_sample_track_hash",   "kiv_sample_album_hash"};
constexpr uint32_t field_count = sizeof field_names / sizeof field_names[0];

const command_row context_rows[] = {
    {"Cycle track rating",
     {0x05D71C93, 0x5D38, 0x4E63, {0x97, 0x66, 0x8F, 0xB7, 0x6D, 0xC7, 0xC5, 0x9E}},
     "Alters kiv_sample's track rating on one or more selected tracks. Use %kiv_sample_track_rating% to display the "
     "rating."},
    {"Cycle album rating",
     {0xF3972846, 0x7C32, 0x44FA, {0xBD, 0x0A, 0x68, 0x86, 0x65, 0x69, 0x4B, 0x7D}},
     "Alters kiv_sample's album rating on one or more selected tracks. Use %kiv_sample_album_rating% to display the "
     "rating."},
    {"Cycle track comment",
     {0x67A6D984, 0xE499, 0x4F86, {0xB9, 0xCB, 0x66, 0x8E, 0x59, 0xB8, 0xD0, 0xE6}},
     "Alters kiv_sample's track comment on one or more selected tracks. Use %kiv_sample_track_comment% to display the "
     "comment."},
    {"Cycle album comment",
     {0x4541DFA5, 0x7976, 0x43AA, {0xB9, 0x73, 0x10, 0xC3, 0x26, 0x55, 0x5A, 0x5C}},
     "Alters kiv_sample's album comment on one or more selected tracks. Use %kiv_sample_album_comment% to display the "
     "comment."},
};
constexpr unsigned context_count = sizeof context_rows / sizeof context_rows[0];

constexpr command_row dump_row = {"Dump rating database",
                                  {0x53327BAA, 0xBAA4, 0x478E, {0x87, 0x24, 0xF7, 0x38, 0x04, 0x15, 0xF7, 0x27}},
                                  "Shows a dump of the kiv_sample rating database."};

const GUID& index_of_parity(unsigned number) { return number % 2 ? guid_album_index : guid_track_index; }

// The keys of `tracks` in ascending order, and the record of the first track's key (empty when
// the first track has none).
struct selection_keys {
    std::set<metadb_index_hash> keys;
    rating_record first;
};

selection_keys keys_of(const GUID& index, const metadb_handle_list& tracks) {
    metadb_index_client& client = client_for_index(index);
    selection_keys found;
    for (size_t position = 0; position < tracks.get_count(); ++position) {
        const std::optional<metadb_index_hash> key = hash_of(client, tracks[position]);
        if (!key) continue;
        found.keys.insert(*key);
        if (position == 0) found.first = read_record(index, *key);
    }
    return found;
}

// The steps both cycles share: `change` sets a record to the new value and says whether it changed.
void cycle(const GUID& index, const metadb_handle_list& tracks,
           const std::function<std::function<bool(rating_record&)>(const rating_record& first)>& plan) {
    if (tracks.empty()) return;
    const selection_keys selection = keys_of(index, tracks);
    if (selection.keys.empty()) {
        console_print(std::string(console_prefix) +
                      "Could not hash any of the tracks due to unavailable metadata, bailing");
        return;
    }
    const auto change = plan(selection.first);
    metadb_index_hash_list changed;
    for (const metadb_index_hash key : selection.keys) {
        rating_record record = read_record(index, key);
        if (!change(record)) continue;
        write_record(index, key, record);
        changed.push_back(key);
    }
    console_print(std::string(console_prefix) + std::to_string(changed.size()) + " entries updated");
    if (!changed.empty()) index_manager()->dispatch_refresh(index, changed.data(), changed.size());
}

void enumerate(const GUID& index, const char* kind, double base, const metadb_handle_list& tracks,
               track_property_callback& out) {
    metadb_index_client& client = client_for_index(index);
    std::set<metadb_index_hash> keys;
    for (const metadb_handle_ptr& track : tracks)
        if (const auto key = hash_of(client, track)) keys.insert(*key);
    rating_summary summary;
    for (const metadb_index_hash key : keys) summary.take(read_record(index, key));
    const char* group = "Sample Component";
    const std::string kind_text = kind;
    out.set_property(group, base + 0, ("Average " + kind_text + " Rating").c_str(), summary.average_text().c_str());
    out.set_property(group, base + 1, ("Minimum " + kind_text + " Rating").c_str(), summary.minimum_text().c_str());
    out.set_property(group, base + 2, ("Maximum " + kind_text + " Rating").c_str(), summary.maximum_text().c_str());
    if (!summary.comment.empty())
        out.set_property(group, base + 3, (kind_text + " Comment").c_str(), summary.comment.c_str());
}

}  // namespace

uint32_t metadb_display_field_provider_impl::get_field_count() { return field_count; }

void metadb_display_field_provider_impl::get_field_name(uint32_t index, zorb::string_base& out) {
    if (index < field_count) out.set_string(field_names[index]);
}

bool metadb_display_field_provider_impl::process_field(uint32_t index, const metadb_handle_ptr& track,
                                                       titleformat_text_out& out) {
    if (index >= field_count) return false;
    const GUID& which = index_of_parity(index);
    const std::optional<metadb_index_hash> key = hash_of(client_for_index(which), track);
    if (!key) return false;
    if (index >= 4) {
        const std::string text = key_text_16(*key);
        out.write(titleformat_inputtypes_meta, text.data(), text.size());
        return true;
    }
    const rating_record record = read_record(which, *key);
    if (index < 2) {
        if (record.rating == 0) return false;
        out.write_int(titleformat_inputtypes_meta, record.rating);
        return true;
    }
    if (record.comment.empty()) return false;
    out.write(titleformat_inputtypes_meta, record.comment.data(), record.comment.size());
    return true;
}

unsigned contextmenu_rating::get_num_items() { return context_count; }

void contextmenu_rating::get_item_name(unsigned index, zorb::string_base& out) {
    if (index < context_count) out.set_string(context_rows[index].name);
}

GUID contextmenu_rating::get_item_guid(unsigned index) {
    return command_row_at(context_rows, index, "kiv_ambrel: rating command index out of range").guid;
}

bool contextmenu_rating::get_item_description(unsigned index, zorb::string_base& out) {
    if (index >= context_count) return false;
    out.set_string(context_rows[index].description);
    return true;
}

GUID contextmenu_rating::get_parent() { return guid_context_group; }

bool contextmenu_rating::context_get_display(unsigned index, const metadb_handle_list& data, zorb::string_base& out,
                                             unsigned&, const GUID&) {
    if (data.empty()) return false;
    get_item_name(index, out);
    return true;
}

void contextmenu_rating::context_command(unsigned index, const metadb_handle_list& data, const GUID&) {
    if (index >= context_count) return;
    if (index < 2)
        cycle_rating(index_of_parity(index), data);
    else
        cycle_comment(index_of_parity(index), data);
}

void cycle_rating(const GUID& index, const metadb_handle_list& tracks) {
    cycle(index, tracks, [](const rating_record& first) {
        const uint32_t rating = next_rating(first.rating);
        return [rating](rating_record& record) {
            if (record.rating == rating) return false;
            record.rating = rating;
            return true;
        };
    });
}

void cycle_comment(const GUID& index, const metadb_handle_list& tracks) {
    cycle(index, tracks, [](const rating_record& first) {
        const std::string comment = next_comment(first.comment);
        return [comment](rating_record& record) {
            if (record.comment == comment) return false;
            record.comment = comment;
            return true;
        };
    });
}

GUID mainmenu_rating::get_command(uint32_t index) {
    if (index != 0) uBugCheck("kiv_ambrel: rating dump command index out of range");
    return dump_row.guid;
}

void mainmenu_rating::get_name(uint32_t, zorb::string_base& out) { out.set_string(dump_row.name); }

bool mainmenu_rating::get_description(uint32_t, zorb::string_base& out) {
    out.set_string(dump_row.description);
    return true;
}

GUID mainmenu_rating::get_parent() { return guid_main_group; }

bool mainmenu_rating::get_display(uint32_t index, zorb::string_base& text, uint32_t& flags) {
    get_name(index, text);
    flags = 0;
    return true;
}

void mainmenu_rating::execute(uint32_t, service_ptr) {
    std::string text;
    try {
        text = dump_text();
    } catch (const std::exception& failure) {
        popup_message_show(std::string("Rating dump failed") + ": " + failure.what(), "Information", 1);
        return;
    }
    popup_message_show(text, "kiv_sample rating dump", 0);
}

std::string dump_index(const GUID& index) {
    const service_ptr_t<metadb_index_manager> manager = index_manager();
    metadb_index_hash_list keys;
    manager->get_all_hashes(index, keys);
    std::string text = "The database contains " + std::to_string(keys.size()) + " hashes.\n";
    for (const metadb_index_hash key : keys) {
        text += key_text_dump(key) + " : ";
        const rating_record record = read_record(index, key);
        text += record.rating == 0 ? std::string("no rating") : "rating " + std::to_string(record.rating);
        if (!record.comment.empty()) text += ", comment: " + record.comment;
        metadb_handle_list tracks;
        manager->get_ml_handles(index, key, tracks);
        if (tracks.empty()) {
            text += ", no matching tracks in Media Library\n";
            continue;
        }
        text += ", " + std::to_string(tracks.get_count()) + " matching track(s)\n";
        for (const metadb_handle_ptr& track : tracks) text += track_line(track) + "\n";
    }
    return text;
}

std::string dump_text() {
    return "==== TRACK RATING DUMP ====\n" + dump_index(guid_track_index) + "\n\n" + "==== ALBUM RATING DUMP ====\n" +
           dump_index(guid_album_index) + "\n\n";
}

void track_property_provider_impl::enumerate_properties(const metadb_handle_list& tracks,
                                                        track_property_callback& out) {
    enumerate(guid_track_index, "Track", 0, tracks, out);
    enumerate(guid_album_index, "Album", 10, tracks, out);
}

void track_property_provider_impl::enumerate_properties_filtered(const metadb_handle_list& tracks,
                                                                 track_property_callback& out) {
    if (out.is_group_wanted("Sample Component")) enumerate_properties(tracks, out);
}

}  // namespace ambrel
