#include "minihost/host/menu_tree.h"

#include <algorithm>

#include "zorb/exception.h"

namespace minihost {
namespace {

void print_entries(const menu_node& parent, int depth, std::ostream& out) {
    for (const menu_node& entry : parent.children) {
        out << std::string(static_cast<size_t>(depth) * 2, ' ');
        if (entry.kind == menu_node::separator) {
            out << "----\n";
            continue;
        }
        out << entry.text;
        if (entry.flags & menu_flag_checked) out << " [ticked]";
        if (entry.flags & menu_flag_disabled) out << " [disabled]";
        out << '\n';
        if (entry.kind == menu_node::popup) print_entries(entry, depth + 1, out);
    }
}

// Entries below `parent` that `path` names from there, added to `found` once each.
void collect(const menu_node& parent, std::string_view path, std::vector<const menu_node*>& found) {
    for (const menu_node& entry : parent.children) {
        if (entry.kind == menu_node::separator) continue;
        for (const std::string& label : {entry.name, entry.text}) {
            if (label.empty() || !path.starts_with(label)) continue;
            const std::string_view rest = path.substr(label.size());
            if (rest.empty()) {
                if (std::find(found.begin(), found.end(), &entry) == found.end()) found.push_back(&entry);
            } else if (rest.front() == '/' && entry.kind == menu_node::popup) {
                collect(entry, rest.substr(1), found);
            }
        }
    }
}

void collect_everywhere(const menu_node& node, std::string_view path, std::vector<const menu_node*>& found) {
    collect(node, path, found);
    for (const menu_node& entry : node.children)
        if (entry.kind == menu_node::popup) collect_everywhere(entry, path, found);
}

void add_commands(const menu_node& node, std::vector<const menu_node*>& out) {
    for (const menu_node& entry : node.children) {
        if (entry.kind == menu_node::command) out.push_back(&entry);
        if (entry.kind == menu_node::popup) add_commands(entry, out);
    }
}

// The path of `target` below `node`, names joined by "/", into `out`: false when it is not there.
bool path_of(const menu_node& node, const menu_node* target, std::string prefix, std::string& out) {
    for (const menu_node& entry : node.children) {
        if (entry.kind == menu_node::separator) continue;
        const std::string here = prefix.empty() ? entry.name : prefix + "/" + entry.name;
        if (&entry == target) {
            out = here;
            return true;
        }
        if (entry.kind == menu_node::popup && path_of(entry, target, here, out)) return true;
    }
    return false;
}

std::vector<menu_node> arrange_below(const std::vector<menu_part>& parts, const GUID& parent,
                                     std::vector<GUID>& open_groups) {
    std::vector<const menu_part*> members;
    for (const menu_part& part : parts)
        if (part.parent == parent) members.push_back(&part);
    std::stable_sort(members.begin(), members.end(),
                     [](const menu_part* a, const menu_part* b) { return a->priority < b->priority; });
    std::vector<menu_node> entries;
    for (const menu_part* part : members) {
        if (!part->is_group) {
            entries.insert(entries.end(), part->entries.begin(), part->entries.end());
            continue;
        }
        if (std::find(open_groups.begin(), open_groups.end(), part->guid) != open_groups.end()) continue;
        open_groups.push_back(part->guid);
        std::vector<menu_node> inside = arrange_below(parts, part->guid, open_groups);
        open_groups.pop_back();
        if (inside.empty()) continue;
        if (part->popup) {
            menu_node popup;
            popup.kind = menu_node::popup;
            popup.text = popup.name = part->text;
            popup.children = std::move(inside);
            entries.push_back(std::move(popup));
        } else {
            entries.push_back(menu_entry(menu_node::separator));
            for (menu_node& entry : inside) entries.push_back(std::move(entry));
            entries.push_back(menu_entry(menu_node::separator));
        }
    }
    tidy_separators(entries);
    return entries;
}

}  // namespace

std::vector<menu_node> arrange_menu(const std::vector<menu_part>& parts, const GUID& top) {
    std::vector<GUID> open_groups{top};
    return arrange_below(parts, top, open_groups);
}

void tidy_separators(std::vector<menu_node>& entries) {
    std::vector<menu_node> kept;
    for (menu_node& entry : entries) {
        const bool separator = entry.kind == menu_node::separator;
        if (separator && (kept.empty() || kept.back().kind == menu_node::separator)) continue;
        kept.push_back(std::move(entry));
    }
    if (!kept.empty() && kept.back().kind == menu_node::separator) kept.pop_back();
    entries = std::move(kept);
}

void print_menu_tree(const menu_node& root, std::ostream& out) { print_entries(root, 0, out); }

const menu_node& find_menu_command(const menu_node& root, std::string_view path, std::string_view what) {
    std::vector<const menu_node*> found;
    collect_everywhere(root, path, found);
    if (found.empty()) throw zorb::exception("No " + std::string(what) + " named " + std::string(path));
    if (found.size() > 1) {
        std::string list;
        for (const menu_node* entry : found) {
            std::string full;
            path_of(root, entry, "", full);
            list += "\n  " + full;
        }
        throw zorb::exception(std::string(path) + " names several entries; give more of the path:" + list);
    }
    if (found.front()->kind != menu_node::command) throw zorb::exception(std::string(path) + " is a sub-menu");
    return *found.front();
}

void run_menu_command(const menu_node& command, std::string_view path) {
    if (command.flags & menu_flag_disabled) throw zorb::exception(std::string(path) + " is disabled");
    command.run();
}

std::vector<const menu_node*> menu_commands_in_order(const menu_node& root) {
    std::vector<const menu_node*> commands;
    add_commands(root, commands);
    return commands;
}

}  // namespace minihost
