// Message: the front object of the REST backend.
#pragma once

#include "contract/front_object.h"
#include "rest/entity.h"
#include "rest/service_context.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class Message final : public FrontObject<Message, IMessage, IServiceEndpoint> {
public:
    Message();
    static std::span<const DispEntry> DispatchMembers();

    // Retired on this backend: they change nothing.
    HRESULT get_ServiceCode(BSTR* pVal) noexcept override;
    HRESULT put_ServiceCode(BSTR newVal) noexcept override;
    HRESULT get_OfficeName(BSTR* pVal) noexcept override;
    HRESULT put_OfficeName(BSTR newVal) noexcept override;
    HRESULT Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                  IDispatch** ppLoginInfo) noexcept override;

    HRESULT UpdateLoginInfo() noexcept override;
    HRESULT SetAccountInfo(BSTR UserID, BSTR UserPassword) noexcept override;
    HRESULT Send(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch* pContents,
                 IDispatch** ppSendResults) noexcept override;
    HRESULT SendOne(BSTR bstrReturnPhone, IDispatch* pReceiver, IDispatch* pContents,
                    IDispatch** ppSendResult) noexcept override;
    HRESULT RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy, VEXA_MESSAGE_TYPE Type,
                       IDispatch** ppLogLists) noexcept override;
    HRESULT RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay, VEXA_LOGBY LogBy,
                            VEXA_MESSAGE_TYPE Type, IDispatch** ppLogLists) noexcept override;
    HRESULT RequestLogDetail(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                             IDispatch** ppLogDetails) noexcept override;
    HRESULT RequestLogDetailByList(IDispatch* pLogList, IDispatch** ppLogDetails) noexcept override;
    HRESULT RequestLogDetailByLists(IDispatch* pLogLists,
                                    IDispatch** ppLogDetailsCollection) noexcept override;
    HRESULT DeleteLog(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                      IDispatch** ppDeleteResult) noexcept override;
    HRESULT DeleteLogByList(IDispatch* pLogList, IDispatch** ppDeleteResult) noexcept override;
    HRESULT DeleteLogByLists(IDispatch* pLogLists, IDispatch** ppDeleteResults) noexcept override;
    HRESULT CancelReservation(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                              IDispatch** ppCancelResult) noexcept override;
    HRESULT CancelReservationByList(IDispatch* pLogList, IDispatch** ppCancelResult) noexcept override;
    HRESULT CancelReservationByLists(IDispatch* pLogLists, IDispatch** ppCancelResults) noexcept override;

    HRESULT CreateLogLists(IDispatch** ppLogLists) noexcept override;
    HRESULT CreateLogListDirect(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                IDispatch** ppLogList) noexcept override;
    HRESULT CreateContents(IDispatch** ppContents) noexcept override;

    // IServiceEndpoint
    HRESULT SetEndpoint(BSTR url) noexcept override;
    HRESULT SetTrustedCertificates(BSTR pemFile) noexcept override;

    // Tests shorten the HTTP time-outs.
    void SetTimeoutsForTesting(const HttpTimeouts& timeouts) { context_.timeouts = timeouts; }

private:
    // Turns an exchange's outcome into the component's codes and refreshes the login
    // information from a 200 reply.
    HRESULT ApplyReplyOutcome(const CRondoEntity& entity, bool executed);
    HRESULT RefreshLoginInfo(const CRondoEntity& entity);

    // The delete and cancel families share their steps.
    template <class Family>
    HRESULT ByIdentity(LONG year, LONG month, BSTR index, VEXA_MESSAGE_TYPE type,
                       IDispatch** ppResult) noexcept;
    template <class Family>
    HRESULT ByEntry(IDispatch* pLogList, IDispatch** ppResult) noexcept;
    template <class Family>
    HRESULT ByCollection(IDispatch* pLogLists, IDispatch** ppResults) noexcept;

    ServiceContext context_;
};

}  // namespace vexa
