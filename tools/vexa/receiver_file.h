// Receivers for a bulk send, from a CSV file: one receiver per line, "PHONE[,NAME[,TEXT]]", fields
// quoted as CSV quotes them ("" for a quote; commas and line breaks inside quotes). Blank lines,
// lines starting with '#', and a first line that names the columns ("phone,...") are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"

namespace vexa_cli {

// Throws UsageError naming the file and the line of the first mistake.
std::vector<ReceiverEntry> ParseReceiverFile(std::string_view content, const std::string& fileName);

// The file read and parsed; UsageError when it cannot be read.
std::vector<ReceiverEntry> ReadReceiverFile(const std::string& fileName);

}  // namespace vexa_cli
