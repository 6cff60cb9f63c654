// CRondoEntity: the base of every REST request: its context copy, the exchange and the reply.
#pragma once

#include <string>
#include <string_view>

#include "rest/http_response.h"
#include "rest/service_context.h"
#include "rest/user_status.h"
#include "rest/xml_document.h"

namespace vexa {

class CRondoEntity : public CRondoXmlParser {
public:
    explicit CRondoEntity(ServiceContext context) : context_(std::move(context)) {}

    void LoadFromNode(xmlNodePtr) override {}

    // Runs one exchange and reads its reply with ReadReply. False when no exchange took place
    // (or the body could not be converted), and when a 200 reply is not a readable document;
    // true otherwise, also for other statuses, which ApplyReplyOutcome judges.
    bool Execute(std::string_view method, const std::string& path, std::string_view body);

    // Reads a reply without any network: the response is kept, and a 200 reply's document is
    // parsed into the entity. False when a 200 reply is not a readable document; true otherwise.
    bool ReadReply(HttpResponse response);

    const HttpResponse& Response() const { return response_; }
    const ServiceContext& Context() const { return context_; }
    const CRondoUserInfo& Info() const { return info_; }

protected:
    // True when the reply is XML (its content type contains "xml") and parses; the documents
    // extend it with their root check and their children.
    virtual bool ParseReply();
    // The base ParseReply step, then the document's root when its name is exactly rootName;
    // null when either fails.
    xmlNodePtr ReplyRoot(std::string_view rootName);
    // Visits the root's element children in document order: the child named part fills
    // element, "info" fills the entity's info; other names are skipped.
    void LoadParts(xmlNodePtr root, std::string_view part, CRondoXmlParser& element);

private:
    bool RunExchange(std::string_view method, const std::string& path, std::string_view body,
                     HttpResponse& response) const;

    HttpResponse response_;
    ServiceContext context_;
    CRondoUserInfo info_;
};

class CRondoUsers : public CRondoEntity {
public:
    using CRondoEntity::CRondoEntity;
    // "GET" on "/users/%s/status".
    bool RequestUserStatus();

    CRondoUserStatus status;  // the status directly under the root

protected:
    bool ParseReply() override;
};

}  // namespace vexa
