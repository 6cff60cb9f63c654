// Message: the front object of the REST backend.
#pragma once

#include "contract/front_object.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class Message final : public FrontObject<Message, IMessage> {
public:
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
};

}  // namespace vexa
