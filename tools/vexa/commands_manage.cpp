#include <algorithm>

#include "commands.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

ComPtr<IDispatch> MakeLogLists(const Session& session, const ManageRequest& request) {
    ComPtr<IDispatch> lists = session.Front().CreateLogLists();
    const auto entries = Query<ILogLists>(session, lists.Get(), IID_ILogLists, "ILogLists");
    for (const std::string& index : request.indexes) {
        const ComPtr<IDispatch> entry =
            session.Front().CreateLogListDirect(request.month, index, request.type);
        session.Check(entries->Add(entry.Get()), "LogLists.Add");
    }
    return lists;
}

// Whether the service can still show the transfer, though its log no longer lists it.
bool Deleted(const Session& session, YearMonth month, const std::string& index) {
    const ComPtr<IDispatch> found = session.Front().RequestDetail({month, index, VEXA_MESSAGE_TYPE_ALL});
    if (!found) return false;
    const auto details = Query<ILogDetails>(session, found.Get(), IID_ILogDetails, "ILogDetails");
    return !GetText(session, details.Get(), &ILogDetails::get_Index, "LogDetails.Index").empty();
}

// Why the service turned an entry down, as far as the log and the details tell: the service
// answers only "failed".
// `month` is what the month's log says of its transfers.
std::string RefusalReason(const Session& session, const ManageRequest& request, const std::string& index,
                          const std::map<std::string, TransferFacts>& month) {
    const bool cancel = request.action == ManageRequest::Action::Cancel;
    const auto entry = month.find(index);
    const TransferFacts* facts = entry == month.end() ? nullptr : &entry->second;
    if (!facts) {
        if (!Deleted(session, request.month, index)) return "no such transfer";
        return cancel ? "deleted, and cancelled already or gone out" : "already deleted";
    }
    if (request.type != VEXA_MESSAGE_TYPE_ALL && request.type != facts->type)
        return "it is an " + std::string(MessageTypeName(facts->type)) + ", not an " +
               std::string(MessageTypeName(request.type));
    if (!cancel) return "refused by the service";
    if (!facts->reservation) return "not a reservation: it went out at once";
    const std::string state = SummarizeTransfer(*facts, [&] {
                                  return HasUnsentReceivers(session, {request.month, index, facts->type});
                              }).state;
    if (state == "cancelled") return "already cancelled";
    if (facts->due) return "its time has come: it went out";
    return "refused by the service";
}

}  // namespace

CommandResult RunManage(const Session& session, const ManageRequest& request) {
    const bool cancel = request.action == ManageRequest::Action::Cancel;
    const ComPtr<IDispatch> lists = MakeLogLists(session, request);
    const ComPtr<IDispatch> done =
        cancel ? session.Front().CancelReservations(lists.Get()) : session.Front().DeleteLogs(lists.Get());

    CommandResult result;
    Listing listing{"results", "", "The service reported no entries.", {}, {}};
    listing.columns = {{"date", "Month"}, {"index", "Index", Align::Right}, {"result", "Result"}};
    // The month's log is read once, at the first refusal, for all of them.
    std::optional<std::map<std::string, TransferFacts>> month;
    const auto reason = [&](VEXA_RESULT outcome, const std::string& index) -> Value {
        if (outcome == VEXA_SUCCEEDED) return {};
        if (!month) month = MonthFacts(session, request.month);
        return RefusalReason(session, request, index, *month);
    };
    if (cancel) {
        listing.columns.push_back({"total", "Total", Align::Right});
        listing.columns.push_back({"succeeded", "OK", Align::Right});
        listing.columns.push_back({"failed", "Failed", Align::Right});
    }
    listing.columns.push_back({"reason", "Reason"});
    // A reply without results leaves none, and no entry counts as done.
    if (cancel && done) {
        const auto results = Query<ICancelResults>(session, done.Get(), IID_ICancelResults, "ICancelResults");
        for (const ComPtr<IDispatch>& item : Items(session, results.Get(), "CancelResults")) {
            const auto one = Query<ICancelResult>(session, item.Get(), IID_ICancelResult, "ICancelResult");
            ICancelResult* r = one.Get();
            const VEXA_RESULT outcome = Get(session, r, &ICancelResult::get_Result, "CancelResult.Result");
            result.complete = result.complete && outcome == VEXA_SUCCEEDED;
            const std::string index = GetText(session, r, &ICancelResult::get_Index, "CancelResult.Index");
            listing.rows.push_back(
                {GetText(session, r, &ICancelResult::get_Date, "CancelResult.Date"), index,
                 ResultWord(outcome),
                 int64_t{Get(session, r, &ICancelResult::get_CountTotal, "CancelResult.CountTotal")},
                 int64_t{Get(session, r, &ICancelResult::get_CountSucceed, "CancelResult.CountSucceed")},
                 int64_t{Get(session, r, &ICancelResult::get_CountFailure, "CancelResult.CountFailure")},
                 reason(outcome, index)});
        }
    } else if (done) {
        const auto results = Query<IDeleteResults>(session, done.Get(), IID_IDeleteResults, "IDeleteResults");
        for (const ComPtr<IDispatch>& item : Items(session, results.Get(), "DeleteResults")) {
            const auto one = Query<IDeleteResult>(session, item.Get(), IID_IDeleteResult, "IDeleteResult");
            IDeleteResult* r = one.Get();
            const VEXA_RESULT outcome = Get(session, r, &IDeleteResult::get_Result, "DeleteResult.Result");
            result.complete = result.complete && outcome == VEXA_SUCCEEDED;
            const std::string index = GetText(session, r, &IDeleteResult::get_Index, "DeleteResult.Index");
            listing.rows.push_back({GetText(session, r, &IDeleteResult::get_Date, "DeleteResult.Date"), index,
                                    ResultWord(outcome), reason(outcome, index)});
        }
    }
    // Entries the service left out of its answer were not done either.
    result.complete = result.complete && listing.rows.size() == request.indexes.size();
    // Without a refusal the text table has no reasons to show; JSON keeps the member, null.
    listing.columns.back().jsonOnly =
        std::none_of(listing.rows.begin(), listing.rows.end(),
                     [](const auto& row) { return std::holds_alternative<std::string>(row.back()); });
    result.report.listings.push_back(std::move(listing));
    return result;
}

}  // namespace vexa_cli
