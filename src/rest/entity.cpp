#include "rest/entity.h"

#include "automation/text.h"
#include "rest/http_client.h"

namespace vexa {

bool CRondoEntity::ParseReply() {
    // The service marks its documents "application/xml" or "text/xml"; the test is case-sensitive.
    if (response_.contentType.find("xml") == std::string::npos) return false;
    return LoadDocument(response_.body);
}

xmlNodePtr CRondoEntity::ReplyRoot(std::string_view rootName) {
    if (!CRondoEntity::ParseReply()) return nullptr;
    const xmlNodePtr root = xmlDocGetRootElement(Document());
    return root && NodeName(root) == rootName ? root : nullptr;
}

void CRondoEntity::LoadParts(xmlNodePtr root, std::string_view part, CRondoXmlParser& element) {
    for (xmlNodePtr child = xmlFirstElementChild(root); child; child = xmlNextElementSibling(child)) {
        const std::string name = NodeName(child);
        if (name == part) {
            element.LoadFromNode(child);
        } else if (name == kInfoElement) {
            info_.LoadFromNode(child);
        }
    }
}

bool CRondoEntity::Execute(std::string_view method, const std::string& path, std::string_view body) {
    HttpResponse response;
    if (!RunExchange(method, path, body, response)) return false;
    return ReadReply(std::move(response));
}

bool CRondoEntity::ReadReply(HttpResponse response) {
    response_ = std::move(response);
    return response_.status != 200 || ParseReply();
}

bool CRondoEntity::RunExchange(std::string_view method, const std::string& path, std::string_view body,
                               HttpResponse& response) const {
    HttpClient client;
    client.SetAgent(context_.clientName);
    client.SetSecure(context_.secure);
    client.SetPort(static_cast<uint16_t>(context_.port & 0xFFFF));
    // A failed connection shows as a failed SendRequest.
    client.Connect(context_.host);
    for (const auto& [name, value] : context_.Headers()) client.AddHeader(name, value);
    client.SetTrustedCertificates(context_.trustedCertificates);
    client.SetTimeouts(context_.timeouts);

    // A serialized request is ASCII and passes unchanged; anything else is sent as UTF-8.
    const std::string bytes = LocalToUtf8(body);
    return client.SendRequest(response, std::string(method), path, bytes.data(), bytes.size());
}

bool CRondoUsers::ParseReply() {
    const xmlNodePtr root = ReplyRoot("users");
    if (!root) return false;
    LoadParts(root, kStatusElement, status);
    return true;
}

bool CRondoUsers::RequestUserStatus() {
    return Execute("GET", "/users/" + PathSegment(Context().userId) + "/status", {});
}

}  // namespace vexa
