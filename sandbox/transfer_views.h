// A stored transfer as the replies show it at a given moment: its log entry and its details.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rest/transfers_document.h"
#include "sandbox/records.h"

namespace vexa::sandbox {

LogRecord LogEntryOf(const Transfer& transfer, int64_t now);

// `imagesUrl` is where the account's images are served ("https://127.0.0.1:8443/images/user");
// each image's URL is that, the month, the index and its position ("/202403/7/1.jpg").
TransferDetail DetailOf(const Transfer& transfer, int64_t now, std::string_view imagesUrl);

}  // namespace vexa::sandbox
