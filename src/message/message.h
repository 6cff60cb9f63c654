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
    static std::span<const InterfaceEntry> Interfaces();
    static std::span<const DispEntry> DispatchMembers();

    // Retired on this backend: they change nothing.
    HRESULT get_ServiceCode(BSTR* pVal) override;
    HRESULT put_ServiceCode(BSTR newVal) override;
    HRESULT get_OfficeName(BSTR* pVal) override;
    HRESULT put_OfficeName(BSTR newVal) override;
    HRESULT Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                  IDispatch** ppLoginInfo) override;

    HRESULT UpdateLoginInfo() override;
    HRESULT SetAccountInfo(BSTR UserID, BSTR UserPassword) override;
    HRESULT Send(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch* pContents,
                 IDispatch** ppSendResults) override;
    HRESULT SendOne(BSTR bstrReturnPhone, IDispatch* pReceiver, IDispatch* pContents,
                    IDispatch** ppSendResult) override;
    HRESULT RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy, VEXA_MESSAGE_TYPE Type,
                       IDispatch** ppLogLists) override;
    HRESULT RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay, VEXA_LOGBY LogBy,
                            VEXA_MESSAGE_TYPE Type, IDispatch** ppLogLists) override;
    HRESULT RequestLogDetail(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                             IDispatch** ppLogDetails) override;
    HRESULT RequestLogDetailByList(IDispatch* pLogList, IDispatch** ppLogDetails) override;
    HRESULT RequestLogDetailByLists(IDispatch* pLogLists, IDispatch** ppLogDetailsCollection) override;
    HRESULT DeleteLog(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                      IDispatch** ppDeleteResult) override;
    HRESULT DeleteLogByList(IDispatch* pLogList, IDispatch** ppDeleteResult) override;
    HRESULT DeleteLogByLists(IDispatch* pLogLists, IDispatch** ppDeleteResults) override;
    HRESULT CancelReservation(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                              IDispatch** ppCancelResult) override;
    HRESULT CancelReservationByList(IDispatch* pLogList, IDispatch** ppCancelResult) override;
    HRESULT CancelReservationByLists(IDispatch* pLogLists, IDispatch** ppCancelResults) override;

    HRESULT CreateLogLists(IDispatch** ppLogLists) override;
    HRESULT CreateLogListDirect(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                IDispatch** ppLogList) override;
    HRESULT CreateContents(IDispatch** ppContents) override;

    // IServiceEndpoint
    HRESULT SetEndpoint(BSTR url) override;
    HRESULT SetTrustedCertificates(BSTR pemFile) override;

    // Tests shorten the HTTP time-outs.
    void SetTimeoutsForTesting(const HttpTimeouts& timeouts) { context_.timeouts = timeouts; }

private:
    // Turns an exchange's outcome into the component's codes and refreshes the login
    // information from a 200 reply.
    HRESULT ApplyReplyOutcome(const CRondoEntity& entity, bool executed);
    HRESULT RefreshLoginInfo(const CRondoEntity& entity);

    // The delete and cancel families share their steps.
    template <class Family>
    HRESULT ByIdentity(LONG year, LONG month, BSTR index, VEXA_MESSAGE_TYPE type, IDispatch** ppResult);
    template <class Family>
    HRESULT ByEntry(IDispatch* pLogList, IDispatch** ppResult);
    template <class Family>
    HRESULT ByCollection(IDispatch* pLogLists, IDispatch** ppResults);

    ServiceContext context_;
};

}  // namespace vexa
