// The service's rules: what a receiver costs, which phones it takes, how a receiver's delivery
// goes on over time, when a reservation can still be cancelled, and how a log request names its
// days. Pure functions of their arguments and the time given; nothing here reads a clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sandbox/records.h"

namespace vexa::sandbox {

// Credit a receiver of each message type takes: "sms" 1, "lms" 3, "mms" 6; 0 for other words.
int64_t CostPerReceiver(std::string_view type);

// Digits and hyphens, with at least one digit.
bool IsAcceptablePhone(std::string_view phone);
// A number whose digits end in 0000 does not exist: its report says so.
bool IsUnassignedNumber(std::string_view phone);

// A receiver accepted now for `sendTime`: it reaches the carrier at its time (at once when that
// has passed) and the report comes `deliveryDelay` seconds later.
Receiver PlanDelivery(std::string phone, std::string name, std::string message, int64_t sendTime, int64_t now,
                      int64_t deliveryDelay);

// A receiver as a detail reply shows it at `now`.
struct ReceiverState {
    int status = 1;  // 1 requested (not yet handed over), 2 waiting for the report, 3 reported
    int result = kResultNotDelivered;
    std::string deliveredAt;  // local "YYYY-MM-DD HH:MM:SS" once reported; else empty
};
ReceiverState StateAt(const Receiver& receiver, int64_t now);

// A reservation can be cancelled until its first receiver goes out, once.
bool CanCancel(const Transfer& transfer, int64_t now);

struct TransferCounts {
    int32_t total = 0;
    int32_t success = 0;  // reported delivered
    int32_t failure = 0;  // reported undeliverable, or cancelled
};
TransferCounts CountsAt(const Transfer& transfer, int64_t now);

// A log request's date text: "YYYYMM" for a month, "YYYYMMDDDD" for the days first to last of
// it, where a first day 00 means the 1st and a last day 00 the month's end. Days past the end of
// the month end there. Nullopt for any other text.
struct LogRange {
    std::string month;
    int firstDay = 1;
    int lastDay = 31;
};
std::optional<LogRange> ParseLogRange(std::string_view dateText);

// A type word of a path or a log entry: "sms", "lms" or "mms" in any letter case, or "all" (or
// nothing) for every type. The type it names in lower case, "" for every type, or nullopt for an
// unknown word.
std::optional<std::string> ParseTypeWord(std::string_view word);

// "YYYYMM" with a month 1 to 12.
bool IsMonthKey(std::string_view text);
// A transfer's index as requests write it: a positive decimal number.
std::optional<int64_t> ParseIndex(std::string_view text);

}  // namespace vexa::sandbox
