#include "sandbox/service.h"

#include <cstdint>
#include <exception>

#include "sandbox/inbox.h"
#include "sandbox/local_time.h"
#include "sandbox/operations.h"
#include "sandbox/rules.h"

namespace vexa::sandbox {

namespace {

ServiceReply ShowImage(const Operation& op) {
    const std::vector<std::string>& args = op.route.args;
    const std::string_view file = args[2];
    const std::optional<int64_t> index = ParseIndex(args[1]);
    const int64_t position =
        file.ends_with(".jpg") ? ParseIndex(file.substr(0, file.size() - 4)).value_or(-1) : -1;
    std::optional<std::string> jpeg;
    if (IsMonthKey(args[0]) && index && position >= 0 && position <= INT32_MAX) {
        jpeg = op.store.Image(op.account.id, {args[0], *index}, static_cast<int>(position));
    }
    if (!jpeg) {
        return XmlReply(404, ErrorReply("error", {"not-found", "no such image"}, op.Context()));
    }
    return {200, "image/jpeg", std::move(*jpeg), {}};
}

}  // namespace

ServiceReply XmlReply(int status, std::string body) { return {status, kXmlContentType, std::move(body), {}}; }

ServiceReply BadRequest(const Operation& op, std::string_view rootName, std::string message) {
    return XmlReply(400, ErrorReply(rootName, {"bad-request", std::move(message)}, op.Context()));
}

Service::Service(Store& store, ServiceSettings settings, Clock clock)
    : store_(store),
      settings_(std::move(settings)),
      clock_(std::move(clock)),
      authenticator_(store_, settings_.realm),
      inbox_(std::make_unique<Inbox>(store_, settings_.inbox)) {}

Service::~Service() = default;

ServiceReply Service::Handle(const ServiceRequest& request) {
    const int64_t now = clock_();
    ServiceReply reply;
    try {
        reply = Dispatch(request, now);
    } catch (const std::exception& e) {
        reply = XmlReply(500, ErrorReply(ErrorRootFor(request.target), {"internal-error", e.what()},
                                         {nullptr, request.baseUrl + request.target}));
    }
    reply.headers.emplace_back("Date", HttpDate(now));
    return reply;
}

ServiceReply Service::Dispatch(const ServiceRequest& request, int64_t now) {
    // An inbox that is off leaves its paths to the service, which knows none of them.
    if (inbox_->Enabled() && IsInboxTarget(request.target)) return inbox_->Handle(request, now);
    const std::string selfUrl = request.baseUrl + std::string(PathOf(request.target));
    const std::optional<Route> route = MatchRoute(request.method, request.target);
    if (!route) {
        return XmlReply(404, ErrorReply(ErrorRootFor(request.target),
                                        {"not-found", "no resource answers " + request.method + " " +
                                                          std::string(PathOf(request.target))},
                                        {nullptr, selfUrl}));
    }
    const std::optional<Account> account = authenticator_.Authenticate(request.authorization, request.realm);
    // A caller may only reach its own account's resources.
    if (!account || account->userId != route->user) {
        ServiceReply reply = XmlReply(
            401, ErrorReply(ErrorRootFor(request.target),
                            {"unauthorized", "the credentials or the realm do not match this account"},
                            {nullptr, selfUrl}));
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"" + settings_.realm + "\"");
        return reply;
    }

    const Operation op{store_, *account, request, *route, now, settings_.deliveryDelay, selfUrl};
    switch (route->resource) {
        case Resource::kSend:
            return SendMessages(op);
        case Resource::kLogs:
            return ListLogs(op);
        case Resource::kDetail:
            return ShowDetail(op);
        case Resource::kCancel:
            return CancelTransfers(op);
        case Resource::kDelete:
            return DeleteTransfers(op);
        case Resource::kStatus:
            return XmlReply(200, UsersReply(op.Context()));
        case Resource::kImage:
            return ShowImage(op);
    }
    return XmlReply(500, ErrorReply("error", {"internal-error", "unhandled resource"}, op.Context()));
}

}  // namespace vexa::sandbox
