// Reading the markup: byte classes, the tokenizer, and the element reader of the document.
#include <array>

#include "legacy/protocol/tpml.h"

namespace Quill {

namespace {

// Byte classes. Only bytes below 0x80 belong to the markup's classes; kLead marks the lead bytes
// of a double-byte character of the local code page (CP949), stepped over with their trail byte.
enum ByteClass : uint8_t {
    kSkip = 1 << 0,        // skipped before a token
    kSingle = 1 << 1,      // a token of its own
    kTerminator = 1 << 2,  // ends a token (CR does not)
    kNotInName = 1 << 3,   // never part of an element name
    kQuote = 1 << 4,
    kLead = 1 << 5,
};

// Where a token that has begun cannot simply take the byte and go on.
constexpr uint8_t kTokenStop = kSingle | kTerminator | kQuote | kLead;

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> of{};
    for (int byte = 0x81; byte <= 0xFE; ++byte) of[byte] = kLead;
    for (const unsigned char byte : {' ', '\t', '\n', '\r'}) of[byte] |= kSkip;
    for (const unsigned char byte : {'<', '=', '>', '/'}) of[byte] |= kSingle;
    for (const unsigned char byte : {' ', '\t', '\n'}) of[byte] |= kTerminator;
    for (const unsigned char byte : {' ', '<', '=', '>', '/'}) of[byte] |= kNotInName;
    of[static_cast<unsigned char>('"')] |= kQuote;
    return of;
}

constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

uint8_t ClassOf(char byte) { return kClasses[static_cast<unsigned char>(byte)]; }

constexpr std::string_view kCdataOpen = "![CDATA[";  // after the "<"
constexpr std::string_view kCdataClose = "]]>";

// Deeper documents fail like any malformed one; the reader recurses once per level.
constexpr int kMaxDepth = 256;

// A cursor over the text; tokens are views into it.
class Tokenizer {
public:
    Tokenizer(const char* begin, const char* end) : at_(begin), end_(end) {}

    const char* Position() const { return at_; }
    void Seek(const char* at) { at_ = at; }

    // The next token; empty at the end of the text.
    std::string_view Next() {
        while (at_ < end_ && (ClassOf(*at_) & kSkip)) ++at_;
        const char* const start = at_;
        if (at_ < end_ && (ClassOf(*at_) & kSingle)) {
            ++at_;
        } else if (at_ < end_ && (ClassOf(*at_) & kQuote)) {
            at_ = PastQuote(at_ + 1);
        } else {
            while (at_ < end_) {
                const uint8_t cls = ClassOf(*at_);
                if (!(cls & kTokenStop)) {
                    ++at_;
                } else if (cls & kLead) {
                    at_ = Step(at_);
                } else {
                    // A quoted run belongs to the token and ends it.
                    if (cls & kQuote) at_ = PastQuote(at_ + 1);
                    break;
                }
            }
        }
        return {start, static_cast<size_t>(at_ - start)};
    }

    bool Follows(std::string_view bytes) const {
        return static_cast<size_t>(end_ - at_) >= bytes.size() &&
               std::string_view(at_, bytes.size()) == bytes;
    }

    // Just past the next occurrence of bytes (nullptr when there is none); the text before it is
    // [Position(), the result - bytes.size()).
    const char* Find(std::string_view bytes) const {
        for (const char* at = at_; static_cast<size_t>(end_ - at) >= bytes.size(); at = Step(at)) {
            if (std::string_view(at, bytes.size()) == bytes) return at + bytes.size();
        }
        return nullptr;
    }

private:
    // Past the byte at `at`, or past the pair when it is a lead byte.
    const char* Step(const char* at) const {
        return (ClassOf(*at) & kLead) && at + 1 < end_ ? at + 2 : at + 1;
    }

    // Past the double quote that closes a run beginning at `at`, or the end of the text.
    const char* PastQuote(const char* at) const {
        while (at < end_) {
            if (*at == '"') return at + 1;
            at = Step(at);
        }
        return end_;
    }

    const char* at_;
    const char* const end_;
};

bool IsElementName(std::string_view name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const uint8_t cls = ClassOf(name[i]);
        if (cls & kNotInName) return false;
        if (cls & kLead) ++i;
    }
    return true;
}

// Reads one element, its "<" already taken, and links it below parent at once. On failure what
// was made so far stays.
bool ReadElement(Tokenizer& in, TPMLNode* parent, int depth) {
    if (depth > kMaxDepth) return false;
    const std::string_view name = in.Next();
    if (!IsElementName(name)) return false;
    TPMLNode* const element = TPMLTree::AddElement(parent, name);
    if (!element) return false;

    bool inStartTag = true;
    bool childSeen = false;
    std::string_view text;  // from the first text token to the end of the last one
    std::string_view cdata;
    bool cdataSeen = false;
    for (;;) {
        const std::string_view token = in.Next();
        if (token.empty()) return false;
        if (token == "/") {
            // Only a start tag closes itself: "<name .../>".
            return inStartTag && in.Next() == ">";
        }
        if (token == ">") {
            inStartTag = false;
        } else if (token == "<") {
            if (inStartTag) return false;
            const char* const afterOpen = in.Position();
            if (in.Next() == "/" && in.Next() == name && in.Next() == ">") break;
            in.Seek(afterOpen);
            if (in.Follows(kCdataOpen)) {
                // The element's text is one stretch of text or one CDATA section, before any child.
                if (cdataSeen || !text.empty() || childSeen) return false;
                in.Seek(afterOpen + kCdataOpen.size());
                const char* const past = in.Find(kCdataClose);
                if (!past) return false;
                cdata = std::string_view(in.Position(),
                                         static_cast<size_t>(past - kCdataClose.size() - in.Position()));
                cdataSeen = true;
                in.Seek(past);
            } else {
                if (cdataSeen || !ReadElement(in, element, depth + 1)) return false;
                childSeen = true;
            }
        } else if (inStartTag) {
            if (in.Next() != "=") return false;
            const std::string_view quoted = in.Next();
            if (quoted.size() < 2 || (quoted.front() != '"' && quoted.back() != '"')) return false;
            TPMLTree::SetAttribute(element, token, {})
                ->SetValue(CTPMLParserUtil::UnescapeValue(quoted.substr(1, quoted.size() - 2)));
        } else {
            // Text may stand before an element's children, not after them.
            if (childSeen || cdataSeen) return false;
            const char* const begin = text.empty() ? token.data() : text.data();
            text = std::string_view(begin, static_cast<size_t>(token.data() + token.size() - begin));
        }
    }
    if (cdataSeen) {
        element->SetValue(std::string(cdata));
        element->SetCdata(true);
    } else if (!text.empty()) {
        element->SetValue(CTPMLParserUtil::UnescapeValue(text));
    }
    return true;
}

}  // namespace

bool CTPMLParserUtil::IsLeadByte(uint8_t b) { return kClasses[b] & kLead; }

CTPMLParser::CTPMLParser()
    : root_(std::make_unique<TPMLNode>(std::string(), std::string(), TPMLNodeKind::Element)) {}

CTPMLParser::~CTPMLParser() = default;

TPMLNode* CTPMLParser::FirstElement() const {
    for (TPMLNode* node = root_->FirstChild(); node; node = node->Next()) {
        if (node->IsElement()) return node;
    }
    return nullptr;
}

bool CTPMLParser::Parse(std::string_view text, TPMLNode* parent) {
    lastError_.clear();
    text = text.substr(0, text.find('\0'));
    Tokenizer in(text.data(), text.data() + text.size());
    TPMLNode* const into = parent ? parent : root_.get();
    bool ok = into->IsElement();
    while (ok) {
        const std::string_view token = in.Next();
        if (token.empty()) break;
        ok = token == "<" && ReadElement(in, into, 1);
    }
    errorFlag_ = ok ? 0 : 1;
    if (!ok) lastError_ = text.substr(0, static_cast<size_t>(in.Position() - text.data()));
    return ok;
}

}  // namespace Quill
