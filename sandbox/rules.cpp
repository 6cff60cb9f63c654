#include "sandbox/rules.h"

#include <algorithm>
#include <charconv>

#include "rest/transfers_document.h"
#include "sandbox/local_time.h"
#include "vexa/calendar.h"

namespace vexa::sandbox {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

int Number(std::string_view digits) {
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

}  // namespace

int64_t CostPerReceiver(std::string_view type) {
    if (type == "sms") return 1;
    if (type == "lms") return 3;
    if (type == "mms") return 6;
    return 0;
}

bool IsAcceptablePhone(std::string_view phone) {
    return std::all_of(phone.begin(), phone.end(), [](char c) { return IsDigit(c) || c == '-'; }) &&
           std::any_of(phone.begin(), phone.end(), IsDigit);
}

bool IsUnassignedNumber(std::string_view phone) {
    std::string digits;
    for (char c : phone) {
        if (IsDigit(c)) digits += c;
    }
    return digits.ends_with("0000");
}

Receiver PlanDelivery(std::string phone, std::string name, std::string message, int64_t sendTime, int64_t now,
                      int64_t deliveryDelay) {
    const int result = IsUnassignedNumber(phone) ? kResultNoSuchNumber : kResultDelivered;
    const int64_t deliveryTime = std::max(sendTime, now) + deliveryDelay;
    return {std::move(phone), std::move(name), std::move(message), sendTime, deliveryTime, result};
}

ReceiverState StateAt(const Receiver& receiver, int64_t now) {
    if (receiver.result == kResultCancelled) return {1, kResultCancelled, {}};
    if (now < receiver.sendTime) return {1, kResultNotDelivered, {}};
    if (now < receiver.deliveryTime) return {2, kResultNotDelivered, {}};
    return {3, receiver.result, FormatLocalTime(receiver.deliveryTime)};
}

bool CanCancel(const Transfer& transfer, int64_t now) {
    return transfer.reservation && !transfer.cancelledTime && now < transfer.sendTime;
}

TransferCounts CountsAt(const Transfer& transfer, int64_t now) {
    TransferCounts counts;
    for (const Receiver& r : transfer.receivers) {
        ++counts.total;
        const ReceiverState state = StateAt(r, now);
        if (state.result == kResultCancelled || (state.status == 3 && state.result != kResultDelivered)) {
            ++counts.failure;
        } else if (state.status == 3) {
            ++counts.success;
        }
    }
    return counts;
}

std::optional<std::string> ParseTypeWord(std::string_view word) {
    const int32_t type = TypeFromName(word);
    if (type != 0) return std::string(TypeName(type));
    std::string lower(word);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower.empty() || lower == "all") return std::string();
    return std::nullopt;
}

bool IsMonthKey(std::string_view text) {
    if (text.size() != 6 || !AllDigits(text)) return false;
    const int month = Number(text.substr(4, 2));
    return month >= 1 && month <= 12;
}

std::optional<LogRange> ParseLogRange(std::string_view text) {
    if (text.size() != 6 && text.size() != 10) return std::nullopt;
    if (!IsMonthKey(text.substr(0, 6)) || !AllDigits(text)) return std::nullopt;
    LogRange range{std::string(text.substr(0, 6)), 1, 31};
    const int lastOfMonth = DaysInMonth(Number(text.substr(0, 4)), Number(text.substr(4, 2)));
    range.lastDay = lastOfMonth;
    if (text.size() == 10) {
        const int first = Number(text.substr(6, 2));
        const int last = Number(text.substr(8, 2));
        if (first > 31 || last > 31) return std::nullopt;
        if (first != 0) range.firstDay = first;
        if (last != 0) range.lastDay = std::min(last, lastOfMonth);
    }
    return range;
}

std::optional<int64_t> ParseIndex(std::string_view text) {
    if (!AllDigits(text) || text.size() > 18) return std::nullopt;
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value <= 0) return std::nullopt;
    return value;
}

}  // namespace vexa::sandbox
