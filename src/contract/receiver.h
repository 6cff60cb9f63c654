// Receiver: one destination of a send.
#pragma once

#include <span>

#include "automation/bstr.h"
#include "automation/dispatch.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class Receiver final : public AutomationObject<Receiver, IReceiver, IReceiver2> {
public:
    static std::span<const DispEntry> DispatchMembers();

    HRESULT STDMETHODCALLTYPE get_Phone(BSTR* pVal) noexcept override {
        return CopyBstrOut(phone_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Phone(BSTR newVal) noexcept override { return AssignBstr(phone_, newVal); }
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) noexcept override {
        return CopyBstrOut(message_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Message(BSTR newVal) noexcept override {
        return AssignBstr(message_, newVal);
    }
    HRESULT STDMETHODCALLTYPE get_SendMode(VEXA_SENDMODE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_SendMode(VEXA_SENDMODE newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_SendTime(DATE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_SendTime(DATE newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) noexcept override {
        return CopyBstrOut(name_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) noexcept override { return AssignBstr(name_, newVal); }

private:
    Bstr phone_;
    Bstr message_;
    VEXA_SENDMODE sendMode_ = VEXA_DIRECT;
    DATE sendTime_ = 0.0;
    Bstr name_;
};

}  // namespace vexa
