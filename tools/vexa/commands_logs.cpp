#include <stdexcept>

#include "commands.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

std::vector<Value> LogRow(const Session& session, IDispatch* item) {
    const auto log = Query<ILogList>(session, item, IID_ILogList, "ILogList");
    const auto log2 = Query<ILogList2>(session, item, IID_ILogList2, "ILogList2");
    const auto log3 = Query<ILogList3>(session, item, IID_ILogList3, "ILogList3");
    ILogList* l = log.Get();
    const VEXA_SENDMODE mode = Get(session, l, &ILogList::get_SendMode, "LogList.SendMode");
    return {
        GetText(session, l, &ILogList::get_Index, "LogList.Index"),
        GetText(session, l, &ILogList::get_Date, "LogList.Date"),
        std::string(MessageTypeName(Get(session, log3.Get(), &ILogList3::get_Type, "LogList.Type"))),
        std::string(mode == VEXA_RESERVATION ? "reserved" : "direct"),
        DateValue(Get(session, l, &ILogList::get_SendTime, "LogList.SendTime")),
        DateValue(Get(session, log2.Get(), &ILogList2::get_WriteTime, "LogList.WriteTime")),
        int64_t{Get(session, l, &ILogList::get_CountTotal, "LogList.CountTotal")},
        int64_t{Get(session, l, &ILogList::get_CountSucceed, "LogList.CountSucceed")},
        int64_t{Get(session, l, &ILogList::get_CountFailure, "LogList.CountFailure")},
        GetText(session, l, &ILogList::get_ReceiverPhone, "LogList.ReceiverPhone"),
        GetText(session, l, &ILogList::get_ReturnPhone, "LogList.ReturnPhone"),
        GetText(session, l, &ILogList::get_Message, "LogList.Message"),
    };
}

}  // namespace

CommandResult RunLogs(const Session& session, const LogsRequest& request) {
    const ComPtr<IDispatch> found = session.Front().RequestLogs(request);
    // Telling "no transfers" for a reply that held no list would hide the service's silence.
    if (!found) throw std::runtime_error("the service's reply held no transfer list");

    CommandResult result;
    result.report.fields = {
        {"month", "Month", MonthText(request.month)},
        {"days", "Days",
         request.days ? Value{std::to_string(request.days->first) + "-" + std::to_string(request.days->last)}
                      : Value{}},
        {"type", "Type", std::string(MessageTypeName(request.type))},
        {"entries", "Entries", std::string(request.reservedOnly ? "reserved" : "all")},
    };
    Listing listing{"transfers",
                    "",
                    "No transfers.",
                    {{"index", "Index", Align::Right},
                     {"date", "Month", Align::Left, 0, true},
                     {"type", "Type"},
                     {"sendMode", "Mode"},
                     {"sendTime", "Send time"},
                     {"writeTime", "Written"},
                     {"total", "Total", Align::Right},
                     {"succeeded", "OK", Align::Right},
                     {"failed", "Failed", Align::Right},
                     {"receiverPhone", "Receiver"},
                     {"returnPhone", "Return phone", Align::Left, 0, true},
                     {"message", "Message", Align::Left, 40}},
                    {}};
    const auto lists = Query<ILogLists>(session, found.Get(), IID_ILogLists, "ILogLists");
    for (const ComPtr<IDispatch>& item : Items(session, lists.Get(), "LogLists"))
        listing.rows.push_back(LogRow(session, item.Get()));
    result.report.listings.push_back(std::move(listing));
    return result;
}

}  // namespace vexa_cli
