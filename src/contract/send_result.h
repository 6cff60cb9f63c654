// SendResult and SendResults: what a send reports per receiver.
#pragma once

#include "automation/bstr.h"
#include "contract/basic_collection.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class SendResult final : public AutomationObject<SendResult, ISendResult, ISendResult2> {
public:
    static std::span<const DispEntry> DispatchMembers();

    // Filled by the senders before the object is handed out.
    struct Fields {
        Bstr phone;
        VEXA_RESULT result = VEXA_FAILED;
        Bstr date;
        Bstr index;
        VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
    };
    Fields& Fill() { return f_; }

    HRESULT STDMETHODCALLTYPE get_Phone(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.phone.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Result(VEXA_RESULT* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.date.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.index.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE MakeLogList(IDispatch** ppLogList) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept override;

private:
    Fields f_;
};

class SendResults final : public CollectionObject<SendResults, ISendResults> {
public:
    SendResults() : CollectionObject(IID_ISendResult) {}
    static std::span<const DispEntry> DispatchMembers();

    // These read the first result.
    HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE MakeLogList(IDispatch** ppLogList) noexcept override;

private:
    HRESULT First(ComPtr<ISendResult>& first);
};

}  // namespace vexa
