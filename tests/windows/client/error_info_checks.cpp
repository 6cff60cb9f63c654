#include "checks.h"
#include "com_support.h"

namespace host {

namespace {

// EXCEPINFO's strings belong to the caller once Invoke returns.
struct ExceptionBlock : EXCEPINFO {
    ExceptionBlock() : EXCEPINFO{} {}
    ~ExceptionBlock() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
};

}  // namespace

// Error information that someone else left on the thread must not come back as the description
// of the component's own failure: the member's code is all EXCEPINFO holds, and the stale object
// is gone afterwards.
void CheckErrorInformation() {
    ComPtr<IMessage> message;
    CheckHr("Message for the error checks",
            CoCreateInstance(CLSID_Message, nullptr, CLSCTX_INPROC_SERVER, IID_IMessage,
                             reinterpret_cast<void**>(message.GetAddressOf())),
            S_OK);
    ComPtr<IDispatch> receivers;
    if (!message || FAILED(message->CreateReceivers(receivers.GetAddressOf())) || !receivers) return;

    ComPtr<ICreateErrorInfo> create;
    ComPtr<IErrorInfo> stale;
    CheckHr("CreateErrorInfo", CreateErrorInfo(create.GetAddressOf()), S_OK);
    if (!create) return;
    create->SetDescription(const_cast<LPOLESTR>(L"stale text of another component"));
    create->SetSource(const_cast<LPOLESTR>(L"Another.Component"));
    create.As(&stale);
    SetErrorInfo(0, stale.Get());

    LPOLESTR name = const_cast<LPOLESTR>(L"Remove");
    DISPID remove = DISPID_UNKNOWN;
    CheckHr("GetIDsOfNames(Remove)",
            receivers->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &remove), S_OK);
    Variant index;
    VARIANT* first = index.Out();
    V_VT(first) = VT_I4;
    V_I4(first) = 0;
    DISPPARAMS params{first, nullptr, 1, 0};
    ExceptionBlock excep;
    UINT argErr = 0;
    // Remove on an empty collection fails with E_INVALIDARG.
    CheckHr("a failing member through Invoke",
            receivers->Invoke(remove, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                              &excep, &argErr),
            DISP_E_EXCEPTION);
    CheckHr("EXCEPINFO holds the member's code", excep.scode, E_INVALIDARG);
    Check("EXCEPINFO carries no description of someone else's", excep.bstrDescription == nullptr,
          "got " + Show(std::wstring(excep.bstrDescription ? excep.bstrDescription : L"")));
    Check("EXCEPINFO carries no source of someone else's", excep.bstrSource == nullptr,
          "got " + Show(std::wstring(excep.bstrSource ? excep.bstrSource : L"")));
    ComPtr<IErrorInfo> left;
    CheckHr("the stale error information is gone from the thread", GetErrorInfo(0, left.GetAddressOf()),
            S_FALSE);
}

}  // namespace host
