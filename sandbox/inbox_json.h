// The web inbox's views as JSON, for its API: times as Unix seconds and as local ISO text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/inbox_views.h"

namespace vexa::sandbox {

std::string AccountsJson(const std::vector<AccountSummary>& accounts);
std::string TransfersJson(const std::vector<Transfer>& transfers, int64_t now);
// `baseUrl` ("http://127.0.0.1:8080") makes the pictures' URLs absolute.
std::string TransferJson(const std::string& user, const Transfer& transfer,
                         const std::vector<Picture>& pictures, int64_t now, const std::string& baseUrl);
std::string MessagesJson(const std::vector<ReceivedMessage>& messages, int64_t now);
std::string VersionJson(int64_t version, int64_t now, std::optional<int64_t> next);
std::string ErrorJson(const std::string& message);

}  // namespace vexa::sandbox
