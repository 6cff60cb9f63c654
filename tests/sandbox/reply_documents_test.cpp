// The shapes of the sandbox's replies: which elements each reply writes, in which order.
#include "sandbox/reply_documents.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::sandbox {
namespace {

// The replies' element names are ASCII, the same in either text form.
class Reader : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr) override {}
};

// The names of the children of the element that path leads to from the root (each step the
// first child of that name).
std::vector<std::string> ChildNames(const std::string& document, const std::vector<std::string_view>& path) {
    Reader reader;
    if (!reader.LoadDocument(document)) return {"unreadable"};
    xmlNodePtr element = xmlDocGetRootElement(reader.Document());
    for (std::string_view step : path) element = reader.FindChildElement(element, step);
    std::vector<std::string> names;
    for (xmlNodePtr child = element ? xmlFirstElementChild(element) : nullptr; child;
         child = xmlNextElementSibling(child))
        names.push_back(reader.NodeName(child));
    return names;
}

using Names = std::vector<std::string>;

TEST(ReplyDocumentsTest, EachReplyWritesItsElementsInOrder) {
    const Account account{1, "kim", "Kim", {"02-1", "02-2"}, 10};
    const ReplyContext context{&account, "http://sandbox.test/x"};
    const ReplyContext anonymous{nullptr, "http://sandbox.test/x"};
    const std::vector<LogRecord> logs(1);
    TransferDetail detail;
    detail.imageUrls = {"http://sandbox.test/image"};
    detail.receivers.resize(1);

    const Names summary = {"index",     "date",       "type",         "isReservation", "phoneSend",
                           "phoneBack", "countTotal", "countSuccess", "countFailure",  "message",
                           "timeSend",  "timeWrite",  "canCancel"};
    Names detailRoot = summary;
    detailRoot.insert(detailRoot.end(), {"subject", "via", "userIp", "isDelay", "isRelay", "isBible",
                                         "isDeleted", "delType", "timeDelete", "images", "details", "info"});

    const struct {
        const char* what;
        std::string document;
        std::vector<std::string_view> path;
        Names names;
    } cases[] = {
        {"users", UsersReply(context), {}, {"status", "info"}},
        {"status",
         UsersReply(context),
         {"status"},
         {"userid", "username", "phoneReturn", "phoneReturns", "call", "free", "paytype"}},
        {"return phones", UsersReply(context), {"status", "phoneReturns"}, {"phoneReturn", "phoneReturn"}},
        {"info", UsersReply(context), {"info"}, {"status", "links"}},
        {"info of an unknown caller", UsersReply(anonymous), {"info"}, {"links"}},
        {"links", UsersReply(context), {"info", "links"}, {"self"}},
        {"error", ErrorReply("messages", {"bad-request", "why"}, context), {}, {"info"}},
        {"error info",
         ErrorReply("messages", {"bad-request", "why"}, context),
         {"info"},
         {"status", "error", "links"}},
        {"error fields",
         ErrorReply("messages", {"bad-request", "why"}, context),
         {"info", "error"},
         {"code", "message"}},
        {"receiver",
         MessagesReply(std::vector<ReceiverRecord>(1), context),
         {"receivers", "receiver"},
         {"result", "phone", "index", "date", "message", "sendtime"}},
        {"listed log", LogsReply(logs, LogsShape::kList, context), {"logs", "log"}, summary},
        {"deleted log",
         LogsReply(logs, LogsShape::kDelete, context),
         {"logs", "log"},
         {"index", "date", "type", "result"}},
        {"cancelled log",
         LogsReply(logs, LogsShape::kCancel, context),
         {"logs", "log"},
         {"index", "date", "type", "countTotal", "countSuccess", "countFailure", "result"}},
        {"detail", DetailReply(&detail, context), {}, detailRoot},
        {"image", DetailReply(&detail, context), {"images", "image"}, {"url"}},
        {"receiver's detail",
         DetailReply(&detail, context),
         {"details", "detail"},
         {"message", "name", "phoneSend", "status", "result", "resultDetail", "tranDate", "tranRsltDate"}},
        {"no such transfer", DetailReply(nullptr, context), {}, {"info"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ChildNames(c.document, c.path), c.names) << c.document;
    }
}

}  // namespace
}  // namespace vexa::sandbox
