#include "commands.h"
#include "table.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

// The receivers collection, one Receiver per --to, each with the whole text so that no
// per-receiver text differs from the common one.
ComPtr<IDispatch> MakeReceivers(const Session& session, const SendRequest& request, DATE sendTime) {
    IMessage* message = session.Message();
    ComPtr<IDispatch> receivers;
    session.Check(message->CreateReceivers(receivers.Out()), "CreateReceivers");
    const auto list = Query<IReceivers>(session, receivers.Get(), IID_IReceivers, "IReceivers");
    const VEXA_SENDMODE mode = request.reservation ? VEXA_RESERVATION : VEXA_DIRECT;
    for (const ReceiverSpec& to : request.receivers) {
        ComPtr<IDispatch> receiver;
        session.Check(
            message->CreateReceiverDirect(session.String(to.phone).Get(), session.String(request.text).Get(),
                                          mode, sendTime, receiver.Out()),
            "CreateReceiverDirect");
        if (!to.name.empty()) {
            const auto named = Query<IReceiver2>(session, receiver.Get(), IID_IReceiver2, "IReceiver2");
            session.Check(named->put_Name(session.String(to.name).Get()), "Receiver.Name");
        }
        session.Check(list->Add(receiver.Get()), "Receivers.Add");
    }
    return receivers;
}

// The common text, subject and pictures; a picture the component cannot load stops the command
// before anything is sent.
ComPtr<IContents> MakeContents(const Session& session, const SendRequest& request) {
    ComPtr<IDispatch> contents;
    session.Check(session.Message()->CreateContents(contents.Out()), "CreateContents");
    auto fields = Query<IContents>(session, contents.Get(), IID_IContents, "IContents");
    session.Check(fields->put_Type(request.type), "Contents.Type");
    session.Check(fields->put_Message(session.String(request.text).Get()), "Contents.Message");
    if (!request.subject.empty())
        session.Check(fields->put_Subject(session.String(request.subject).Get()), "Contents.Subject");
    // The report reads the count and the total size back from the contents.
    for (const std::string& image : request.images)
        session.Check(fields->AddImageFile(session.String(image).Get(), nullptr),
                      "Contents.AddImageFile('" + TerminalText(image) + "')");
    return fields;
}

}  // namespace

CommandResult RunSend(const Session& session, const SendRequest& request) {
    DATE sendTime = 0.0;
    // Checked when the command line was read.
    if (request.reservation) vexa_host::CalendarToDate(*request.reservation, sendTime);

    const ComPtr<IDispatch> receivers = MakeReceivers(session, request, sendTime);
    const ComPtr<IContents> contents = MakeContents(session, request);
    ComPtr<IDispatch> sent;
    session.Check(session.Message()->Send(session.String(request.returnPhone).Get(), receivers.Get(),
                                          contents.Get(), sent.Out()),
                  "Send");

    CommandResult result;
    result.report.fields = {
        {"type", "Type", std::string(MessageTypeName(request.type))},
        {"reservedFor", "Reserved for", request.reservation ? DateValue(sendTime) : Value{}},
    };
    if (request.type == VEXA_MESSAGE_TYPE_MMS) {
        result.report.fields.push_back(
            {"imageCount", "Images",
             int64_t{Get(session, contents.Get(), &IContents::get_ImageCount, "Contents.ImageCount")}});
        result.report.fields.push_back(
            {"imagesSize", "JPEG bytes",
             int64_t{Get(session, contents.Get(), &IContents::get_ImagesSize, "Contents.ImagesSize")}});
    }
    Listing listing{"results",
                    "",
                    "The service reported no receivers.",
                    {{"phone", "Phone"}, {"result", "Result"}, {"date", "Month"}, {"index", "Index"}},
                    {}};
    if (sent) {
        const auto results = Query<ISendResults>(session, sent.Get(), IID_ISendResults, "ISendResults");
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
    result.report.listings.push_back(std::move(listing));
    return result;
}

}  // namespace vexa_cli
