#include "sandbox/inbox.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/inbox_json.h"
#include "sandbox/inbox_pages.h"
#include "sandbox/inbox_static.h"
#include "sandbox/json_body.h"
#include "sandbox/json_writer.h"
#include "sandbox/operations.h"
#include "sandbox/query_string.h"
#include "sandbox/routes.h"
#include "sandbox/rules.h"

namespace vexa::sandbox {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";
// Pages list at most this many transfers; the API lists what its limit says.
constexpr int64_t kPageRows = 1000;

// The page or the API reply a request gets, in the form its path asks for.
class Answer {
public:
    explicit Answer(bool api) : api_(api) {}

    ServiceReply Json(int status, std::string body) const { return {status, kJson, std::move(body), {}}; }
    ServiceReply Html(int status, std::string body) const { return {status, kHtml, std::move(body), {}}; }

    ServiceReply Error(int status, const std::string& title, const std::string& text) const {
        return api_ ? Json(status, ErrorJson(text)) : Html(status, MessagePage(title, text));
    }
    ServiceReply NotFound(const std::string& text) const { return Error(404, "Not found", text); }
    ServiceReply BadRequest(const std::string& text) const { return Error(400, "Bad request", text); }
    ServiceReply WrongMethod(const char* allowed) const {
        ServiceReply reply = Error(405, "Method not allowed", std::string("this path answers ") + allowed);
        reply.headers.emplace_back("Allow", allowed);
        return reply;
    }

private:
    bool api_;
};

// The transfer the path names, listed (not deleted), of an account.
struct Named {
    std::optional<Account> account;
    std::optional<Transfer> transfer;
};

Named FindNamed(Store& store, const std::string& user, const std::string& month, const std::string& index) {
    Named named;
    named.account = store.FindAccount(user);
    const std::optional<int64_t> number = ParseIndex(index);
    if (!named.account || !number || !IsMonthKey(month)) return named;
    named.transfer = store.FindTransfer(named.account->id, {month, *number});
    if (named.transfer && named.transfer->deletedTime) named.transfer.reset();
    return named;
}

LogKey KeyOf(const Transfer& t) { return {std::to_string(t.key.index), t.key.month, "all"}; }

// The target without its "token" parameter, where a browser that showed it is sent.
std::string WithoutToken(std::string_view path, const QueryValues& query) {
    std::string target(path);
    char separator = '?';
    for (const auto& [name, value] : query) {
        if (name == "token") continue;
        target += separator + QueryEscape(name) + "=" + QueryEscape(value);
        separator = '&';
    }
    return target;
}

void AddCommonHeaders(ServiceReply& reply) {
    reply.headers.emplace_back("Cache-Control", "no-store");
    reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
    reply.headers.emplace_back("Referrer-Policy", "no-referrer");
    reply.headers.emplace_back(
        "Content-Security-Policy",
        "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
        "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
}

// Everything after "/inbox/" once admitted: `s` are the path's segments after "inbox".
class Request {
public:
    Request(Store& store, const ServiceRequest& request, const std::vector<std::string>& segments,
            const QueryValues& query, int64_t now)
        : store_(store),
          request_(request),
          s_(segments),
          query_(query),
          now_(now),
          get_(request.method == "GET" || request.method == "HEAD"),
          post_(request.method == "POST"),
          answer_(!s_.empty() && s_[0] == "api") {}

    ServiceReply Route() {
        if (s_.size() == 1 && s_[0].empty()) return Get() ? ShowAccounts() : Wrong();
        if (s_.size() == 2 && s_[0] == "static") return Get() ? Static(s_[1]) : Wrong();
        if (s_[0] == "api") return Api();
        if (s_.size() == 2 && s_[1].empty()) return Get() ? ShowList(s_[0]) : Wrong();
        if (s_.size() == 3) return Get() ? ShowTransfer(s_[0], s_[1], s_[2]) : Wrong();
        return answer_.NotFound("the inbox has no page here");
    }

private:
    bool Get() {
        allowed_ = "GET, HEAD";
        return get_;
    }
    bool Post() {
        allowed_ = "POST";
        return post_;
    }
    ServiceReply Wrong() const { return answer_.WrongMethod(allowed_); }

    ServiceReply ShowAccounts() const { return answer_.Html(200, AccountsPage(store_.AccountSummaries())); }

    ServiceReply Static(const std::string& name) const {
        const StaticFile* file = FindStaticFile(name);
        if (!file) return answer_.NotFound("no such file");
        return {200, std::string(file->contentType), std::string(file->body), {}};
    }

    ServiceReply ShowList(const std::string& user) const {
        const std::optional<Account> account = store_.FindAccount(user);
        if (!account) return answer_.NotFound("no account '" + user + "'");
        std::string error;
        std::optional<TransferQuery> query = ReadTransferQuery(query_, error);
        if (!query) return answer_.BadRequest(error);
        const std::optional<int64_t> limit = query->limit;
        query->limit.reset();
        std::vector<Transfer> transfers = FindTransfers(store_, account->id, *query);
        const size_t selected = transfers.size();
        const auto rows = static_cast<size_t>(limit.value_or(kPageRows));
        if (transfers.size() > rows) transfers.resize(rows);
        return answer_.Html(200, TransfersPage(*account, query_, transfers, selected, now_));
    }

    ServiceReply ShowTransfer(const std::string& user, const std::string& month,
                              const std::string& index) const {
        const Named named = FindNamed(store_, user, month, index);
        if (!named.transfer) return answer_.NotFound("no such transfer");
        return answer_.Html(200,
                            TransferPage(*named.account, *named.transfer,
                                         PicturesOf(store_, named.account->id, named.transfer->key), now_));
    }

    ServiceReply Api() {
        const size_t n = s_.size();
        if (n == 2 && s_[1] == "version") {
            if (!Get()) return Wrong();
            return answer_.Json(200, VersionJson(store_.Version(), now_, store_.NextStateChange(now_)));
        }
        if (n == 2 && s_[1] == "accounts")
            return Get() ? answer_.Json(200, AccountsJson(store_.AccountSummaries())) : Wrong();
        if (n == 2 && s_[1] == "messages") return Get() ? Messages() : Wrong();
        if (n < 4 || s_[1] != "accounts") return answer_.NotFound("the inbox's API has nothing here");
        const std::string& user = s_[2];
        if (n == 4 && s_[3] == "transfers") return Get() ? ListApi(user) : Wrong();
        if (n == 4 && s_[3] == "credit") return Post() ? Credit(user) : Wrong();
        if (n == 4 && s_[3] == "clear") return Post() ? Clear(user) : Wrong();
        if (s_[3] != "transfers" || n < 6) return answer_.NotFound("the inbox's API has nothing here");
        if (n == 6) return Get() ? TransferApi(user, s_[4], s_[5]) : Wrong();
        if (n == 7 && s_[6] == "cancel") return Post() ? Cancel(user, s_[4], s_[5]) : Wrong();
        if (n == 7 && s_[6] == "delete") return Post() ? Delete(user, s_[4], s_[5]) : Wrong();
        if (n == 8 && s_[6] == "images") return Get() ? PictureApi(user, s_[4], s_[5], s_[7]) : Wrong();
        return answer_.NotFound("the inbox's API has nothing here");
    }

    ServiceReply Messages() const {
        const auto phone = query_.find("phone");
        std::string digits;
        if (phone != query_.end() && !phone->second.empty()) {
            digits = PhoneDigits(phone->second);
            if (digits.empty()) return answer_.BadRequest("phone has no digits: '" + phone->second + "'");
        }
        int64_t limit = -1;
        const auto given = query_.find("limit");
        if (given != query_.end() && !given->second.empty()) {
            const std::optional<int64_t> parsed = ParseIndex(given->second);
            if (!parsed)
                return answer_.BadRequest("limit must be a positive number, not '" + given->second + "'");
            limit = *parsed;
        }
        return answer_.Json(200, MessagesJson(store_.FindReceived(digits, limit), now_));
    }

    ServiceReply ListApi(const std::string& user) const {
        const std::optional<Account> account = store_.FindAccount(user);
        if (!account) return answer_.NotFound("no account '" + user + "'");
        std::string error;
        const std::optional<TransferQuery> query = ReadTransferQuery(query_, error);
        if (!query) return answer_.BadRequest(error);
        return answer_.Json(200, TransfersJson(FindTransfers(store_, account->id, *query), now_));
    }

    ServiceReply TransferApi(const std::string& user, const std::string& month,
                             const std::string& index) const {
        const Named named = FindNamed(store_, user, month, index);
        if (!named.transfer) return answer_.NotFound("no such transfer");
        return answer_.Json(200, TransferJson(named.account->userId, *named.transfer,
                                              PicturesOf(store_, named.account->id, named.transfer->key),
                                              now_, request_.baseUrl));
    }

    ServiceReply PictureApi(const std::string& user, const std::string& month, const std::string& index,
                            std::string_view file) const {
        const Named named = FindNamed(store_, user, month, index);
        const std::optional<int64_t> position =
            file.ends_with(".jpg") ? ParseIndex(file.substr(0, file.size() - 4)) : std::nullopt;
        std::optional<std::string> jpeg;
        if (named.transfer && position && *position <= named.transfer->imageCount) {
            jpeg = store_.Image(named.account->id, named.transfer->key, static_cast<int>(*position));
        }
        if (!jpeg) return answer_.NotFound("no such picture");
        return {200, "image/jpeg", std::move(*jpeg), {}};
    }

    ServiceReply Cancel(const std::string& user, const std::string& month, const std::string& index) const {
        const Named named = FindNamed(store_, user, month, index);
        if (!named.transfer) return answer_.NotFound("no such transfer");
        const LogRecord record = CancelEntry(store_, *named.account, KeyOf(*named.transfer), now_);
        const std::optional<Account> after = store_.FindAccount(user);
        JsonWriter json;
        json.BeginObject()
            .Member("result", record.result == "succeed" ? "cancelled" : "not-cancellable")
            .Member("receivers", static_cast<int64_t>(record.countTotal))
            .Member("credit", after ? after->credit : named.account->credit)
            .EndObject();
        return answer_.Json(200, json.Text());
    }

    ServiceReply Delete(const std::string& user, const std::string& month, const std::string& index) const {
        const Named named = FindNamed(store_, user, month, index);
        if (!named.transfer) return answer_.NotFound("no such transfer");
        const LogRecord record = DeleteEntry(store_, *named.account, KeyOf(*named.transfer), now_);
        // Another request may have deleted it in between.
        if (record.result != "succeed") return answer_.NotFound("no such transfer");
        return answer_.Json(200, JsonWriter().BeginObject().Member("result", "deleted").EndObject().Text());
    }

    ServiceReply Credit(const std::string& user) const {
        const std::optional<Account> account = store_.FindAccount(user);
        if (!account) return answer_.NotFound("no account '" + user + "'");
        const std::optional<int64_t> credit = ReadCountMember(request_.body, "credit");
        if (!credit) return answer_.BadRequest("the body must be {\"credit\": N} with a whole number N >= 0");
        if (!store_.SetCredit(account->id, *credit)) return answer_.NotFound("no account '" + user + "'");
        return answer_.Json(200, JsonWriter().BeginObject().Member("credit", *credit).EndObject().Text());
    }

    ServiceReply Clear(const std::string& user) const {
        const std::optional<Account> account = store_.FindAccount(user);
        if (!account) return answer_.NotFound("no account '" + user + "'");
        const int64_t removed = store_.ClearTransfers(account->id);
        return answer_.Json(200, JsonWriter().BeginObject().Member("deleted", removed).EndObject().Text());
    }

    Store& store_;
    const ServiceRequest& request_;
    const std::vector<std::string>& s_;
    const QueryValues& query_;
    const int64_t now_;
    const bool get_;
    const bool post_;
    const Answer answer_;
    const char* allowed_ = "GET, HEAD";
};

}  // namespace

bool IsInboxTarget(std::string_view target) {
    const std::string_view path = PathOf(target);
    return path == "/inbox" || path.starts_with("/inbox/");
}

ServiceReply Inbox::Handle(const ServiceRequest& request, int64_t now) {
    ServiceReply reply;
    try {
        reply = Admitted(request, now);
    } catch (const std::exception& e) {
        reply = Answer(PathOf(request.target).starts_with("/inbox/api/"))
                    .Error(500, "Internal error", std::string("the store failed: ") + e.what());
    }
    AddCommonHeaders(reply);
    return reply;
}

ServiceReply Inbox::Admitted(const ServiceRequest& request, int64_t now) {
    const std::string_view path = PathOf(request.target);
    const bool api = path.starts_with("/inbox/api/");
    const Answer answer(api);
    const bool get = request.method == "GET" || request.method == "HEAD";
    const std::optional<QueryValues> query = ParseQuery(request.target);
    const std::optional<std::vector<std::string>> segments = PathSegments(path);
    if (!query || !segments) return answer.BadRequest("the path or the query has a broken %-escape");

    if (!access_.token.empty()) {
        const auto shownInQuery = query->find("token");
        if (get && !api && shownInQuery != query->end()) {
            // A browser shows the token once in the address; the cookie carries it from then on,
            // and the address it is sent on to no longer holds it.
            if (!SameToken(shownInQuery->second, access_.token)) {
                return answer.Error(401, "Wrong token", "the token in the address is not this inbox's");
            }
            ServiceReply reply{303, kHtml, "", {}};
            reply.headers.emplace_back("Location", WithoutToken(path, *query));
            reply.headers.emplace_back("Set-Cookie", std::string(kInboxCookie) + "=" + access_.token +
                                                         "; HttpOnly; SameSite=Strict; Path=/inbox/");
            return reply;
        }
        const std::optional<std::string> shown = ShownToken(request.authorization, request.cookie);
        if (!shown || !SameToken(*shown, access_.token)) {
            ServiceReply reply = answer.Error(
                401, "Token needed",
                "This inbox needs its token (--inbox-token): open /inbox/?token=TOKEN once in this browser "
                "(a cookie keeps it), or send the header Authorization: Bearer TOKEN.");
            reply.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"vexa-sandbox inbox\"");
            return reply;
        }
    } else if (!IsLoopbackHost(request.host)) {
        // A page of another site that has its name resolve to 127.0.0.1 names itself in Host.
        return answer.Error(403, "Forbidden", "the inbox answers only requests addressed to a loopback name");
    }
    if (request.method == "POST" && request.inboxMarker != "1") {
        return answer.Error(403, "Forbidden", "an inbox action needs the header X-Vexa-Inbox: 1");
    }
    if (path == "/inbox") {
        ServiceReply reply{301, kHtml, "", {}};
        reply.headers.emplace_back("Location", "/inbox/");
        return reply;
    }
    // The segments after "inbox".
    const std::vector<std::string> rest(segments->begin() + 1, segments->end());
    return Request(store_, request, rest, *query, now).Route();
}

}  // namespace vexa::sandbox
