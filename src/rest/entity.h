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
    // True when the reply is XML (its content type contains "xml") and parses; the documents
    // extend it with their root check and their children.
    virtual bool ParseReply();

    // Runs one exchange. False when no exchange took place (or the body could not be
    // converted), and when a 200 reply is not a readable document; true otherwise, also for
    // other statuses, which ApplyReplyOutcome judges.
    bool Execute(std::string_view method, const std::string& path, std::string_view body);

    const HttpResponse& Response() const { return response_; }
    const ServiceContext& Context() const { return context_; }
    const CRondoUserInfo& Info() const { return info_; }

    // For tests of the reply readers: what an exchange would have left.
    HttpResponse& MutableResponse() { return response_; }

protected:
    // The base ParseReply step, then the document's root when its name is exactly rootName;
    // null when either fails.
    xmlNodePtr ReplyRoot(std::string_view rootName);
    // Visits the root's element children in document order: the child named part fills
    // element, "info" fills the entity's info; other names are skipped.
    void LoadParts(xmlNodePtr root, std::string_view part, CRondoXmlParser& element);

private:
    bool RunExchange(std::string_view method, const std::string& path, std::string_view body);

    HttpResponse response_;
    ServiceContext context_;
    CRondoUserInfo info_;
};

class CRondoUsers : public CRondoEntity {
public:
    using CRondoEntity::CRondoEntity;
    bool ParseReply() override;
    // "GET" on "/users/%s/status".
    bool RequestUserStatus();

    CRondoUserStatus status;  // the status directly under the root
};

}  // namespace vexa
