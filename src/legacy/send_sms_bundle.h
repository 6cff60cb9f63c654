// The "SENDSMS" element: one text to each of a list of receivers, at once or reserved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "legacy/unknown_bundle.h"

namespace VexaCore {

struct SmsReceiver {
    std::string name, phone, message;
    bool direct = true;
    int64_t sendTime = 0;  // seconds since 1970-01-01 00:00 UTC; only for a reservation
};

struct SmsResult {
    std::string phone, status, date, index;
};

class CSendSMSBundle : public CUnknownBundle {
public:
    explicit CSendSMSBundle(Quill::CTPMLParser* reply = nullptr) : CUnknownBundle(reply) {}

    void SetSender(const std::string& sender);
    // Name, phone and message go through EscapeField.
    void AddReceiver(const std::string& name, const std::string& phone, const std::string& message,
                     bool direct, int64_t sendTime);

    void Process() override;
    const std::vector<SmsReceiver>& Receivers() const { return receivers_; }
    const std::vector<SmsResult>& Results() const { return results_; }

private:
    std::string sender_;
    std::vector<SmsReceiver> receivers_;
    std::vector<SmsResult> results_;
};

}  // namespace VexaCore
