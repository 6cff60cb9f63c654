// What the store keeps: accounts, and transfers with their receivers. Texts are UTF-8; times are
// Unix seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa::sandbox {

// A receiver's result as the carrier reports it, and the sandbox's own code for a cancelled one.
enum ResultCode : int {
    kResultDelivered = 0,
    kResultNotDelivered = 1,  // shown while no report has come
    kResultNoSuchNumber = 2,
    kResultCancelled = 3,
};

struct Account {
    int64_t id = 0;
    std::string userId;
    std::string name;
    std::vector<std::string> returnPhones;  // the first is the account's return phone
    int64_t credit = 0;
};

// A transfer's identity within its account: the month it was written ("YYYYMM") and its index
// in that month, counted from 1.
struct TransferKey {
    std::string month;
    int64_t index = 0;

    bool operator==(const TransferKey&) const = default;
};

struct Receiver {
    std::string phone;
    std::string name;
    std::string message;
    int64_t sendTime = 0;      // when it goes out: the reserved time, or the write time
    int64_t deliveryTime = 0;  // when the carrier's report arrives
    int result = 0;            // the report's result (a ResultCode), or kCancelled
};

struct Transfer {
    int64_t id = 0;
    TransferKey key;
    int day = 0;  // the day of the month it was written
    std::string type;
    std::string sender;
    std::string message;  // the common text
    std::string subject;
    bool reservation = false;
    int64_t sendTime = 0;  // the earliest of its receivers'
    int64_t writeTime = 0;
    int64_t cost = 0;  // what its receivers took from the credit
    std::string userIp;
    std::string via;  // the protocol it came through: "rest" or "legacy"
    std::optional<int64_t> deletedTime;
    std::optional<int64_t> cancelledTime;
    std::vector<Receiver> receivers;
    int imageCount = 0;
};

}  // namespace vexa::sandbox
