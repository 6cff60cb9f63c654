#include "rest/xml_document.h"

#include <algorithm>
#include <climits>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <mutex>

#include "automation/text.h"
#include "rest/xml_encodings.h"

namespace vexa {

namespace {

// The library's global state is set up once and never torn down here: the host process may
// use libxml2 itself, and a clean-up would pull that state from under it.
void EnsureLibraryReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        RegisterLocalEncodings();
    });
}

const xmlChar* AsXml(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

// Parse errors are answered by LoadDocument's result; nothing goes to the host's stderr.
void IgnoreError(void*, xmlErrorPtr) noexcept {}
void IgnoreGenericError(void*, const char*, ...) noexcept {}

// libxml2 reports some errors without a parser context (an encoding converter's, among them), to
// the thread's generic and structured handlers, which print to stderr unless a host set its own.
// For one parse this thread's handlers are silent ones; the host's come back after it.
class SilentLibxml2Errors {
public:
    SilentLibxml2Errors()
        : generic_(xmlGenericError),
          genericContext_(xmlGenericErrorContext),
          structured_(xmlStructuredError),
          structuredContext_(xmlStructuredErrorContext) {
        xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
        xmlSetStructuredErrorFunc(nullptr, IgnoreError);
    }
    ~SilentLibxml2Errors() {
        xmlSetGenericErrorFunc(genericContext_, generic_);
        xmlSetStructuredErrorFunc(structuredContext_, structured_);
    }
    SilentLibxml2Errors(const SilentLibxml2Errors&) = delete;
    SilentLibxml2Errors& operator=(const SilentLibxml2Errors&) = delete;

private:
    const xmlGenericErrorFunc generic_;
    void* const genericContext_;
    const xmlStructuredErrorFunc structured_;
    void* const structuredContext_;
};

bool IsTextNode(xmlNodePtr node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// XML carries no control character but tab, LF and CR; libxml2 would write the whole text as
// nothing (and complain on the host's stderr). Each becomes "?", as a character the target cannot
// hold does in every conversion. Such bytes stand for themselves in UTF-8, never inside a sequence.
bool IsXmlChar(unsigned char byte) { return byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r'; }

std::string_view XmlCarried(std::string_view text, std::string& buffer) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return IsXmlChar(static_cast<unsigned char>(c)); }))
        return text;
    buffer.assign(text);
    for (char& c : buffer) {
        if (!IsXmlChar(static_cast<unsigned char>(c))) c = '?';
    }
    return buffer;
}

}  // namespace

CRondoXmlParser::CRondoXmlParser(const CRondoXmlParser& other) : convert_(other.convert_) {}

CRondoXmlParser& CRondoXmlParser::operator=(const CRondoXmlParser& other) {
    // The document stays with its owner: only the fields are taken over.
    convert_ = other.convert_;
    return *this;
}

CRondoXmlParser::~CRondoXmlParser() = default;

std::string CRondoXmlParser::ToDocumentText(std::string_view local) const {
    return convert_ ? LocalToUtf8(local) : std::string(local);
}

std::string CRondoXmlParser::ToLocalText(std::string_view utf8) const {
    return convert_ ? Utf8ToLocal(utf8) : std::string(utf8);
}

std::string CRondoXmlParser::NodeName(xmlNodePtr element) const {
    if (!element || !element->name) return {};
    return ToLocalText(reinterpret_cast<const char*>(element->name));
}

xmlNodePtr CRondoXmlParser::FindChildElement(xmlNodePtr parent, std::string_view name) const {
    if (!parent) return nullptr;
    const std::string wanted = ToDocumentText(name);
    for (xmlNodePtr child = xmlFirstElementChild(parent); child; child = xmlNextElementSibling(child)) {
        if (child->name && xmlStrcmp(child->name, AsXml(wanted)) == 0) return child;
    }
    return nullptr;
}

std::string CRondoXmlParser::ElementText(xmlNodePtr element) const {
    if (!element) return {};
    std::string utf8;
    if (xmlFirstElementChild(element)) {
        const XmlText content(xmlNodeGetContent(element));
        if (content) utf8 = reinterpret_cast<const char*>(content.get());
    } else {
        for (xmlNodePtr child = element->children; child; child = child->next) {
            if (IsTextNode(child) && child->content) utf8 += reinterpret_cast<const char*>(child->content);
        }
    }
    return ToLocalText(utf8);
}

std::string CRondoXmlParser::ChildElementText(xmlNodePtr parent, std::string_view name) const {
    const xmlNodePtr child = FindChildElement(parent, name);
    return child ? ElementText(child) : std::string();
}

xmlNodePtr CRondoXmlParser::AddTextChild(xmlNodePtr parent, std::string_view name, std::string_view text) {
    const xmlNodePtr element = AddChildElement(parent, name);
    if (!element) return nullptr;
    // A text node, not parsed content: "&" and "<" in the text are escaped when written. libxml2
    // copies the text, so a converted one is made in a buffer kept for the next.
    std::string carried;
    const std::string_view content = XmlCarried(convert_ ? LocalAsUtf8(text, textBuffer_) : text, carried);
    if (content.size() > static_cast<size_t>(INT_MAX)) return element;
    const xmlNodePtr textNode = xmlNewDocTextLen(
        parent->doc, reinterpret_cast<const xmlChar*>(content.data()), static_cast<int>(content.size()));
    if (textNode && !xmlAddChild(element, textNode)) xmlFreeNode(textNode);
    return element;
}

xmlNodePtr CRondoXmlParser::AddChildElement(xmlNodePtr parent, std::string_view name) {
    if (!parent) return nullptr;
    // Made and linked as the last child in one step (the documents use no namespace it could
    // inherit from the parent).
    return xmlNewChild(parent, nullptr, AsXml(std::string(name)), nullptr);
}

xmlNodePtr CRondoXmlParser::NewDocument(std::string_view rootName) {
    EnsureLibraryReady();
    const xmlDocPtr doc = xmlNewDoc(AsXml("1.0"));
    if (!doc) return nullptr;
    SetDocument(doc);
    const xmlNodePtr root = xmlNewDocNode(doc, nullptr, AsXml(std::string(rootName)), nullptr);
    if (!root) return nullptr;
    xmlDocSetRootElement(doc, root);
    return root;
}

void CRondoXmlParser::SetDocument(xmlDocPtr document) { document_.reset(document); }

std::string CRondoXmlParser::SerializeDocument() const {
    if (!document_) return {};
    xmlChar* buffer = nullptr;
    int size = 0;
    // No encoding is named, so everything outside ASCII is written as a character reference.
    xmlDocDumpFormatMemory(document_.get(), &buffer, &size, 1);
    const XmlText owned(buffer);
    if (!owned || size <= 0) return {};
    return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<size_t>(size));
}

bool CRondoXmlParser::LoadDocument(std::string_view text) {
    SetDocument(nullptr);
    if (text.size() > static_cast<size_t>(INT_MAX)) return false;
    EnsureLibraryReady();
    const SilentLibxml2Errors silent;
    const CHandle<xmlParserCtxt, xmlFreeParserCtxt> context(xmlNewParserCtxt());
    if (!context || !context->sax) return false;
    context->sax->serror = IgnoreError;
    // No network, and neither entity substitution nor DTD loading: a reply can make the parser
    // read nothing but its own bytes.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    const xmlDocPtr doc = xmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()),
                                            "noname.xml", nullptr, options);
    if (!doc) return false;
    SetDocument(doc);
    return true;
}

}  // namespace vexa
