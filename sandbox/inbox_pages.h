// The web inbox's pages: plain HTML that works without its script, which only adds live updates
// and the buttons' actions. Every stored text is escaped where it is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/inbox_views.h"

namespace vexa::sandbox {

std::string AccountsPage(const std::vector<AccountSummary>& accounts);
// `shown` is at most `limit` of the transfers that `query` selects, `selected` of them in all.
std::string TransfersPage(const Account& account, const QueryValues& query,
                          const std::vector<Transfer>& shown, size_t selected, int64_t now);
std::string TransferPage(const Account& account, const Transfer& transfer,
                         const std::vector<Picture>& pictures, int64_t now);
// A page that says what went wrong, and how to get in for a missing token.
std::string MessagePage(const std::string& title, const std::string& text);

}  // namespace vexa::sandbox
