#include "send_load.h"

#include <charconv>
#include <chrono>
#include <optional>

#include "rest_requests.h"
#include "sandbox/sandbox.h"
#include "wire_connection.h"

namespace vexa::sandbox::test {

SendLoad::SendLoad(LoadPlan plan) : plan_(std::move(plan)) {
    for (int sender = 0; sender < plan_.senders; ++sender) {
        threads_.emplace_back([this, sender] {
            Sender(sender);
            ++sendersEnded_;
        });
    }
}

SendLoad::~SendLoad() {
    stopping_ = true;
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

bool SendLoad::WaitForAcknowledged(int count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (acknowledgedSoFar_ < count) {
        if (sendersEnded_ == plan_.senders || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string SendLoad::TextOf(int sender, int n) const {
    return plan_.label + " " + std::to_string(sender) + "-" + std::to_string(n);
}

SendLoad::Outcome SendLoad::Finish() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    std::lock_guard lock(mutex_);
    return outcome_;
}

void SendLoad::Failed(const std::string& what) {
    std::lock_guard lock(mutex_);
    if (outcome_.failures++ == 0) outcome_.firstFailure = what;
}

void SendLoad::Sender(int sender) {
    const std::vector<std::string> credentials = {
        "Authorization: " + BasicAuthorization(plan_.user, plan_.password), "Auth-Realm: " + DefaultRealm()};
    const std::string sendTarget = "/messages/" + plan_.user;
    std::vector<std::string> images;
    if (plan_.type == "mms" && !plan_.image.empty()) images.push_back(plan_.image);
    const TlsClient tls(plan_.certificate);
    std::optional<WireConnection> connection;
    // One request over the kept connection, made anew when the sandbox ended the last one (it
    // does after so many requests).
    auto exchange = [&](const std::string& request) -> std::optional<WireReply> {
        if (!connection) connection.emplace(plan_.httpsPort, tls);
        std::optional<WireReply> reply = connection->Exchange(request);
        if (!reply || reply->Header("connection") == "close") connection.reset();
        return reply;
    };
    for (int n = 0; n < plan_.sendsEach && !stopping_; ++n) {
        const std::string text = TextOf(sender, n);
        const std::optional<WireReply> reply = exchange(WireRequest(
            "POST", sendTarget, credentials,
            SendDocument(plan_.type, text, {{"010-5555-" + std::to_string(1000 + sender)}}, images)));
        if (!reply || reply->status != 200) return Failed(reply ? reply->body : "send: no reply");
        CRondoMessages messages{ServiceContext{}};
        if (!ReadReply(messages, reply->Header("content-type"), reply->body, sendTarget) ||
            messages.message.receivers.size() != 1 || messages.message.receivers[0].result != "succeed") {
            return Failed("send: " + reply->body);
        }
        const ReceiverRecord& stored = messages.message.receivers[0];
        int64_t index = 0;
        if (std::from_chars(stored.index.data(), stored.index.data() + stored.index.size(), index).ec !=
            std::errc()) {
            return Failed("send: index " + stored.index);
        }
        {
            std::lock_guard lock(mutex_);
            outcome_.acknowledged.push_back({text, stored.date, index});
        }
        ++acknowledgedSoFar_;
        if (plan_.readEvery > 0 && (n + 1) % plan_.readEvery == 0) {
            const std::optional<WireReply> logs =
                exchange(WireRequest("GET", "/transfers/" + plan_.user + "/all/" + stored.date, credentials));
            if (!logs || logs->status != 200) return Failed(logs ? logs->body : "logs: no reply");
        }
    }
}

}  // namespace vexa::sandbox::test
