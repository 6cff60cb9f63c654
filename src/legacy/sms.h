// SMS: the front object of the legacy backend. Every call that reaches the service runs one TCP
// exchange of a packet that carries the login again.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "contract/front_object.h"
#include "legacy/sync_socket.h"
#include "legacy/user_bundle.h"
#include "vexa/VexaComponent.h"

namespace vexa {

// Where Login goes when it is given no address or port.
extern const char* const kDefaultLegacyHost;
inline constexpr LONG kDefaultLegacyPort = 4545;

class SMS final : public FrontObject<SMS, ISMS> {
public:
    static constexpr const CLSID& kClassId = CLSID_SMS;

    static std::span<const DispEntry> DispatchMembers();

    HRESULT STDMETHODCALLTYPE get_ServiceCode(BSTR* pVal) noexcept override {
        return CopyBstrOut(serviceCode_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_ServiceCode(BSTR newVal) noexcept override {
        return AssignBstr(serviceCode_, newVal);
    }
    HRESULT STDMETHODCALLTYPE get_OfficeName(BSTR* pVal) noexcept override {
        return CopyBstrOut(officeName_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_OfficeName(BSTR newVal) noexcept override {
        return AssignBstr(officeName_, newVal);
    }
    HRESULT STDMETHODCALLTYPE Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                                    IDispatch** ppLoginInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE UpdateLoginInfo() noexcept override;
    HRESULT STDMETHODCALLTYPE SendSMS(BSTR bstrReturnPhone, IDispatch* pReceivers,
                                      IDispatch** ppSendResults) noexcept override;
    HRESULT STDMETHODCALLTYPE SendSMSOne(BSTR bstrReturnPhone, IDispatch* pReceiver,
                                         IDispatch** ppSendResult) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy,
                                         IDispatch** ppLogLists) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay,
                                              VEXA_LOGBY LogBy, IDispatch** ppLogLists) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogDetail(LONG Year, LONG Month, BSTR Index,
                                               IDispatch** ppLogDetails) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogDetailByList(IDispatch* pLogList,
                                                     IDispatch** ppLogDetails) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogDetailByLists(IDispatch* pLogLists,
                                                      IDispatch** ppLogDetailsCollection) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLog(LONG Year, LONG Month, BSTR Index,
                                        IDispatch** ppDeleteResult) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLogByList(IDispatch* pLogList,
                                              IDispatch** ppDeleteResult) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLogByLists(IDispatch* pLogLists,
                                               IDispatch** ppDeleteResults) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelReservation(LONG Year, LONG Month, BSTR Index,
                                                IDispatch** ppCancelResult) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelReservationByList(IDispatch* pLogList,
                                                      IDispatch** ppCancelResult) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelReservationByLists(IDispatch* pLogLists,
                                                       IDispatch** ppCancelResults) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateLogLists(IDispatch** ppLogLists) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateLogListDirect(LONG Year, LONG Month, BSTR Index,
                                                  IDispatch** ppLogList) noexcept override;

    // Tests shorten the socket time-outs.
    void SetTimeoutsForTesting(const VexaCore::SocketTimeouts& timeouts) { timeouts_ = timeouts; }

private:
    // The account's "USER" request (login and client description) as it opens every packet.
    void DescribeLogin(VexaCore::CUserBundle& user, const std::string& userId,
                       const std::string& scrambledPassword) const;
    // Sends the packet (the login, the method's bundle, and a status query when asked for) and
    // hands the reply's elements to their readers; readMethod reads the method's own element.
    HRESULT RunPacket(VexaCore::CUnknownBundle& method, bool withStatus,
                      const std::function<HRESULT(Quill::CTPMLParser&)>& readMethod);
    // A "USER" element of a packet's reply: a refused login, the credit, the server time.
    HRESULT ReadUserReply(Quill::CTPMLParser& element);
    HRESULT RefreshFrom(const VexaCore::UserReply& reply, const Bstr& host, LONG port, const Bstr& userId);
    // Sends the account's "USER" request alone (Login, UpdateLoginInfo) and hands its reply to
    // readReply; VEXA_E_NOTCONNECTED or VEXA_E_SERVERERROR when there is none to read.
    HRESULT ExchangeAccount(const std::string& host, LONG port, const std::string& userId,
                            const std::string& scrambledPassword,
                            const std::function<HRESULT(const VexaCore::UserReply&)>& readReply) const;
    bool Exchange(const std::string& host, LONG port, const Quill::CTPMLParser& request,
                  Quill::CTPMLParser& reply) const;

    // Deleting or cancelling the entries of a host's LogLists.
    template <class Family>
    HRESULT ChangeLogs(IDispatch* pLogLists, IDispatch** ppResults) noexcept;
    HRESULT ForIdentity(LONG year, LONG month, BSTR index, IDispatch** ppResult,
                        HRESULT (STDMETHODCALLTYPE SMS::*byList)(IDispatch*, IDispatch**)) noexcept;
    // The by-entry forms of the collection methods.
    template <class ResultsItf, class Call>
    HRESULT WithSingleLogList(IDispatch* pLogList, IDispatch** ppResult, Call&& call) noexcept;
    template <class ResultsItf>
    HRESULT ChangeLogOfEntry(IDispatch* pLogList, IDispatch** ppResult,
                             HRESULT (STDMETHODCALLTYPE SMS::*byLists)(IDispatch*, IDispatch**)) noexcept;

    // The machine, user and program this object describes in every login; told once per object.
    struct ClientFacts {
        std::string adapterAddress, computer, user, module;
    };
    const ClientFacts& Client() const;

    Bstr serviceCode_;
    Bstr officeName_;
    mutable std::optional<ClientFacts> client_;
    VexaCore::SocketTimeouts timeouts_;
};

}  // namespace vexa
