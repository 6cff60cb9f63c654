#include "sandbox/inbox_views.h"

#include <algorithm>

#include "rest/service_context.h"
#include "sandbox/rules.h"

namespace vexa::sandbox {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

bool Contains(std::string_view text, std::string_view lowerNeedle) {
    return Lower(text).find(lowerNeedle) != std::string::npos;
}

// A text search: any of the texts and names holds the words as written (letter case aside), or
// any phone holds the digits of a search made of digits and hyphens.
bool Matches(const Transfer& t, std::string_view search) {
    const std::string needle = Lower(search);
    const bool phoneLike = std::all_of(search.begin(), search.end(),
                                       [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == ' '; });
    const std::string digits = phoneLike ? PhoneDigits(search) : std::string();
    const auto phoneMatches = [&](std::string_view phone) {
        return Contains(phone, needle) ||
               (!digits.empty() && PhoneDigits(phone).find(digits) != std::string::npos);
    };
    if (phoneMatches(t.sender) || Contains(t.subject, needle) || Contains(t.message, needle)) return true;
    return std::any_of(t.receivers.begin(), t.receivers.end(), [&](const Receiver& r) {
        return phoneMatches(r.phone) || Contains(r.name, needle) || Contains(r.message, needle);
    });
}

// An optional number within [low, high]; false when present and not one.
bool ReadNumber(const QueryValues& query, std::string_view name, int64_t low, int64_t high,
                std::optional<int64_t>& value, std::string& error) {
    const auto found = query.find(name);
    if (found == query.end() || found->second.empty()) return true;
    value = ParseIndex(found->second);
    if (!value || *value < low || *value > high) {
        error = std::string(name) + " must be a number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + found->second + "'";
        return false;
    }
    return true;
}

std::string Value(const QueryValues& query, std::string_view name) {
    const auto found = query.find(name);
    return found == query.end() ? std::string() : found->second;
}

}  // namespace

DeliveryState DeliveryStateAt(const Receiver& receiver, int64_t now) {
    const ReceiverState state = StateAt(receiver, now);
    if (state.result == kResultCancelled) return DeliveryState::kCancelled;
    if (state.status == 1) return DeliveryState::kReserved;
    if (state.status == 2) return DeliveryState::kPending;
    return state.result == kResultDelivered ? DeliveryState::kDelivered : DeliveryState::kNoSuchNumber;
}

const char* StateName(DeliveryState state) {
    switch (state) {
        case DeliveryState::kReserved:
            return "reserved";
        case DeliveryState::kPending:
            return "pending";
        case DeliveryState::kDelivered:
            return "delivered";
        case DeliveryState::kNoSuchNumber:
            return "no-such-number";
        case DeliveryState::kCancelled:
            return "cancelled";
    }
    return "";
}

StateCounts StateCountsAt(const Transfer& transfer, int64_t now) {
    // In the order of DeliveryState.
    static constexpr int64_t StateCounts::*kSlots[] = {&StateCounts::reserved, &StateCounts::pending,
                                                       &StateCounts::delivered, &StateCounts::noSuchNumber,
                                                       &StateCounts::cancelled};
    StateCounts counts;
    for (const Receiver& r : transfer.receivers) {
        ++counts.total;
        ++(counts.*kSlots[static_cast<size_t>(DeliveryStateAt(r, now))]);
    }
    return counts;
}

const std::string& EffectiveText(const Transfer& transfer, const Receiver& receiver) {
    return receiver.message.empty() ? transfer.message : receiver.message;
}

const std::string& Headline(const Transfer& transfer) {
    if (!transfer.subject.empty()) return transfer.subject;
    if (!transfer.message.empty() || transfer.receivers.empty()) return transfer.message;
    return transfer.receivers.front().message;
}

std::string TypeLabel(std::string_view type) {
    std::string label(type);
    for (char& c : label) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return label;
}

std::optional<TransferQuery> ReadTransferQuery(const QueryValues& query, std::string& error) {
    TransferQuery result;
    const std::string typeWord = Value(query, "type");
    const std::optional<std::string> type = ParseTypeWord(typeWord);
    if (!type) {
        error = "type must be sms, lms, mms or all, not '" + typeWord + "'";
        return std::nullopt;
    }
    result.filter.type = *type;
    result.filter.month = Value(query, "month");
    if (!result.filter.month.empty() && !IsMonthKey(result.filter.month)) {
        error = "month must be YYYYMM, not '" + result.filter.month + "'";
        return std::nullopt;
    }
    std::optional<int64_t> from;
    std::optional<int64_t> to;
    if (!ReadNumber(query, "from", 1, 31, from, error) || !ReadNumber(query, "to", 1, 31, to, error) ||
        !ReadNumber(query, "limit", 1, INT32_MAX, result.limit, error)) {
        return std::nullopt;
    }
    result.filter.firstDay = static_cast<int>(from.value_or(1));
    result.filter.lastDay = static_cast<int>(to.value_or(31));
    const std::string reserved = Value(query, "reserved");
    if (!reserved.empty() && reserved != "1" && reserved != "0") {
        error = "reserved must be 1 or 0, not '" + reserved + "'";
        return std::nullopt;
    }
    result.filter.reservationOnly = reserved == "1";
    result.text = Value(query, "q");
    return result;
}

std::vector<Transfer> FindTransfers(Store& store, int64_t accountId, const TransferQuery& query) {
    std::vector<Transfer> transfers = store.ListRecentTransfers(accountId, query.filter);
    if (!query.text.empty()) {
        std::erase_if(transfers, [&](const Transfer& t) { return !Matches(t, query.text); });
    }
    if (query.limit && transfers.size() > static_cast<size_t>(*query.limit)) {
        transfers.resize(static_cast<size_t>(*query.limit));
    }
    return transfers;
}

std::string PhoneDigits(std::string_view phone) {
    std::string digits;
    for (const char c : phone) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits;
}

std::vector<Picture> PicturesOf(Store& store, int64_t accountId, const TransferKey& key) {
    std::vector<Picture> pictures;
    int position = 0;
    for (const std::string& jpeg : store.Images(accountId, key)) {
        pictures.push_back({++position, jpeg.size(), JpegPixelSize(jpeg)});
    }
    return pictures;
}

std::string ListPath(std::string_view user) { return "/inbox/" + PathSegment(user) + "/"; }

std::string TransferPagePath(std::string_view user, const TransferKey& key) {
    return ListPath(user) + key.month + "/" + std::to_string(key.index);
}

std::string AccountApiPath(std::string_view user) { return "/inbox/api/accounts/" + PathSegment(user); }

std::string TransferApiPath(std::string_view user, const TransferKey& key) {
    return AccountApiPath(user) + "/transfers/" + key.month + "/" + std::to_string(key.index);
}

std::string PicturePath(std::string_view user, const TransferKey& key, int position) {
    return TransferApiPath(user, key) + "/images/" + std::to_string(position) + ".jpg";
}

}  // namespace vexa::sandbox
