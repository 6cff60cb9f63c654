#include "table.h"

#include <algorithm>
#include <iterator>

#include "terminal_style.h"
#include "utf8.h"

namespace vexa_cli {

namespace {

struct Range {
    char32_t first, last;
};

// Marks that combine with the character before them, and invisible format characters. The
// Hangul vowel and final-consonant jamo join the initial consonant before them into one syllable
// block, so they take no room of their own.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC},   {0x06DF, 0x06E4},   {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x1160, 0x11FF}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302F},
    {0x3099, 0x309A},   {0xD7B0, 0xD7FF},   {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
    {0xE0001, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, and the pictographs terminals draw two cells wide.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x3029},   {0x3030, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C},
    {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4},
    {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7}, {0x1F6EB, 0x1F6EC},
    {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF},
    {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool InRanges(const Range (&ranges)[N], char32_t c) {
    const auto* it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                      [](char32_t value, const Range& r) { return value < r.first; });
    return it != std::begin(ranges) && c <= std::prev(it)->last;
}

template <size_t N>
constexpr bool Ascending(const Range (&ranges)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (ranges[i].first > ranges[i].last || (i && ranges[i - 1].last >= ranges[i].first)) return false;
    return true;
}
static_assert(Ascending(kZeroWidth) && Ascending(kWide), "the lookups search sorted, disjoint ranges");

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";     // U+2026

}  // namespace

int CodePointWidth(char32_t c) {
    if (c == kInvalidCodePoint) return 1;
    if (IsControl(c) || InRanges(kZeroWidth, c)) return 0;
    return InRanges(kWide, c) ? 2 : 1;
}

size_t DisplayWidth(std::string_view text) {
    size_t width = 0;
    for (size_t pos = 0; pos < text.size();) width += CodePointWidth(NextCodePoint(text, pos));
    return width;
}

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t c = NextCodePoint(text, pos);
        if (c == '\n' || c == '\r' || c == '\t') {
            out += ' ';
        } else if (c == kInvalidCodePoint || IsControl(c)) {
            out += kReplacement;
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

std::string FitToWidth(std::string_view text, size_t width) {
    if (DisplayWidth(text) <= width) return std::string(text);
    if (width == 0) return {};
    std::string out;
    size_t used = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const size_t w = CodePointWidth(NextCodePoint(text, pos));
        if (used + w > width - 1) break;
        used += w;
        out.append(text.substr(start, pos - start));
    }
    return out.append(kEllipsis);
}

std::string RenderTable(const std::vector<TableColumn>& columns,
                        const std::vector<std::vector<std::string>>& rows, bool boldHeadings) {
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    std::vector<size_t> widths;
    for (const TableColumn& column : columns) widths.push_back(DisplayWidth(column.heading));
    for (const auto& row : rows) {
        std::vector<std::string> line;
        for (size_t i = 0; i < columns.size(); ++i) {
            std::string cell = TerminalText(i < row.size() ? row[i] : std::string());
            if (columns[i].maxWidth) cell = FitToWidth(cell, columns[i].maxWidth);
            widths[i] = std::max(widths[i], DisplayWidth(cell));
            line.push_back(std::move(cell));
        }
        cells.push_back(std::move(line));
    }

    std::string out;
    auto emit = [&](const std::vector<std::string>& line) {
        std::string text;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i) text += "  ";
            const std::string padding(widths[i] - DisplayWidth(line[i]), ' ');
            text += columns[i].align == Align::Right ? padding + line[i] : line[i] + padding;
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out += text;
        out += '\n';
    };
    std::vector<std::string> headings, rule;
    for (size_t i = 0; i < columns.size(); ++i) {
        headings.push_back(TerminalText(columns[i].heading));
        rule.emplace_back(widths[i], '-');
    }
    emit(headings);
    if (boldHeadings) {
        // The line as emitted, without its line break, between the escape codes.
        const size_t start = out.rfind('\n', out.size() - 2) + 1;
        out =
            out.substr(0, start) + Styled(out.substr(start, out.size() - start - 1), Tone::Bold, true) + '\n';
    }
    emit(rule);
    for (const auto& line : cells) emit(line);
    return out;
}

}  // namespace vexa_cli
