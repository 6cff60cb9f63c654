// The front object the commands run on: Message for the REST service, SMS for the legacy TCP one.
// Only the calls that differ between the two sit behind this seam; the result objects are the
// same classes on both, and the commands read them one way. A failed call throws ComponentError.
#pragma once

#include <memory>
#include <string>

#include "requests.h"
#include "vexa/com_ptr.h"

namespace vexa_cli {

class Session;

// What a send hands back: the per-receiver results, and the contents that went out with their
// pictures (none on the legacy service, which sends the receivers' text alone).
struct SendOutcome {
    vexa::ComPtr<IDispatch> results;
    vexa::ComPtr<IContents> contents;
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual IUnknown* Object() const = 0;

    // Members both front objects have alike (FrontCalls implements them once).
    virtual std::string ErrorText(HRESULT hr) const = 0;  // "" when there is none
    virtual LONG ArrayBase() const = 0;
    virtual vexa::ComPtr<IDispatch> CreateReceivers() const = 0;
    virtual vexa::ComPtr<IDispatch> CreateReceiverDirect(const std::string& phone, const std::string& text,
                                                         VEXA_SENDMODE mode, DATE sendTime) const = 0;
    // The LoginInfo as the last exchange left it, without asking the service again.
    virtual vexa::ComPtr<IDispatch> LastLoginInfo() const = 0;
    virtual vexa::ComPtr<IDispatch> CreateLogLists() const = 0;
    virtual vexa::ComPtr<IDispatch> CancelReservations(IDispatch* logLists) const = 0;
    virtual vexa::ComPtr<IDispatch> DeleteLogs(IDispatch* logLists) const = 0;

    // What differs. Message keeps the account for its later calls; SMS logs in with it at once.
    virtual void SetAccount(const std::string& user, const std::string& password) = 0;
    // The LoginInfo as the service tells it now.
    virtual vexa::ComPtr<IDispatch> CurrentLoginInfo() const = 0;
    virtual SendOutcome Send(const SendRequest& request, IDispatch* receivers) const = 0;
    // A LogLists; nullptr when the service's reply held none.
    virtual vexa::ComPtr<IDispatch> RequestLogs(const LogsRequest& request) const = 0;
    // A LogDetails; nullptr when the service knows no such transfer.
    virtual vexa::ComPtr<IDispatch> RequestDetail(const DetailRequest& request) const = 0;
    virtual vexa::ComPtr<IDispatch> CreateLogListDirect(YearMonth month, const std::string& index,
                                                        VEXA_MESSAGE_TYPE type) const = 0;
};

// The backends, made by the session that they call through.
std::unique_ptr<Backend> MakeMessageBackend(const Session& session);
std::unique_ptr<Backend> MakeLegacyBackend(const Session& session, LegacyServer server);

}  // namespace vexa_cli
