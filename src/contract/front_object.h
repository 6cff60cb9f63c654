// What Message and SMS share: version numbers, error texts, ArrayBase, the login information
// they hold, the value-object factories, object safety, and the dispatch rows of the members
// both interfaces name alike.
#pragma once

#include <array>
#include <type_traits>

#include "automation/dispatch.h"
#include "automation/out_param.h"
#include "contract/array_base.h"
#include "contract/contract_interfaces.h"
#include "contract/error_texts.h"
#include "contract/log_list.h"
#include "contract/login_info.h"
#include "contract/receiver.h"
#include "contract/receivers.h"
#include "platform/socket_startup.h"
#include "vexa/VexaComponent.h"

namespace vexa {

// Creates a T, lets fill set it up, and hands it out as IDispatch. The out-pointer is checked
// before anything is made.
template <class T, class Fill>
HRESULT CreateAndHandOut(IDispatch** out, Fill&& fill) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<T> obj = T::Make();
    if (!obj) return E_OUTOFMEMORY;
    fill(*obj);
    return HandOutDispatch(obj, out);
}

template <class T>
HRESULT CreateAndHandOut(IDispatch** out) {
    return CreateAndHandOut<T>(out, [](T&) {});
}

// A new LogList for a transfer identity; year and month are checked before the out-pointer.
HRESULT CreateLogListFor(LONG year, LONG month, BSTR index, VEXA_MESSAGE_TYPE type, IDispatch** out);

// Where the module carries its type library, a front object also tells its class's type
// information (IProvideClassInfo).
template <class Derived, class... Itfs>
using FrontObjectBase =
    std::conditional_t<kCarriesTypeLibrary,
                       AutomationObject<Derived, Itfs..., IObjectSafety, IProvideClassInfo>,
                       AutomationObject<Derived, Itfs..., IObjectSafety>>;

template <class Derived, class... Itfs>
class FrontObject : public FrontObjectBase<Derived, Itfs...> {
public:
    static constexpr LONG kVersionMajor = 4;
    static constexpr LONG kVersionMinor = 2;

    HRESULT FinalConstruct() {
        socketsStarted_ = StartSockets();
        return socketsStarted_ ? S_OK : VEXA_E_SOCKINITFAIL;
    }

    HRESULT STDMETHODCALLTYPE get_VersionMajor(LONG* pVal) noexcept override {
        return CopyOut(kVersionMajor, pVal);
    }
    HRESULT STDMETHODCALLTYPE get_VersionMinor(LONG* pVal) noexcept override {
        return CopyOut(kVersionMinor, pVal);
    }
    HRESULT STDMETHODCALLTYPE GetErrorMessage(VEXA_E_CONSTANTS ErrorNum,
                                              BSTR* ErrorMessage) noexcept override {
        return GetErrorMessageText(ErrorNum, ErrorMessage);
    }
    HRESULT STDMETHODCALLTYPE get_ArrayBase(LONG* pVal) noexcept override {
        return CopyOut(ArrayBase(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_ArrayBase(LONG newVal) noexcept override { return SetArrayBase(newVal); }

    HRESULT STDMETHODCALLTYPE get_LoginInfo(IDispatch** ppLoginInfo) noexcept override {
        ClearOut(ppLoginInfo);
        if (!loginInfo_) return VEXA_E_NOTLOGINED;
        if (!ppLoginInfo) return S_OK;
        return HandOutDispatch(loginInfo_, ppLoginInfo);
    }

    HRESULT STDMETHODCALLTYPE CreateReceivers(IDispatch** ppReceivers) noexcept override {
        return CreateAndHandOut<Receivers>(ppReceivers);
    }
    HRESULT STDMETHODCALLTYPE CreateReceiver(IDispatch** ppReceiver) noexcept override {
        return CreateAndHandOut<Receiver>(ppReceiver);
    }
    // Set through the receiver's own setters; a value one refuses is simply not taken.
    HRESULT STDMETHODCALLTYPE CreateReceiverDirect(BSTR bstrPhone, BSTR bstrMessage, VEXA_SENDMODE SendMode,
                                                   DATE SendTime, IDispatch** ppReceiver) noexcept override {
        return CreateAndHandOut<Receiver>(ppReceiver, [&](Receiver& r) {
            r.put_Phone(bstrPhone);
            r.put_Message(bstrMessage);
            r.put_SendMode(SendMode);
            r.put_SendTime(SendTime);
        });
    }
    HRESULT STDMETHODCALLTYPE CreateLogList(IDispatch** ppLogList) noexcept override {
        return CreateAndHandOut<LogList>(ppLogList);
    }

    // IProvideClassInfo where it is answered: Derived::kClassId names the class.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) noexcept {
        return TypeInformation(Derived::kClassId, ppTI);
    }

    // Both options are supported for every interface the object answers.
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                        DWORD* pdwEnabledOptions) noexcept override {
        if (!pdwSupportedOptions || !pdwEnabledOptions) return E_POINTER;
        const bool answers = Answers(riid);
        *pdwSupportedOptions = answers ? kSafetyOptions : 0;
        *pdwEnabledOptions = answers ? safety_ : 0;
        return answers ? S_OK : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                        DWORD dwEnabledOptions) noexcept override {
        if (!Answers(riid)) return E_NOINTERFACE;
        if (dwOptionSetMask & ~kSafetyOptions) return E_FAIL;
        safety_ = (safety_ & ~dwOptionSetMask) | (dwEnabledOptions & dwOptionSetMask);
        return S_OK;
    }

protected:
    ~FrontObject() override {
        if (socketsStarted_) StopSockets();
    }

    ComPtr<LoginInfo> loginInfo_;

private:
    static constexpr DWORD kSafetyOptions =
        INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

    bool Answers(REFIID riid) noexcept {
        ComPtr<IUnknown> probe;
        return SUCCEEDED(this->Identity()->QueryInterface(riid, probe.OutVoid()));
    }

    bool socketsStarted_ = false;
    DWORD safety_ = 0;
};

// Dispatch rows of the members that IMessage and ISMS name alike (each with its own
// parameters); the classes add the rows that differ.
template <class Derived, class Itf>
constexpr auto FrontRows() {
    using M = Members<Derived>;
    return std::array{
        M::template Get<&Itf::get_VersionMajor>("VersionMajor", -500),
        M::template Get<&Itf::get_VersionMinor>("VersionMinor", -501),
        M::template Method<&Itf::GetErrorMessage>("GetErrorMessage", -502),
        M::template Get<&Itf::get_ArrayBase>("ArrayBase", 1),
        M::template Put<&Itf::put_ArrayBase>("ArrayBase", 1),
        M::template Get<&Itf::get_ServiceCode>("ServiceCode", 2),
        M::template Put<&Itf::put_ServiceCode>("ServiceCode", 2),
        M::template Get<&Itf::get_OfficeName>("OfficeName", 3),
        M::template Put<&Itf::put_OfficeName>("OfficeName", 3),
        M::template Get<&Itf::get_LoginInfo>("LoginInfo", 11),
        M::template Method<&Itf::Login>("Login", 12),
        M::template Method<&Itf::UpdateLoginInfo>("UpdateLoginInfo", 13),
        M::template Method<&Itf::RequestLog>("RequestLog", 31),
        M::template Method<&Itf::RequestLogBound>("RequestLogBound", 32),
        M::template Method<&Itf::RequestLogDetail>("RequestLogDetail", 33),
        M::template Method<&Itf::RequestLogDetailByList>("RequestLogDetailByList", 34),
        M::template Method<&Itf::RequestLogDetailByLists>("RequestLogDetailByLists", 35),
        M::template Method<&Itf::DeleteLog>("DeleteLog", 36),
        M::template Method<&Itf::DeleteLogByList>("DeleteLogByList", 37),
        M::template Method<&Itf::DeleteLogByLists>("DeleteLogByLists", 38),
        M::template Method<&Itf::CancelReservation>("CancelReservation", 39),
        M::template Method<&Itf::CancelReservationByList>("CancelReservationByList", 40),
        M::template Method<&Itf::CancelReservationByLists>("CancelReservationByLists", 41),
        M::template Method<&Itf::CreateReceivers>("CreateReceivers", 51),
        M::template Method<&Itf::CreateReceiver>("CreateReceiver", 52),
        M::template Method<&Itf::CreateReceiverDirect>("CreateReceiverDirect", 53),
        M::template Method<&Itf::CreateLogLists>("CreateLogLists", 54),
        M::template Method<&Itf::CreateLogList>("CreateLogList", 55),
        M::template Method<&Itf::CreateLogListDirect>("CreateLogListDirect", 56),
    };
}

}  // namespace vexa
