// What a sandbox's store file holds after a run, read straight from the file once the sandbox has
// stopped (or died), and how that compares with what the sandbox acknowledged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "send_load.h"

namespace vexa::sandbox::test {

struct StoredTransfer {
    std::string month;
    int64_t index = 0;
};

struct StoreContents {
    std::string integrity;  // what PRAGMA integrity_check answers: "ok" for a sound file
    std::map<std::string, std::vector<StoredTransfer>> transfersByText;
    int64_t transfers = 0;
    int64_t charged = 0;  // the costs of the account's transfers, added up
    int64_t credit = 0;   // the account's credit
};

StoreContents ReadStore(const std::filesystem::path& file, const std::string& user);

// Empty when the store holds every acknowledged send exactly once, under the key the reply named,
// holds no text twice, and its credit is the start credit less what its transfers cost; with
// `nothingElse`, also no transfer that was not acknowledged. Otherwise what differs, line by line.
std::string Discrepancies(const StoreContents& store, const std::vector<Acknowledged>& acknowledged,
                          int64_t startCredit, bool nothingElse);

}  // namespace vexa::sandbox::test
