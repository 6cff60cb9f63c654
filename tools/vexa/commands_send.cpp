#include <algorithm>
#include <iostream>

#include "commands.h"
#include "progress.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

// The receivers collection, one Receiver per receiver given, each with its own text from a
// receiver file or else the whole common one.
ComPtr<IDispatch> MakeReceivers(const Session& session, const SendRequest& request, DATE sendTime,
                                Progress& progress) {
    const Backend& front = session.Front();
    ComPtr<IDispatch> receivers = front.CreateReceivers();
    const auto list = Query<IReceivers>(session, receivers.Get(), IID_IReceivers, "IReceivers");
    size_t prepared = 0;
    const VEXA_SENDMODE mode = request.reservation ? VEXA_RESERVATION : VEXA_DIRECT;
    for (const ReceiverEntry& to : request.receivers) {
        const ComPtr<IDispatch> receiver =
            front.CreateReceiverDirect(to.phone, to.text.empty() ? request.text : to.text, mode, sendTime);
        if (!to.name.empty()) {
            const auto named = Query<IReceiver2>(session, receiver.Get(), IID_IReceiver2, "IReceiver2");
            session.Check(named->put_Name(session.String(to.name).Get()), "Receiver.Name");
        }
        session.Check(list->Add(receiver.Get()), "Receivers.Add");
        progress.Step("preparing receivers", ++prepared, request.receivers.size());
    }
    return receivers;
}

// What the credit would have to cover, at the service's rates per receiver, and what is left.
std::string CreditShortfall(const Session& session, const SendRequest& request) {
    const int64_t rate = request.type == VEXA_MESSAGE_TYPE_MMS   ? 6
                         : request.type == VEXA_MESSAGE_TYPE_LMS ? 3
                                                                 : 1;
    const auto receivers = static_cast<int64_t>(request.receivers.size());
    std::string text = "this send needs " + std::to_string(receivers * rate) + " (" +
                       std::to_string(receivers) + (receivers == 1 ? " receiver" : " receivers") + " x " +
                       std::to_string(rate) + " per " + std::string(MessageTypeName(request.type)) + ")";
    try {
        const ComPtr<IDispatch> info = session.Front().CurrentLoginInfo();
        const auto login = Query<ILoginInfo>(session, info.Get(), IID_ILoginInfo, "ILoginInfo");
        text += ", the account has " +
                std::to_string(Get(session, login.Get(), &ILoginInfo::get_FreeCall, "FreeCall"));
    } catch (const std::exception&) {
        // The credit left is a courtesy: the failure to report is the send's.
    }
    return text;
}

// "3 accepted, 1 refused, credit 78 left": receivers the service did not answer for count as
// refused; the credit is what the send's own reply left in the login information.
void AddSummary(const Session& session, const Listing& listing, size_t asked, Report& report) {
    const auto accepted = static_cast<int64_t>(
        std::count_if(listing.rows.begin(), listing.rows.end(), [](const std::vector<Value>& row) {
            return std::get<std::string>(row[1]) == ResultWord(VEXA_SUCCEEDED);
        }));
    const int64_t refused = static_cast<int64_t>(asked) - accepted;
    Value credit;
    try {
        const ComPtr<IDispatch> info = session.Front().LastLoginInfo();
        const auto login = Query<ILoginInfo>(session, info.Get(), IID_ILoginInfo, "ILoginInfo");
        credit = int64_t{Get(session, login.Get(), &ILoginInfo::get_FreeCall, "FreeCall")};
    } catch (const std::exception&) {
        // Without login information the summary goes without the credit.
    }
    report.fields.push_back({"accepted", "Accepted", accepted, true});
    report.fields.push_back({"refused", "Refused", refused, true});
    report.fields.push_back({"creditLeft", "Credit left", credit, true});
    report.footer = std::to_string(accepted) + " accepted, " + std::to_string(refused) + " refused";
    if (const auto* left = std::get_if<int64_t>(&credit))
        report.footer += ", credit " + std::to_string(*left) + " left";
}

}  // namespace

CommandResult RunSend(const Session& session, const SendRequest& request) {
    DATE sendTime = 0.0;
    // Checked when the command line was read.
    if (request.reservation) vexa::PartsToDate(*request.reservation, sendTime);

    SendOutcome sent;
    try {
        Progress progress(std::cerr, Progress::ShownFor(request.receivers.size()));
        const ComPtr<IDispatch> receivers = MakeReceivers(session, request, sendTime, progress);
        progress.While("sending " + std::to_string(request.receivers.size()) + " receivers",
                       [&] { sent = session.Front().Send(request, receivers.Get()); });
    } catch (ComponentError& e) {
        if (e.Code() == VEXA_E_NEEDFORCALL) e.detail = CreditShortfall(session, request);
        throw;
    }

    CommandResult result;
    result.report.fields = {
        {"type", "Type", std::string(MessageTypeName(request.type))},
        {"reservedFor", "Reserved for", request.reservation ? DateValue(sendTime) : Value{}},
    };
    if (request.type == VEXA_MESSAGE_TYPE_MMS && sent.contents) {
        IContents* contents = sent.contents.Get();
        result.report.fields.push_back(
            {"imageCount", "Images",
             int64_t{Get(session, contents, &IContents::get_ImageCount, "Contents.ImageCount")}});
        result.report.fields.push_back(
            {"imagesSize", "JPEG bytes",
             int64_t{Get(session, contents, &IContents::get_ImagesSize, "Contents.ImagesSize")}});
    }
    Listing listing{"results",
                    "",
                    "The service reported no receivers.",
                    {{"phone", "Phone"}, {"result", "Result"}, {"date", "Month"}, {"index", "Index"}},
                    {}};
    // A reply without results leaves none: every receiver counts as not done.
    if (sent.results) {
        const auto results =
            Query<ISendResults>(session, sent.results.Get(), IID_ISendResults, "ISendResults");
        for (const ComPtr<IDispatch>& item : Items(session, results.Get(), "SendResults")) {
            const auto one = Query<ISendResult>(session, item.Get(), IID_ISendResult, "ISendResult");
            const VEXA_RESULT outcome =
                Get(session, one.Get(), &ISendResult::get_Result, "SendResult.Result");
            result.complete = result.complete && outcome == VEXA_SUCCEEDED;
            listing.rows.push_back(
                {GetText(session, one.Get(), &ISendResult::get_Phone, "SendResult.Phone"),
                 ResultWord(outcome), GetText(session, one.Get(), &ISendResult::get_Date, "SendResult.Date"),
                 GetText(session, one.Get(), &ISendResult::get_Index, "SendResult.Index")});
        }
    }
    result.complete = result.complete && listing.rows.size() == request.receivers.size();
    AddSummary(session, listing, request.receivers.size(), result.report);
    result.report.listings.push_back(std::move(listing));
    return result;
}

}  // namespace vexa_cli
