#include "minihost/host/advconfig.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "host/service_lookup.h"

namespace minihost {
namespace {

struct advconfig_item {
    service_ptr_t<advconfig_entry> entry;  // empty for the host's own branch
    std::string name;
    GUID guid;
    GUID parent;
    double priority;
    bool branch;
    std::string path;  // branch names and its own, separated by "/"; set while the tree is walked
};

std::vector<advconfig_item> collect_items(host_api& api) {
    std::vector<advconfig_item> items;
    items.push_back({{}, advconfig_tools_branch_name, advconfig_tools_branch, GUID{}, 0.0, true, {}});
    const size_t count = service_count_t<advconfig_entry>(api);
    for (size_t index = 0; index < count; ++index) {
        auto entry = service_create_at_t<advconfig_entry>(api, index);
        if (!entry) continue;
        zorb::string8 name;
        entry->entry_name(name);
        const bool branch = static_cast<bool>(entry.query_as<advconfig_branch>());
        items.push_back(
            {entry, name.str(), entry->entry_guid(), entry->entry_parent(), entry->entry_priority(), branch, {}});
    }
    return items;
}

std::string item_line(const advconfig_item& item) {
    std::string line = item.name;
    if (!item.entry) return line;
    if (auto text_entry = item.entry.query_as<advconfig_entry_string>()) {
        zorb::string8 value;
        text_entry->value_text(value);
        line += ": " + value.str();
    } else if (auto checkbox = item.entry.query_as<advconfig_entry_checkbox>()) {
        line += checkbox->get_state() ? ": on" : ": off";
    }
    return line;
}

// What a check box takes from the command line: on, off and their usual synonyms, in any case.
bool parse_checkbox_value(std::string value, bool& checked) {
    for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* on : {"on", "1", "true", "yes"})
        if (value == on) {
            checked = true;
            return true;
        }
    for (const char* off : {"off", "0", "false", "no"})
        if (value == off) {
            checked = false;
            return true;
        }
    return false;
}

class tree_walk {
public:
    explicit tree_walk(std::vector<advconfig_item>& items) : items_(items), placed_(items.size(), false) {}

    // Visits every item reachable from the roots, depth first, siblings in order.
    template <typename Visit>
    void walk(Visit&& visit) {
        walk_children(GUID{}, 0, "", visit);
        // What hangs from nowhere: listed by its parent's GUID.
        for (size_t i = 0; i < items_.size(); ++i)
            if (!placed_[i]) {
                const GUID orphan_parent = items_[i].parent;
                visit_orphans(orphan_parent, visit);
            }
    }

private:
    template <typename Visit>
    void visit_orphans(const GUID& parent, Visit& visit) {
        advconfig_item heading{{}, "(no branch " + host_guid::to_text(parent) + ")", GUID{}, GUID{}, 0.0, true, {}};
        visit(heading, 0);
        walk_children(parent, 1, heading.name, visit);
    }

    template <typename Visit>
    void walk_children(const GUID& parent, int depth, const std::string& path, Visit& visit) {
        std::vector<size_t> children;
        for (size_t i = 0; i < items_.size(); ++i)
            if (!placed_[i] && items_[i].parent == parent) children.push_back(i);
        std::sort(children.begin(), children.end(), [&](size_t a, size_t b) {
            if (items_[a].priority != items_[b].priority) return items_[a].priority < items_[b].priority;
            return items_[a].name < items_[b].name;
        });
        for (size_t i : children) placed_[i] = true;
        for (size_t i : children) {
            advconfig_item& item = items_[i];
            item.path = path.empty() ? item.name : path + "/" + item.name;
            visit(item, depth);
            if (item.branch) walk_children(item.guid, depth + 1, item.path, visit);
        }
    }

    std::vector<advconfig_item>& items_;
    std::vector<bool> placed_;
};

}  // namespace

void print_advconfig_tree(host_api& api, std::ostream& out) {
    std::vector<advconfig_item> items = collect_items(api);
    tree_walk(items).walk([&](const advconfig_item& item, int depth) {
        out << std::string(static_cast<size_t>(depth) * 2, ' ') << item_line(item) << '\n';
    });
    out.flush();
}

bool set_advconfig_value(host_api& api, const std::string& name, const std::string& value, std::ostream& out,
                         std::string& error) {
    std::vector<advconfig_item> items = collect_items(api);
    std::vector<advconfig_item*> matches;
    tree_walk(items).walk([&](advconfig_item& item, int) {
        if (!item.branch && (item.name == name || item.path == name)) matches.push_back(&item);
    });
    if (matches.size() > 1) {
        error = "several advanced settings are named " + name + "; give the path";
        return false;
    }
    service_ptr_t<advconfig_entry_string> text_entry;
    service_ptr_t<advconfig_entry_checkbox> checkbox;
    if (!matches.empty() && matches[0]->entry) {
        text_entry = matches[0]->entry.query_as<advconfig_entry_string>();
        checkbox = matches[0]->entry.query_as<advconfig_entry_checkbox>();
    }
    if (text_entry) {
        text_entry->set_value_text(value.data(), value.size());
    } else if (checkbox) {
        bool checked = false;
        if (!parse_checkbox_value(value, checked)) {
            error = name + " takes on or off, not " + value;
            return false;
        }
        checkbox->set_state(checked);
    } else {
        error = "no advanced setting named " + name;
        return false;
    }
    out << item_line(*matches[0]) << '\n';
    out.flush();
    return true;
}

}  // namespace minihost
