// CRondoXmlParser: the thin layer between the REST documents and the rest of the component. It
// holds one libxml2 document and the tree operations the documents need. Texts outside are
// local text (CP949); UTF-8 exists only inside the document.
#pragma once

#include <cstdint>
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>
#include <memory>
#include <string>
#include <string_view>

#include "automation/decimal_text.h"
#include "platform/c_handle.h"

namespace vexa {

// Text libxml2 allocated. xmlFree is a variable of libxml2's, so it is called from a function.
inline void FreeXmlText(xmlChar* text) { xmlFree(text); }
using XmlText = CHandle<xmlChar, FreeXmlText>;

class CRondoXmlParser {
public:
    CRondoXmlParser() = default;
    // Element objects are copied with their fields; a copy never shares or takes the document.
    CRondoXmlParser(const CRondoXmlParser& other);
    CRondoXmlParser& operator=(const CRondoXmlParser& other);
    virtual ~CRondoXmlParser();

    // Fills the object from one element. Reply documents load through ParseReply instead.
    virtual void LoadFromNode(xmlNodePtr element) = 0;

    std::string ToDocumentText(std::string_view local) const;
    std::string ToLocalText(std::string_view utf8) const;
    std::string NodeName(xmlNodePtr element) const;
    // The first element child whose name is byte-for-byte equal to name, or null.
    xmlNodePtr FindChildElement(xmlNodePtr parent, std::string_view name) const;
    // Text and CDATA children concatenated; the whole text content when it has element children.
    std::string ElementText(xmlNodePtr element) const;
    // ElementText of the first child of that name; empty when there is none.
    std::string ChildElementText(xmlNodePtr parent, std::string_view name) const;

    xmlNodePtr AddTextChild(xmlNodePtr parent, std::string_view name, std::string_view text);
    xmlNodePtr AddChildElement(xmlNodePtr parent, std::string_view name);
    // A new document (version "1.0") with a root of that name, now held; returns the root.
    xmlNodePtr NewDocument(std::string_view rootName);
    void SetDocument(xmlDocPtr document);
    xmlDocPtr Document() const { return document_.get(); }
    // Formatted, with the XML declaration and no encoding declaration: pure ASCII, every other
    // character written as a character reference.
    std::string SerializeDocument() const;
    // Parses text without network access and without loading external entities or DTDs. On
    // failure no document is held.
    bool LoadDocument(std::string_view text);

    // Whether texts are converted at the document boundary (always, in the component).
    void SetConversion(bool convert) { convert_ = convert; }

private:
    CHandle<xmlDoc, xmlFreeDoc> document_;
    bool convert_ = true;
    std::string textBuffer_;
};

}  // namespace vexa
