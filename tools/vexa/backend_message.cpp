// The REST service through the Message object: text and picture messages of every type.
#include "front_calls.h"
#include "table.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

class MessageBackend final : public FrontCalls<IMessage> {
public:
    explicit MessageBackend(const Session& session)
        : FrontCalls(session, CLSID_Message, kMessageProgId, IID_IMessage, "Message") {}

    void SetAccount(const std::string& user, const std::string& password) override {
        session_.Check(object_->SetAccountInfo(session_.String(user).Get(), session_.String(password).Get()),
                       "SetAccountInfo");
    }

    ComPtr<IDispatch> CurrentLoginInfo() const override {
        session_.Check(object_->UpdateLoginInfo(), "UpdateLoginInfo");
        return LastLoginInfo();
    }

    SendOutcome Send(const SendRequest& request, IDispatch* receivers) const override {
        SendOutcome outcome;
        outcome.contents = MakeContents(request);
        try {
            session_.Check(object_->Send(session_.String(request.returnPhone).Get(), receivers,
                                         outcome.contents.Get(), outcome.results.Out()),
                           "Send");
        } catch (ComponentError& e) {
            if (e.Code() == VEXA_E_FILEISTOOLARGE) {
                LONG size = 0;
                outcome.contents->get_ImagesSize(&size);
                e.detail = "the pictures come to " + std::to_string(size) +
                           " bytes of JPEG, over the 3000000 an MMS may carry";
            }
            throw;
        }
        return outcome;
    }

    ComPtr<IDispatch> RequestLogs(const LogsRequest& request) const override {
        const VEXA_LOGBY by = request.reservedOnly ? VEXA_BYRESERVATION : VEXA_BYALL;
        ComPtr<IDispatch> found;
        if (request.days) {
            session_.Check(
                object_->RequestLogBound(request.month.year, request.month.month, request.days->first,
                                         request.days->last, by, request.type, found.Out()),
                "RequestLogBound");
        } else {
            session_.Check(
                object_->RequestLog(request.month.year, request.month.month, by, request.type, found.Out()),
                "RequestLog");
        }
        return found;
    }

    ComPtr<IDispatch> RequestDetail(const DetailRequest& request) const override {
        ComPtr<IDispatch> found;
        session_.Check(
            object_->RequestLogDetail(request.month.year, request.month.month,
                                      session_.String(request.index).Get(), request.type, found.Out()),
            "RequestLogDetail");
        return found;
    }

    ComPtr<IDispatch> CreateLogListDirect(YearMonth month, const std::string& index,
                                          VEXA_MESSAGE_TYPE type) const override {
        ComPtr<IDispatch> entry;
        session_.Check(object_->CreateLogListDirect(month.year, month.month, session_.String(index).Get(),
                                                    type, entry.Out()),
                       "CreateLogListDirect");
        return entry;
    }

private:
    // The common text, subject and pictures; a picture the component cannot load stops the command
    // before anything is sent.
    ComPtr<IContents> MakeContents(const SendRequest& request) const {
        ComPtr<IDispatch> contents;
        session_.Check(object_->CreateContents(contents.Out()), "CreateContents");
        auto fields = Query<IContents>(session_, contents.Get(), IID_IContents, "IContents");
        session_.Check(fields->put_Type(request.type), "Contents.Type");
        session_.Check(fields->put_Message(session_.String(request.text).Get()), "Contents.Message");
        if (!request.subject.empty())
            session_.Check(fields->put_Subject(session_.String(request.subject).Get()), "Contents.Subject");
        // The report reads the count and the total size back from the contents.
        for (const std::string& image : request.images) {
            try {
                session_.Check(fields->AddImageFile(session_.String(image).Get(), nullptr),
                               "Contents.AddImageFile('" + TerminalText(image) + "')");
            } catch (ComponentError& e) {
                e.file = image;
                throw;
            }
        }
        return fields;
    }
};

}  // namespace

std::unique_ptr<Backend> MakeMessageBackend(const Session& session) {
    return std::make_unique<MessageBackend>(session);
}

}  // namespace vexa_cli
