#include "receiver_file.h"

#include <fstream>
#include <iterator>

namespace vexa_cli {

namespace {

struct Record {
    std::vector<std::string> fields;
    size_t line = 0;  // where it starts
};

// The CSV records of the text, each with the line it starts on.
std::vector<Record> SplitRecords(std::string_view text, const std::string& fileName) {
    std::vector<Record> records;
    size_t line = 1;
    size_t pos = 0;
    while (pos < text.size()) {
        Record record{{}, line};
        std::string field;
        bool quoted = false, wasQuoted = false, end = false;
        while (!end) {
            if (pos == text.size()) {
                if (quoted)
                    throw UsageError(fileName + ":" + std::to_string(record.line) +
                                     ": a quote is not closed");
                break;
            }
            const char c = text[pos++];
            if (quoted) {
                if (c == '"' && pos < text.size() && text[pos] == '"') {
                    field += '"';
                    ++pos;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    if (c == '\n') ++line;
                    field += c;
                }
            } else if (c == '"' && field.empty() && !wasQuoted) {
                quoted = wasQuoted = true;
            } else if (c == ',') {
                record.fields.push_back(std::move(field));
                field.clear();
                wasQuoted = false;
            } else if (c == '\n' || c == '\r') {
                if (c == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
                ++line;
                end = true;
            } else {
                field += c;
            }
        }
        record.fields.push_back(std::move(field));
        records.push_back(std::move(record));
    }
    return records;
}

std::string_view Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<ReceiverEntry> ParseReceiverFile(std::string_view content, const std::string& fileName) {
    if (content.starts_with("\xEF\xBB\xBF"))
        content.remove_prefix(3);  // a byte-order mark spreadsheets write
    std::vector<ReceiverEntry> receivers;
    bool first = true;
    for (const Record& record : SplitRecords(content, fileName)) {
        const std::string where = fileName + ":" + std::to_string(record.line) + ": ";
        const std::string_view phone = Trimmed(record.fields[0]);
        const bool header = first && (phone == "phone" || phone == "Phone" || phone == "PHONE");
        first = false;
        if (header || (record.fields.size() == 1 && phone.empty()) || phone.starts_with('#')) continue;
        if (record.fields.size() > 3)
            throw UsageError(where + "expected PHONE[,NAME[,TEXT]], got " +
                             std::to_string(record.fields.size()) +
                             " fields (quote a text that holds commas)");
        try {
            const std::string name = record.fields.size() > 1 ? std::string(Trimmed(record.fields[1])) : "";
            ReceiverEntry described =
                ParseReceiver(name.empty() ? std::string(phone) : name + ":" + std::string(phone));
            if (record.fields.size() > 2) described.text = record.fields[2];
            CheckUtf8(described.name, "the name");
            CheckUtf8(described.text, "the text");
            receivers.push_back(std::move(described));
        } catch (const UsageError& e) {
            throw UsageError(where + e.what());
        }
    }
    if (receivers.empty()) throw UsageError(fileName + " names no receiver");
    return receivers;
}

std::vector<ReceiverEntry> ReadReceiverFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw UsageError("cannot read the receiver file '" + fileName + "'");
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseReceiverFile(content, fileName);
}

}  // namespace vexa_cli
