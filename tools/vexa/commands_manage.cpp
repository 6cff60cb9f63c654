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

}  // namespace

CommandResult RunManage(const Session& session, const ManageRequest& request) {
    const bool cancel = request.action == ManageRequest::Action::Cancel;
    const ComPtr<IDispatch> lists = MakeLogLists(session, request);
    const ComPtr<IDispatch> done =
        cancel ? session.Front().CancelReservations(lists.Get()) : session.Front().DeleteLogs(lists.Get());

    CommandResult result;
    Listing listing{"results", "", "The service reported no entries.", {}, {}};
    listing.columns = {{"date", "Month"}, {"index", "Index", Align::Right}, {"result", "Result"}};
    if (cancel) {
        listing.columns.push_back({"total", "Total", Align::Right});
        listing.columns.push_back({"succeeded", "OK", Align::Right});
        listing.columns.push_back({"failed", "Failed", Align::Right});
    }
    // A reply without results leaves none, and no entry counts as done.
    if (cancel && done) {
        const auto results = Query<ICancelResults>(session, done.Get(), IID_ICancelResults, "ICancelResults");
        for (const ComPtr<IDispatch>& item : Items(session, results.Get(), "CancelResults")) {
            const auto one = Query<ICancelResult>(session, item.Get(), IID_ICancelResult, "ICancelResult");
            ICancelResult* r = one.Get();
            const VEXA_RESULT outcome = Get(session, r, &ICancelResult::get_Result, "CancelResult.Result");
            result.complete = result.complete && outcome == VEXA_SUCCEEDED;
            listing.rows.push_back(
                {GetText(session, r, &ICancelResult::get_Date, "CancelResult.Date"),
                 GetText(session, r, &ICancelResult::get_Index, "CancelResult.Index"), ResultWord(outcome),
                 int64_t{Get(session, r, &ICancelResult::get_CountTotal, "CancelResult.CountTotal")},
                 int64_t{Get(session, r, &ICancelResult::get_CountSucceed, "CancelResult.CountSucceed")},
                 int64_t{Get(session, r, &ICancelResult::get_CountFailure, "CancelResult.CountFailure")}});
        }
    } else if (done) {
        const auto results = Query<IDeleteResults>(session, done.Get(), IID_IDeleteResults, "IDeleteResults");
        for (const ComPtr<IDispatch>& item : Items(session, results.Get(), "DeleteResults")) {
            const auto one = Query<IDeleteResult>(session, item.Get(), IID_IDeleteResult, "IDeleteResult");
            IDeleteResult* r = one.Get();
            const VEXA_RESULT outcome = Get(session, r, &IDeleteResult::get_Result, "DeleteResult.Result");
            result.complete = result.complete && outcome == VEXA_SUCCEEDED;
            listing.rows.push_back({GetText(session, r, &IDeleteResult::get_Date, "DeleteResult.Date"),
                                    GetText(session, r, &IDeleteResult::get_Index, "DeleteResult.Index"),
                                    ResultWord(outcome)});
        }
    }
    // Entries the service left out of its answer were not done either.
    result.complete = result.complete && listing.rows.size() == request.indexes.size();
    result.report.listings.push_back(std::move(listing));
    return result;
}

}  // namespace vexa_cli
