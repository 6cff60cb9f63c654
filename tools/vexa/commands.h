// The subcommands: each makes its calls on the session's front object (Message or SMS) and
// describes the outcome as a Report. A failed call throws ComponentError.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "delivery_state.h"
#include "report.h"
#include "requests.h"
#include "session.h"

namespace vexa_cli {

struct CommandResult {
    Report report;
    // False when the call worked but the service turned some receivers or entries down.
    bool complete = true;
};

CommandResult RunStatus(const Session& session, const StatusRequest& request);
// `request.text` is the final text (standard input already read).
CommandResult RunSend(const Session& session, const SendRequest& request);
CommandResult RunLogs(const Session& session, const LogsRequest& request);
CommandResult RunDetail(const Session& session, const DetailRequest& request);
CommandResult RunManage(const Session& session, const ManageRequest& request);

// What the month's log says of each transfer it lists, by index (one request for all of them).
std::map<std::string, TransferFacts> MonthFacts(const Session& session, YearMonth month);
// Whether a transfer has a receiver that was never handed over (its details read for it).
bool HasUnsentReceivers(const Session& session, const DetailRequest& transfer);

// Shared by the commands' reports.
// A DATE as local "YYYY-MM-DD HH:MM:SS"; nothing for 0.0 (no time) or a value that is no date.
Value DateValue(DATE date);
std::string ResultWord(VEXA_RESULT result);
// The local clock's time as a DATE, as the component gives times.
DATE NowDate();
// "YYYY-MM".
std::string MonthText(YearMonth month);

}  // namespace vexa_cli
