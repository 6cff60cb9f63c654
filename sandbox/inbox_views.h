// What the web inbox shows, worked out from the store at the moment of a request: the same
// figures for its pages and for its JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/jpeg_size.h"
#include "sandbox/query_string.h"
#include "sandbox/records.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

// A receiver's delivery as a phone would see it, from the same rules as the detail replies.
enum class DeliveryState { kReserved, kPending, kDelivered, kNoSuchNumber, kCancelled };

DeliveryState DeliveryStateAt(const Receiver& receiver, int64_t now);
// "reserved", "pending", "delivered", "no-such-number", "cancelled".
const char* StateName(DeliveryState state);

struct StateCounts {
    int64_t total = 0;
    int64_t delivered = 0;
    int64_t pending = 0;
    int64_t reserved = 0;
    int64_t cancelled = 0;
    int64_t noSuchNumber = 0;
};
StateCounts StateCountsAt(const Transfer& transfer, int64_t now);

// What a receiver got: its own text, or the common one when it has none.
const std::string& EffectiveText(const Transfer& transfer, const Receiver& receiver);
// The text a list shows for a transfer: its subject, else its common text, else its first
// receiver's.
const std::string& Headline(const Transfer& transfer);
// "SMS", "LMS", "MMS".
std::string TypeLabel(std::string_view type);

// The filters of a transfer list, as query parameters: type (sms, lms, mms or all), month
// (YYYYMM), from and to (days of the month), reserved (1), q (text) and limit; an empty value is
// no filter.
struct TransferQuery {
    LogFilter filter;
    std::string text;
    std::optional<int64_t> limit;
};
// Nullopt, with what is wrong in `error`, for a value that cannot be read.
std::optional<TransferQuery> ReadTransferQuery(const QueryValues& query, std::string& error);
// The account's listed transfers the query selects, newest first.
std::vector<Transfer> FindTransfers(Store& store, int64_t accountId, const TransferQuery& query);

// The digits of a phone: "010-1234-5678" and "01012345678" are the same number.
std::string PhoneDigits(std::string_view phone);

struct Picture {
    int position = 0;  // from 1
    size_t bytes = 0;
    std::optional<PixelSize> size;
};
std::vector<Picture> PicturesOf(Store& store, int64_t accountId, const TransferKey& key);

// Where the inbox serves an account's things, relative to the origin, the user ID escaped.
std::string ListPath(std::string_view user);
std::string AccountApiPath(std::string_view user);
std::string TransferPagePath(std::string_view user, const TransferKey& key);
std::string TransferApiPath(std::string_view user, const TransferKey& key);
std::string PicturePath(std::string_view user, const TransferKey& key, int position);

}  // namespace vexa::sandbox
