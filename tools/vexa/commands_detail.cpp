#include <stdexcept>

#include "commands.h"
#include "string_array.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

struct ReceiverReading {
    VEXA_TRANS_STATUS status = VEXA_TRANS_REQUESTED;
    VEXA_TRANS_RESULT result = VEXA_TRANS_FAILED;
    std::string phone, name, message;
    DATE delivered = 0.0;
};

ReceiverReading ReadReceiver(const Session& session, IDispatch* item) {
    const auto detail = Query<ILogDetail>(session, item, IID_ILogDetail, "ILogDetail");
    const auto detail2 = Query<ILogDetail2>(session, item, IID_ILogDetail2, "ILogDetail2");
    ILogDetail* d = detail.Get();
    return {Get(session, d, &ILogDetail::get_Status, "LogDetail.Status"),
            Get(session, d, &ILogDetail::get_Result, "LogDetail.Result"),
            GetText(session, d, &ILogDetail::get_ReceiverPhone, "LogDetail.ReceiverPhone"),
            GetText(session, detail2.Get(), &ILogDetail2::get_Name, "LogDetail.Name"),
            GetText(session, d, &ILogDetail::get_Message, "LogDetail.Message"),
            Get(session, d, &ILogDetail::get_TransDate, "LogDetail.TransDate")};
}

std::vector<ReceiverReading> ReadReceivers(const Session& session, ILogDetails* details) {
    std::vector<ReceiverReading> receivers;
    for (const ComPtr<IDispatch>& item : Items(session, details, "LogDetails"))
        receivers.push_back(ReadReceiver(session, item.Get()));
    return receivers;
}

bool AnyUnsent(const std::vector<ReceiverReading>& receivers) {
    for (const ReceiverReading& r : receivers)
        if (r.status == VEXA_TRANS_REQUESTED) return true;
    return false;
}

// The subject through the component's private interface; empty where it has none.
std::string Subject(const Session& session, IDispatch* details) {
    vexa::ComPtr<ILogDetailsSubject> subject;
    if (FAILED(vexa::QueryAs(details, IID_ILogDetailsSubject, subject))) return {};
    return GetText(session, subject.Get(), &ILogDetailsSubject::get_Subject, "LogDetails.Subject");
}

}  // namespace

CommandResult RunDetail(const Session& session, const DetailRequest& request) {
    const ComPtr<IDispatch> found = session.Front().RequestDetail(request);
    const auto noSuchTransfer = [&] {
        return std::runtime_error("the service knows no transfer " + request.index + " in " +
                                  MonthText(request.month));
    };
    if (!found) throw noSuchTransfer();
    const auto details = Query<ILogDetails>(session, found.Get(), IID_ILogDetails, "ILogDetails");
    // The service answers a transfer it does not know (or one of another type) with a detail that
    // names none.
    const std::string index = GetText(session, details.Get(), &ILogDetails::get_Index, "LogDetails.Index");
    if (index.empty()) throw noSuchTransfer();
    const auto details2 = Query<ILogDetails2>(session, found.Get(), IID_ILogDetails2, "ILogDetails2");
    const VEXA_MESSAGE_TYPE type = Get(session, details2.Get(), &ILogDetails2::get_Type, "LogDetails.Type");

    CommandResult result;
    Report& report = result.report;
    report.fields = {
        {"date", "Month", GetText(session, details.Get(), &ILogDetails::get_Date, "LogDetails.Date")},
        {"index", "Index", index},
        {"type", "Type", std::string(MessageTypeName(type))},
        {"returnPhone", "Return phone",
         GetText(session, details.Get(), &ILogDetails::get_ReturnPhone, "LogDetails.ReturnPhone")},
    };
    if (type != VEXA_MESSAGE_TYPE_SMS)
        report.fields.push_back({"subject", "Subject", Subject(session, found.Get())});
    // Only a multimedia transfer has images to list.
    if (type == VEXA_MESSAGE_TYPE_MMS) {
        const auto details3 = Query<ILogDetails3>(session, found.Get(), IID_ILogDetails3, "ILogDetails3");
        VARIANT urls;
        session.Module().VariantInit(&urls);
        session.Check(details3->get_ImageURLs(&urls), "LogDetails.ImageURLs");
        std::vector<std::string> images;
        for (const std::u16string& url : vexa_host::TakeStringArray(session.Module(), urls))
            images.push_back(vexa_host::Utf8(url));
        report.fields.push_back({"imageUrls", "Images", images});
    }

    const std::vector<ReceiverReading> receivers = ReadReceivers(session, details.Get());
    // Only receivers not yet handed over need their transfer's log entry to be told apart.
    std::optional<TransferFacts> facts;
    if (AnyUnsent(receivers)) {
        const auto month = MonthFacts(session, request.month);
        if (const auto entry = month.find(index); entry != month.end()) facts = entry->second;
    }

    Listing listing{"receivers",
                    "",
                    "No receivers.",
                    {{"phone", "Phone"},
                     {"name", "Name"},
                     {"state", "State"},
                     {"deliveredTime", "Delivered"},
                     {"message", "Message"},
                     {"componentStatus", "Status", Align::Right, 0, true},
                     {"componentResult", "Result", Align::Right, 0, true}},
                    {}};
    for (const ReceiverReading& r : receivers)
        listing.rows.push_back({r.phone, r.name, DeliveryWord(ReceiverDelivery(r.status, r.result, facts)),
                                DateValue(r.delivered), r.message, int64_t{r.status}, int64_t{r.result}});
    report.listings.push_back(std::move(listing));
    return result;
}

bool HasUnsentReceivers(const Session& session, const DetailRequest& transfer) {
    const ComPtr<IDispatch> found = session.Front().RequestDetail(transfer);
    if (!found) return false;
    const auto details = Query<ILogDetails>(session, found.Get(), IID_ILogDetails, "ILogDetails");
    return AnyUnsent(ReadReceivers(session, details.Get()));
}

}  // namespace vexa_cli
