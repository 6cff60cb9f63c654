#include "sandbox/request_documents.h"

#include "rest/xml_document.h"

namespace vexa::sandbox {

namespace {

// The component's tree helpers over UTF-8: no conversion to its local code page.
class Reader : public CRondoXmlParser {
public:
    Reader() { SetConversion(false); }
    void LoadFromNode(xmlNodePtr) override {}

    // The root element when the body parses, has no DTD and its root is named `rootName`.
    xmlNodePtr Root(std::string_view body, std::string_view rootName, std::string& error) {
        if (!LoadDocument(body)) {
            error = "the request body is not a well-formed XML document";
            return nullptr;
        }
        if (Document()->intSubset || Document()->extSubset) {
            error = "document type declarations are not accepted";
            return nullptr;
        }
        const xmlNodePtr root = xmlDocGetRootElement(Document());
        if (!root || NodeName(root) != rootName) {
            error = "the request document's root must be <" + std::string(rootName) + ">";
            return nullptr;
        }
        return root;
    }

    template <class Visit>
    void ForEachChild(xmlNodePtr parent, std::string_view name, Visit visit) const {
        if (!parent) return;
        for (xmlNodePtr child = xmlFirstElementChild(parent); child; child = xmlNextElementSibling(child)) {
            if (NodeName(child) == name) visit(child);
        }
    }
};

}  // namespace

std::optional<SendRequest> ReadSendRequest(std::string_view body, std::string& error) {
    Reader reader;
    const xmlNodePtr root = reader.Root(body, "messages", error);
    if (!root) return std::nullopt;
    SendRequest request;
    request.sender = reader.ChildElementText(root, "sender");
    request.message = reader.ChildElementText(root, "message");
    request.type = reader.ChildElementText(root, "type");
    request.subject = reader.ChildElementText(root, "subject");
    request.reservation = reader.ChildElementText(root, "reservation") == "Y";
    if (reader.FindChildElement(root, "count")) request.count = reader.ChildElementText(root, "count");
    reader.ForEachChild(reader.FindChildElement(root, "receivers"), "receiver", [&](xmlNodePtr node) {
        SendRequest::Receiver r;
        r.phone = reader.ChildElementText(node, "phone");
        r.name = reader.ChildElementText(node, "name");
        if (reader.FindChildElement(node, "message")) r.message = reader.ChildElementText(node, "message");
        r.sendTime = reader.ChildElementText(node, "sendtime");
        request.receivers.push_back(std::move(r));
    });
    reader.ForEachChild(reader.FindChildElement(root, "images"), "image", [&](xmlNodePtr node) {
        request.images.push_back(reader.ChildElementText(node, "content"));
    });
    return request;
}

std::optional<std::vector<LogKey>> ReadLogKeys(std::string_view body, std::string& error) {
    Reader reader;
    const xmlNodePtr root = reader.Root(body, "logs", error);
    if (!root) return std::nullopt;
    std::vector<LogKey> keys;
    reader.ForEachChild(root, "log", [&](xmlNodePtr node) {
        keys.push_back({reader.ChildElementText(node, "index"), reader.ChildElementText(node, "date"),
                        reader.ChildElementText(node, "type")});
    });
    return keys;
}

}  // namespace vexa::sandbox
