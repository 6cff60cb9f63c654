// The legacy protocol's markup. Whatever parses is written and parsed again: the second tree has
// the first one's elements and attributes, with the same values wherever the format keeps a value
// whole, and when it keeps all of them, writing the second tree gives the same text. The client's readers
// then read the document as a reply, each top-level element in a document of its own, as the SMS object hands
// them out.
#include "legacy/protocol/tpml.h"

#include "fuzz_support.h"
#include "legacy/log_bundles.h"
#include "legacy/send_sms_bundle.h"
#include "legacy/user_bundle.h"

namespace {

using Quill::CTPMLParser;
using Quill::TPMLNode;

// Whether the value ends in the lead byte of a double-byte character without its trail byte.
bool EndsInHalfCharacter(const std::string& value) {
    size_t i = 0;
    while (i < value.size()) i += CTPMLParser::IsLeadByte(static_cast<uint8_t>(value[i])) ? 2 : 1;
    return i > value.size();
}

// Whether writing keeps the value whole. The writer puts two spaces in a row as one "&nbsp;", which
// reads back as one space, and leaves out half a character at the end (a loosely quoted attribute
// value can end so); the reader drops white space around an element's text.
bool KeptWhole(const TPMLNode& node) {
    const std::string& value = node.Value();
    if (value.find("  ") != std::string::npos || EndsInHalfCharacter(value)) return false;
    const auto blank = [](char c) { return c == ' ' || c == '\r'; };
    return !node.IsElement() || value.empty() || (!blank(value.front()) && !blank(value.back()));
}

struct Comparison {
    bool same = true;   // the same names, kinds and order all the way down, and the values kept whole
    bool whole = true;  // every value was kept whole
};

// Whether a text stood in a CDATA section is the writer's choice, so it is not compared.
void Compare(const TPMLNode* a, const TPMLNode* b, Comparison& result) {
    for (; a && b; a = a->Next(), b = b->Next()) {
        if (a->Name() != b->Name() || a->Kind() != b->Kind()) result.same = false;
        if (!KeptWhole(*a))
            result.whole = false;
        else if (a->Value() != b->Value())
            result.same = false;
        Compare(a->FirstChild(), b->FirstChild(), result);
    }
    if (a || b) result.same = false;
}

std::string Written(const CTPMLParser& document) {
    std::string text;
    document.Serialize(text);
    return text;
}

template <class Bundle>
void ReadWith(CTPMLParser& element) {
    Bundle bundle(&element);
    if (!bundle.Processed()) bundle.Process();  // some read their reply when made
}

void ReadAsReply(CTPMLParser& reply) {
    while (TPMLNode* top = reply.FirstElement()) {
        CTPMLParser element;
        CTPMLParser::MoveNode(element.Root(), top, Quill::InsertPosition::LastChild);
        const std::string& name = top->Name();
        if (name == "USER") {
            ReadWith<VexaCore::CUserBundle>(element);
        } else if (name == "SENDSMS") {
            ReadWith<VexaCore::CSendSMSBundle>(element);
        } else if (name == "LOGLIST") {
            ReadWith<VexaCore::CLogListBundle>(element);
        } else if (name == "LOGDETAIL") {
            ReadWith<VexaCore::CLogDetailBundle>(element);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vexa::fuzz::Check;
    const std::string_view text = vexa::fuzz::AsText(data, size);
    CTPMLParser first;
    if (!first.Parse(text)) {
        Check(first.ErrorFlag() == 1 && text.starts_with(first.LastError()),
              "a failed parse keeps the text up to where it stopped");
        return 0;
    }
    const std::string written = Written(first);
    CTPMLParser second;
    Check(second.Parse(written), "what the writer writes parses");
    Comparison comparison;
    Compare(first.Root()->FirstChild(), second.Root()->FirstChild(), comparison);
    Check(comparison.same, "what the writer writes parses to the tree it was written from");
    if (comparison.whole) Check(Written(second) == written, "writing the tree read back gives the same text");
    ReadAsReply(second);
    return 0;
}
