// Senders at once against a sandbox's HTTPS endpoint, each on a kept-alive connection of its own,
// each send a one-receiver text with a text of its own, and now and then a read of the month's
// logs between them. What the sandbox acknowledged is kept, so that a test can look for it in the
// store afterwards. Used by the load and crash tests and by the store benchmark.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vexa::sandbox::test {

struct LoadPlan {
    int httpsPort = 0;
    std::filesystem::path certificate;
    std::string user;
    std::string password;
    int senders = 8;
    int sendsEach = 25;
    int readEvery = 5;  // a logs read after every n-th send of a sender; 0: none
    std::string type = "sms";
    std::string image;           // a data URI that every send of type "mms" carries; empty: none
    std::string label = "load";  // begins every text, so that runs on one store differ
};

// A send the sandbox answered with an index: the text it carried and where it was stored.
struct Acknowledged {
    std::string text;
    std::string month;
    int64_t index = 0;
};

class SendLoad {
public:
    // Starts the senders at once.
    explicit SendLoad(LoadPlan plan);
    // Has the senders stop after the request each has in hand, and waits for them.
    ~SendLoad();
    SendLoad(const SendLoad&) = delete;
    SendLoad& operator=(const SendLoad&) = delete;

    // Waits until `count` sends have been acknowledged: false when every sender ended first, or
    // a minute went by.
    bool WaitForAcknowledged(int count) const;
    // Waits for every sender to end: each ends after its sends, or at the first request that
    // fails (a connection refused or cut, a reply other than 200). What was acknowledged, and how
    // many requests failed.
    struct Outcome {
        std::vector<Acknowledged> acknowledged;
        int failures = 0;
        std::string firstFailure;
    };
    Outcome Finish();

    // The text of the n-th send (from 0) of sender `sender`.
    std::string TextOf(int sender, int n) const;

private:
    void Sender(int sender);
    void Failed(const std::string& what);

    const LoadPlan plan_;
    std::atomic<int> acknowledgedSoFar_{0};
    std::atomic<int> sendersEnded_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    Outcome outcome_;
    std::vector<std::thread> threads_;
};

}  // namespace vexa::sandbox::test
