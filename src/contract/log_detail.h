// LogDetail, LogDetails and LogDetailsCollection: the per-receiver details of transfers.
#pragma once

#include <vector>

#include "automation/bstr.h"
#include "contract/basic_collection.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class LogDetail final : public AutomationObject<LogDetail, ILogDetail, ILogDetail2> {
public:
    static std::span<const DispEntry> DispatchMembers();

    struct Fields {
        Bstr receiverPhone;
        Bstr message;
        VEXA_TRANS_STATUS status = VEXA_TRANS_REQUESTED;
        VEXA_TRANS_RESULT result = VEXA_TRANS_FAILED;
        DATE transDate = 0.0;
        Bstr name;
    };
    Fields& Fill() { return f_; }

    HRESULT STDMETHODCALLTYPE get_ReceiverPhone(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.receiverPhone.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.message.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Status(VEXA_TRANS_STATUS* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Result(VEXA_TRANS_RESULT* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_TransDate(DATE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.name.Get(), pVal);
    }

private:
    Fields f_;
};

class LogDetails final
    : public CollectionObject<LogDetails, ILogDetails, ILogDetails2, ILogDetails3, ILogDetailsSubject> {
public:
    LogDetails() : CollectionObject(IID_ILogDetail) {}
    static std::span<const DispEntry> DispatchMembers();

    struct Fields {
        Bstr date;
        Bstr index;
        Bstr returnPhone;
        VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
        std::vector<Bstr> imageUrls;
        Bstr subject;
    };
    Fields& Fill() { return f_; }

    HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.date.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.index.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_ReturnPhone(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.returnPhone.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ImageURLs(VARIANT* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.subject.Get(), pVal);
    }

private:
    Fields f_;
};

class LogDetailsCollection final : public CollectionObject<LogDetailsCollection, ILogDetailsCollection> {
public:
    LogDetailsCollection() : CollectionObject(IID_ILogDetails) {}
    static std::span<const DispEntry> DispatchMembers();
};

}  // namespace vexa
