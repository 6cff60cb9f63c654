// Writing the markup: one tag per line, each level indented by a tab.
#include "legacy/protocol/tpml.h"

namespace Quill {

namespace {

const TPMLNode* NextElement(const TPMLNode* node) {
    while (node && !node->IsElement()) node = node->Next();
    return node;
}

// A CDATA section can hold the text only when the text has no "]]>" and does not end in half a
// double-byte character (whose trail byte the reader would take from the "]]>"); otherwise it is
// written escaped.
bool FitsCdata(const std::string& text) {
    if (text.find("]]>") != std::string::npos) return false;
    size_t i = 0;
    while (i < text.size()) i += CTPMLParserUtil::IsLeadByte(static_cast<uint8_t>(text[i])) ? 2 : 1;
    return i == text.size();
}

// The start tag and the attributes of element; an element without element children is written
// whole. Returns whether element children follow, so that the end tag is still due.
bool WriteOpening(std::string& out, const TPMLNode& element, int depth) {
    out.append(static_cast<size_t>(depth), '\t');
    out += '<';
    out += element.Name();
    bool hasElements = false;
    for (const TPMLNode* child = element.FirstChild(); child; child = child->Next()) {
        if (child->IsElement()) {
            hasElements = true;
            continue;
        }
        out += ' ';
        out += child->Name();
        out += "=\"";
        out += CTPMLParserUtil::EscapeValue(child->Value());
        out += '"';
    }
    const std::string& text = element.Value();
    if (hasElements) {
        if (!text.empty()) {
            out += " value=\"";
            out += CTPMLParserUtil::EscapeValue(text);
            out += '"';
        }
        out += ">\n";
        return true;
    }
    if (text.empty()) {
        out += "/>\n";
        return false;
    }
    out += '>';
    if (element.Cdata() && FitsCdata(text)) {
        out += "<![CDATA[";
        out += text;
        out += "]]>";
    } else {
        out += CTPMLParserUtil::EscapeValue(text);
    }
    out += "</";
    out += element.Name();
    out += ">\n";
    return false;
}

void WriteClosing(std::string& out, const TPMLNode& element, int depth) {
    out.append(static_cast<size_t>(depth), '\t');
    out += "</";
    out += element.Name();
    out += ">\n";
}

// Element and its subtree, walked along the parent links rather than by recursion.
void WriteElement(std::string& out, const TPMLNode& top) {
    const TPMLNode* node = &top;
    int depth = 0;
    for (;;) {
        if (WriteOpening(out, *node, depth)) {
            node = NextElement(node->FirstChild());
            ++depth;
            continue;
        }
        for (;;) {
            if (node == &top) return;
            if (const TPMLNode* next = NextElement(node->Next())) {
                node = next;
                break;
            }
            node = node->Parent();
            --depth;
            WriteClosing(out, *node, depth);
        }
    }
}

}  // namespace

void CTPMLParser::Serialize(std::string& out, const TPMLNode* node) const {
    if (node && node != root_.get()) {
        if (node->IsElement()) WriteElement(out, *node);
        return;
    }
    for (const TPMLNode* element = NextElement(root_->FirstChild()); element;
         element = NextElement(element->Next())) {
        WriteElement(out, *element);
    }
}

}  // namespace Quill
