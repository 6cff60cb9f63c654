// Aligned text tables for a terminal. Cells are UTF-8; columns are measured in terminal cells, so
// Hangul and other East Asian wide characters count two and combining marks none.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexa_cli {

// 0 for combining and zero-width characters, 2 for East Asian wide and fullwidth ones, else 1.
int CodePointWidth(char32_t c);
// The columns the text takes; a malformed byte counts one (it is shown as U+FFFD).
size_t DisplayWidth(std::string_view text);

// Text from the service made safe for one line of a terminal: line breaks and tabs become spaces,
// other control characters (escape sequences among them) and malformed bytes become U+FFFD.
std::string TerminalText(std::string_view text);
// At most `width` columns, ending in "…" where something was cut off.
std::string FitToWidth(std::string_view text, size_t width);

enum class Align { Left, Right };

struct TableColumn {
    std::string heading;
    Align align = Align::Left;
    size_t maxWidth = 0;  // 0: as wide as the widest cell
};

// Headings, a rule, then one line per row; every column as wide as its widest cell, two spaces
// apart, no trailing blanks. Cells pass through TerminalText (and FitToWidth for a bounded column).
// With boldHeadings, the headings line is bold (for a terminal).
std::string RenderTable(const std::vector<TableColumn>& columns,
                        const std::vector<std::vector<std::string>>& rows, bool boldHeadings = false);

}  // namespace vexa_cli
