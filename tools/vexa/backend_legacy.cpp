// The legacy TCP service through the SMS object: text messages only, and no message type to ask
// for (the command line has refused the rest). Every call is an exchange of its own that carries
// the login again.
#include "front_calls.h"

namespace vexa_cli {

using vexa::ComPtr;

namespace {

class LegacyBackend final : public FrontCalls<ISMS> {
public:
    LegacyBackend(const Session& session, LegacyServer server)
        : FrontCalls(session, CLSID_SMS, kSmsProgId, IID_ISMS, "SMS"), server_(std::move(server)) {}

    void SetAccount(const std::string& user, const std::string& password) override {
        ComPtr<IDispatch> info;
        session_.Check(
            object_->Login(session_.String(server_.host).Get(), server_.port, session_.String(user).Get(),
                           session_.String(password).Get(), info.Out()),
            "Login");
    }

    // Fresh from the login that opened the session.
    ComPtr<IDispatch> CurrentLoginInfo() const override { return LastLoginInfo(); }

    SendOutcome Send(const SendRequest& request, IDispatch* receivers) const override {
        SendOutcome outcome;
        session_.Check(
            object_->SendSMS(session_.String(request.returnPhone).Get(), receivers, outcome.results.Out()),
            "SendSMS");
        return outcome;
    }

    // Days 0 and 0 ask for the whole month.
    ComPtr<IDispatch> RequestLogs(const LogsRequest& request) const override {
        ComPtr<IDispatch> found;
        session_.Check(object_->RequestLogBound(
                           request.month.year, request.month.month, request.days ? request.days->first : 0,
                           request.days ? request.days->last : 0,
                           request.reservedOnly ? VEXA_BYRESERVATION : VEXA_BYALL, found.Out()),
                       "RequestLogBound");
        return found;
    }

    ComPtr<IDispatch> RequestDetail(const DetailRequest& request) const override {
        ComPtr<IDispatch> found;
        session_.Check(object_->RequestLogDetail(request.month.year, request.month.month,
                                                 session_.String(request.index).Get(), found.Out()),
                       "RequestLogDetail");
        return found;
    }

    ComPtr<IDispatch> CreateLogListDirect(YearMonth month, const std::string& index,
                                          VEXA_MESSAGE_TYPE) const override {
        ComPtr<IDispatch> entry;
        session_.Check(
            object_->CreateLogListDirect(month.year, month.month, session_.String(index).Get(), entry.Out()),
            "CreateLogListDirect");
        return entry;
    }

private:
    const LegacyServer server_;
};

}  // namespace

std::unique_ptr<Backend> MakeLegacyBackend(const Session& session, LegacyServer server) {
    return std::make_unique<LegacyBackend>(session, std::move(server));
}

}  // namespace vexa_cli
