#include "report.h"

#include <algorithm>

#include "json.h"

namespace vexa_cli {

namespace {

std::string CellText(const Value& value) {
    if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
        std::string joined;
        for (const std::string& item : *list) joined += (joined.empty() ? "" : ", ") + item;
        return joined;
    }
    return {};
}

// A field's value, a list one item per line under the first.
void AppendFieldText(std::string& out, const Field& field, size_t labelWidth) {
    std::vector<std::string> lines;
    if (const auto* list = std::get_if<std::vector<std::string>>(&field.value)) {
        for (const std::string& item : *list) lines.push_back(TerminalText(item));
    } else if (!std::holds_alternative<std::monostate>(field.value)) {
        lines.push_back(TerminalText(CellText(field.value)));
    }
    if (lines.empty() || (lines.size() == 1 && lines.front().empty())) lines.assign(1, "-");
    const std::string label = TerminalText(field.label);
    out += label + std::string(labelWidth - DisplayWidth(label), ' ') + "  " + lines.front() + '\n';
    for (size_t i = 1; i < lines.size(); ++i) out += std::string(labelWidth + 2, ' ') + lines[i] + '\n';
}

void WriteValue(JsonWriter& json, const Value& value) {
    if (const auto* number = std::get_if<int64_t>(&value)) {
        json.Number(*number);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        json.String(*text);
    } else if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
        json.BeginArray();
        for (const std::string& item : *list) json.String(item);
        json.EndArray();
    } else {
        json.Null();
    }
}

}  // namespace

std::string RenderText(const Report& report, bool styled) {
    std::string out;
    size_t labelWidth = 0;
    for (const Field& field : report.fields)
        if (!field.jsonOnly) labelWidth = std::max(labelWidth, DisplayWidth(TerminalText(field.label)));
    for (const Field& field : report.fields)
        if (!field.jsonOnly) AppendFieldText(out, field, labelWidth);

    for (const Listing& listing : report.listings) {
        if (!out.empty()) out += '\n';
        if (!listing.title.empty()) out += TerminalText(listing.title) + '\n';
        if (listing.rows.empty()) {
            out += TerminalText(listing.emptyText) + '\n';
            continue;
        }
        std::vector<TableColumn> columns;
        for (const Column& column : listing.columns)
            if (!column.jsonOnly) columns.push_back({column.label, column.align, column.maxWidth});
        std::vector<std::vector<std::string>> rows;
        for (const auto& row : listing.rows) {
            std::vector<std::string> cells;
            for (size_t i = 0; i < listing.columns.size(); ++i)
                if (!listing.columns[i].jsonOnly)
                    cells.push_back(i < row.size() ? CellText(row[i]) : std::string());
            rows.push_back(std::move(cells));
        }
        out += RenderTable(columns, rows, styled);
    }
    if (!report.footer.empty()) out += (out.empty() ? "" : "\n") + TerminalText(report.footer) + '\n';
    return out;
}

void WriteJson(const Report& report, std::ostream& out) {
    JsonWriter json(out);
    json.BeginObject();
    for (const Field& field : report.fields) {
        json.Key(field.key);
        WriteValue(json, field.value);
    }
    for (const Listing& listing : report.listings) {
        json.Key(listing.key);
        json.BeginArray();
        for (const auto& row : listing.rows) {
            json.BeginObject();
            for (size_t i = 0; i < listing.columns.size(); ++i) {
                json.Key(listing.columns[i].key);
                WriteValue(json, i < row.size() ? row[i] : Value{});
            }
            json.EndObject();
        }
        json.EndArray();
    }
    json.EndObject();
}

}  // namespace vexa_cli
