// What a command prints, kept apart from how: named fields and listings, rendered either as text
// for people (aligned fields, then tables) or as one JSON document for scripts.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "table.h"

namespace vexa_cli {

// Nothing (JSON null, shown as "-" or a blank cell), a number, a text, or a list of texts.
using Value = std::variant<std::monostate, int64_t, std::string, std::vector<std::string>>;

struct Field {
    std::string key;    // JSON member name
    std::string label;  // text label
    Value value;
    bool jsonOnly = false;  // the text says it otherwise (in the footer, say)
};

struct Column {
    std::string key;
    std::string label;
    Align align = Align::Left;
    size_t maxWidth = 0;    // in the text table only; JSON always has the whole value
    bool jsonOnly = false;  // left out of the text table to keep it narrow
};

struct Listing {
    std::string key;
    std::string title;      // a line above the text table; none when empty
    std::string emptyText;  // printed in place of a table without rows
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;  // one value per column
};

struct Report {
    std::vector<Field> fields;
    std::vector<Listing> listings;
    std::string footer;  // a line of text after the listings; not in JSON
};

// With `styled` (a terminal), table headings are bold.
std::string RenderText(const Report& report, bool styled = false);
// One JSON object: the fields by key, then each listing as an array of objects.
void WriteJson(const Report& report, std::ostream& out);

}  // namespace vexa_cli
