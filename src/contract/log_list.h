// LogList and LogLists: transfer-log entries, and the identity (month key, index, type) that the
// log, delete and cancel operations take.
#pragma once

#include "automation/bstr.h"
#include "contract/basic_collection.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class LogList final : public AutomationObject<LogList, ILogList, ILogList2, ILogList3> {
public:
    static std::span<const DispEntry> DispatchMembers();

    struct Fields {
        Bstr date;
        Bstr index;
        Bstr message;
        VEXA_SENDMODE sendMode = VEXA_DIRECT;
        Bstr receiverPhone;
        Bstr returnPhone;
        LONG countTotal = 0;
        LONG countSucceed = 0;
        LONG countFailure = 0;
        DATE sendTime = 0.0;
        DATE writeTime = 0.0;
        VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
    };
    Fields& Fill() { return f_; }

    HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.date.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Date(BSTR newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.index.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Index(BSTR newVal) noexcept override {
        return AssignBstr(f_.index, newVal);
    }
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.message.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_SendMode(VEXA_SENDMODE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ReceiverPhone(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.receiverPhone.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_ReturnPhone(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.returnPhone.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_CountTotal(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CountSucceed(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CountFailure(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_SendTime(DATE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_WriteTime(DATE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept override;

private:
    Fields f_;
};

// "%04d%02d" of a year and month: the month key of a transfer. Year 1..9999, month 1..12.
bool IsValidYearMonth(LONG year, LONG month);
Bstr MonthKey(LONG year, LONG month);

class LogLists final : public CollectionObject<LogLists, ILogLists> {
public:
    LogLists() : CollectionObject(IID_ILogList) {}
    static std::span<const DispEntry> DispatchMembers();

    HRESULT STDMETHODCALLTYPE AddDirect(LONG Year, LONG Month, BSTR Index) noexcept override;

    // Set on lists that belong to the REST backend, where AddDirect is retired.
    void SetRestOwned() { restOwned_ = true; }

private:
    bool restOwned_ = false;
};

}  // namespace vexa
