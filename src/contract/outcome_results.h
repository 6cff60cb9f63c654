// DeleteResult(s) and CancelResult(s): the outcomes of deleting logs and cancelling reservations.
#pragma once

#include "automation/bstr.h"
#include "contract/basic_collection.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class DeleteResult final : public AutomationObject<DeleteResult, IDeleteResult> {
public:
    static std::span<const DispEntry> DispatchMembers();

    struct Fields {
        Bstr date;
        Bstr index;
        VEXA_RESULT result = VEXA_FAILED;
    };
    Fields& Fill() { return f_; }

    HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.date.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.index.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Result(VEXA_RESULT* pVal) noexcept override;

private:
    Fields f_;
};

class DeleteResults final : public CollectionObject<DeleteResults, IDeleteResults> {
public:
    DeleteResults() : CollectionObject(IID_IDeleteResult) {}
    static std::span<const DispEntry> DispatchMembers();
};

class CancelResult final : public AutomationObject<CancelResult, ICancelResult> {
public:
    static std::span<const DispEntry> DispatchMembers();

    struct Fields {
        Bstr date;
        Bstr index;
        LONG countTotal = 0;
        LONG countSucceed = 0;
        LONG countFailure = 0;
        VEXA_RESULT result = VEXA_FAILED;
    };
    Fields& Fill() { return f_; }

    HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.date.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) noexcept override {
        return CopyBstrOut(f_.index.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_CountTotal(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CountSucceed(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CountFailure(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Result(VEXA_RESULT* pVal) noexcept override;

private:
    Fields f_;
};

class CancelResults final : public CollectionObject<CancelResults, ICancelResults> {
public:
    CancelResults() : CollectionObject(IID_ICancelResult) {}
    static std::span<const DispEntry> DispatchMembers();
};

}  // namespace vexa
