// minihost.exe tags: a file's meta fields as its input reads them, and new values for them written
// through the input's info writer, so that a person can check what a tag command did.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/records.h"
#include "minihost/app/command_line.h"

namespace minihost {

// tags FILE [FIELD=VALUE...]
int tags_command(command_context& context, const arguments_t& arguments);

struct tag_assignment {
    std::string field;
    std::string value;  // UTF-8; empty removes the field
};

// "FIELD=VALUE" (the value may hold further "="). False for text without "=" or with no field name.
bool parse_tag_assignment(const std::string& text, tag_assignment& out);

// The first assignment of a field replaces every value it had, later ones of the same field add
// values; an empty value removes the field.
void apply_tag_assignments(const std::vector<tag_assignment>& assignments, file_info& info);

// "PATH: INPUT", then a line "  FIELD=VALUE" per meta value (or "  (no tags)"), the length and a
// line "  NAME: VALUE" per technical field.
void print_tags(const std::string& path, const std::string& input, const file_info& info, std::ostream& out);

}  // namespace minihost
