#include "contract/outcome_results.h"

#include "automation/out_param.h"

namespace vexa {

std::span<const InterfaceEntry> DeleteResult::Interfaces() {
    using M = InterfaceMap<DeleteResult>;
    static constexpr InterfaceEntry map[] = {
        M::Entry<IDeleteResult>(DIID_DispDeleteResult),
        M::Entry<IDeleteResult>(IID_IDeleteResult),
    };
    return map;
}

std::span<const DispEntry> DeleteResult::DispatchMembers() {
    using M = Members<DeleteResult>;
    static constexpr DispEntry rows[] = {
        M::Get<&IDeleteResult::get_Date>("Date", 1),
        M::Get<&IDeleteResult::get_Index>("Index", 2),
        M::Get<&IDeleteResult::get_Result>("Result", 3),
    };
    return rows;
}

HRESULT DeleteResult::get_Result(VEXA_RESULT* pVal) { return CopyOut(f_.result, pVal); }

std::span<const InterfaceEntry> DeleteResults::Interfaces() {
    using M = InterfaceMap<DeleteResults>;
    static constexpr InterfaceEntry map[] = {
        M::Entry<IDeleteResults>(DIID_DispDeleteResults),
        M::Entry<IDeleteResults>(IID_IDeleteResults),
    };
    return map;
}

std::span<const DispEntry> DeleteResults::DispatchMembers() {
    static constexpr auto rows = CollectionRows<DeleteResults, IDeleteResults>();
    return rows;
}

std::span<const InterfaceEntry> CancelResult::Interfaces() {
    using M = InterfaceMap<CancelResult>;
    static constexpr InterfaceEntry map[] = {
        M::Entry<ICancelResult>(DIID_DispCancelResult),
        M::Entry<ICancelResult>(IID_ICancelResult),
    };
    return map;
}

std::span<const DispEntry> CancelResult::DispatchMembers() {
    using M = Members<CancelResult>;
    static constexpr DispEntry rows[] = {
        M::Get<&ICancelResult::get_Date>("Date", 1),
        M::Get<&ICancelResult::get_Index>("Index", 2),
        M::Get<&ICancelResult::get_CountTotal>("CountTotal", 3),
        M::Get<&ICancelResult::get_CountSucceed>("CountSucceed", 4),
        M::Get<&ICancelResult::get_CountFailure>("CountFailure", 5),
        M::Get<&ICancelResult::get_Result>("Result", 6),
    };
    return rows;
}

HRESULT CancelResult::get_CountTotal(LONG* pVal) { return CopyOut(f_.countTotal, pVal); }
HRESULT CancelResult::get_CountSucceed(LONG* pVal) { return CopyOut(f_.countSucceed, pVal); }
HRESULT CancelResult::get_CountFailure(LONG* pVal) { return CopyOut(f_.countFailure, pVal); }
HRESULT CancelResult::get_Result(VEXA_RESULT* pVal) { return CopyOut(f_.result, pVal); }

std::span<const InterfaceEntry> CancelResults::Interfaces() {
    using M = InterfaceMap<CancelResults>;
    static constexpr InterfaceEntry map[] = {
        M::Entry<ICancelResults>(DIID_DispCancelResults),
        M::Entry<ICancelResults>(IID_ICancelResults),
    };
    return map;
}

std::span<const DispEntry> CancelResults::DispatchMembers() {
    static constexpr auto rows = CollectionRows<CancelResults, ICancelResults>();
    return rows;
}

}  // namespace vexa
