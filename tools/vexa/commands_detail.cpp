#include <stdexcept>

#include "commands.h"
#include "string_array.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

std::string StatusWord(VEXA_TRANS_STATUS status) {
    switch (status) {
        case VEXA_TRANS_REQUESTED:
            return "requested";
        case VEXA_TRANS_WAITING:
            return "waiting";
        case VEXA_TRANS_RECEIVED:
            return "received";
    }
    return "status " + std::to_string(status);
}

// The service's own detail codes pass through the component unmapped.
std::string TransResultWord(VEXA_TRANS_RESULT result) {
    switch (result) {
        case VEXA_TRANS_FAILED:
            return "failed";
        case VEXA_TRANS_SUCCEEDED:
            return "succeeded";
        case VEXA_TRANS_NOTEXISTNUMBER:
            return "no such number";
    }
    return "code " + std::to_string(result);
}

std::vector<Value> ReceiverRow(const Session& session, IDispatch* item) {
    const auto detail = Query<ILogDetail>(session, item, IID_ILogDetail, "ILogDetail");
    const auto detail2 = Query<ILogDetail2>(session, item, IID_ILogDetail2, "ILogDetail2");
    ILogDetail* d = detail.Get();
    const VEXA_TRANS_RESULT outcome = Get(session, d, &ILogDetail::get_Result, "LogDetail.Result");
    return {
        GetText(session, d, &ILogDetail::get_ReceiverPhone, "LogDetail.ReceiverPhone"),
        GetText(session, detail2.Get(), &ILogDetail2::get_Name, "LogDetail.Name"),
        StatusWord(Get(session, d, &ILogDetail::get_Status, "LogDetail.Status")),
        TransResultWord(outcome),
        int64_t{outcome},
        DateValue(Get(session, d, &ILogDetail::get_TransDate, "LogDetail.TransDate")),
        GetText(session, d, &ILogDetail::get_Message, "LogDetail.Message"),
    };
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

    Listing listing{"receivers",
                    "",
                    "No receivers.",
                    {{"phone", "Phone"},
                     {"name", "Name"},
                     {"status", "Status"},
                     {"result", "Result"},
                     {"resultCode", "Code", Align::Right, 0, true},
                     {"deliveredTime", "Delivered"},
                     {"message", "Message"}},
                    {}};
    for (const ComPtr<IDispatch>& item : Items(session, details.Get(), "LogDetails"))
        listing.rows.push_back(ReceiverRow(session, item.Get()));
    report.listings.push_back(std::move(listing));
    return result;
}

}  // namespace vexa_cli
