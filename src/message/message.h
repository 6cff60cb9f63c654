// Message: the front object of the REST backend.
#pragma once

#include "contract/front_object.h"
#include "rest/entity.h"
#include "rest/service_context.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class Message final : public FrontObject<Message, IMessage, IServiceEndpoint> {
public:
    static constexpr const CLSID& kClassId = CLSID_Message;

    Message();
    static std::span<const DispEntry> DispatchMembers();

    // Retired on this backend: they change nothing.
    HRESULT STDMETHODCALLTYPE get_ServiceCode(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ServiceCode(BSTR newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_OfficeName(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_OfficeName(BSTR newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                                    IDispatch** ppLoginInfo) noexcept override;

    HRESULT STDMETHODCALLTYPE UpdateLoginInfo() noexcept override;
    HRESULT STDMETHODCALLTYPE SetAccountInfo(BSTR UserID, BSTR UserPassword) noexcept override;
    HRESULT STDMETHODCALLTYPE Send(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch* pContents,
                                   IDispatch** ppSendResults) noexcept override;
    HRESULT STDMETHODCALLTYPE SendOne(BSTR bstrReturnPhone, IDispatch* pReceiver, IDispatch* pContents,
                                      IDispatch** ppSendResult) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy, VEXA_MESSAGE_TYPE Type,
                                         IDispatch** ppLogLists) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay,
                                              VEXA_LOGBY LogBy, VEXA_MESSAGE_TYPE Type,
                                              IDispatch** ppLogLists) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogDetail(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                               IDispatch** ppLogDetails) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogDetailByList(IDispatch* pLogList,
                                                     IDispatch** ppLogDetails) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestLogDetailByLists(IDispatch* pLogLists,
                                                      IDispatch** ppLogDetailsCollection) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLog(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                        IDispatch** ppDeleteResult) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLogByList(IDispatch* pLogList,
                                              IDispatch** ppDeleteResult) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLogByLists(IDispatch* pLogLists,
                                               IDispatch** ppDeleteResults) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelReservation(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                                IDispatch** ppCancelResult) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelReservationByList(IDispatch* pLogList,
                                                      IDispatch** ppCancelResult) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelReservationByLists(IDispatch* pLogLists,
                                                       IDispatch** ppCancelResults) noexcept override;

    HRESULT STDMETHODCALLTYPE CreateLogLists(IDispatch** ppLogLists) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateLogListDirect(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                                  IDispatch** ppLogList) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateContents(IDispatch** ppContents) noexcept override;

    // IServiceEndpoint
    HRESULT STDMETHODCALLTYPE SetEndpoint(BSTR url) noexcept override;
    HRESULT STDMETHODCALLTYPE SetTrustedCertificates(BSTR pemFile) noexcept override;

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
