#include <stdexcept>

#include "commands.h"
#include "delivery_state.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

TransferFacts FactsOf(const Session& session, ILogList* log) {
    TransferFacts facts;
    facts.reservation = Get(session, log, &ILogList::get_SendMode, "LogList.SendMode") == VEXA_RESERVATION;
    facts.sendTime = Get(session, log, &ILogList::get_SendTime, "LogList.SendTime");
    facts.due = facts.sendTime <= NowDate();
    facts.total = Get(session, log, &ILogList::get_CountTotal, "LogList.CountTotal");
    facts.delivered = Get(session, log, &ILogList::get_CountSucceed, "LogList.CountSucceed");
    facts.notDelivered = Get(session, log, &ILogList::get_CountFailure, "LogList.CountFailure");
    const auto typed = Query<ILogList3>(session, log, IID_ILogList3, "ILogList3");
    facts.type = Get(session, typed.Get(), &ILogList3::get_Type, "LogList.Type");
    return facts;
}

std::vector<Value> LogRow(const Session& session, IDispatch* item) {
    const auto log = Query<ILogList>(session, item, IID_ILogList, "ILogList");
    const auto log2 = Query<ILogList2>(session, item, IID_ILogList2, "ILogList2");
    ILogList* l = log.Get();
    const std::string index = GetText(session, l, &ILogList::get_Index, "LogList.Index");
    const std::string date = GetText(session, l, &ILogList::get_Date, "LogList.Date");
    const TransferFacts facts = FactsOf(session, l);
    const VEXA_MESSAGE_TYPE type = facts.type;
    // Only a reservation whose every receiver failed after its time needs its details read.
    const TransferDelivery delivery = SummarizeTransfer(facts, [&] {
        try {
            return HasUnsentReceivers(session, {ParseMonth(date), index, type});
        } catch (const UsageError&) {
            return false;  // a month key the service wrote and that names no month: no details to read
        }
    });
    return {
        index,
        date,
        std::string(MessageTypeName(type)),
        std::string(facts.reservation ? "reserved" : "direct"),
        DateValue(facts.sendTime),
        DateValue(Get(session, log2.Get(), &ILogList2::get_WriteTime, "LogList.WriteTime")),
        delivery.state,
        facts.total,
        delivery.delivered,
        delivery.pending,
        delivery.reserved,
        delivery.cancelled,
        delivery.failed,
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
                     {"state", "State"},
                     {"total", "Total", Align::Right},
                     {"delivered", "Delivered", Align::Right},
                     {"pending", "Pending", Align::Right},
                     {"reserved", "Reserved", Align::Right, 0, true},
                     {"cancelled", "Cancelled", Align::Right, 0, true},
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

std::map<std::string, TransferFacts> MonthFacts(const Session& session, YearMonth month) {
    std::map<std::string, TransferFacts> facts;
    const ComPtr<IDispatch> found = session.Front().RequestLogs(LogsRequest{month});
    if (!found) return facts;
    const auto lists = Query<ILogLists>(session, found.Get(), IID_ILogLists, "ILogLists");
    for (const ComPtr<IDispatch>& item : Items(session, lists.Get(), "LogLists")) {
        const auto log = Query<ILogList>(session, item.Get(), IID_ILogList, "ILogList");
        facts.emplace(GetText(session, log.Get(), &ILogList::get_Index, "LogList.Index"),
                      FactsOf(session, log.Get()));
    }
    return facts;
}

}  // namespace vexa_cli
