#include "contract/outcome_results.h"

#include "automation/out_param.h"

namespace vexa {

std::span<const DispEntry> DeleteResult::DispatchMembers() {
    using M = Members<DeleteResult>;
    static constexpr DispEntry rows[] = {
        M::Get<&IDeleteResult::get_Date>("Date", 1),
        M::Get<&IDeleteResult::get_Index>("Index", 2),
        M::Get<&IDeleteResult::get_Result>("Result", 3),
    };
    return rows;
}

HRESULT DeleteResult::get_Result(VEXA_RESULT* pVal) noexcept { return CopyOut(f_.result, pVal); }

std::span<const DispEntry> DeleteResults::DispatchMembers() {
    static constexpr auto rows = CollectionRows<DeleteResults, IDeleteResults>();
    return rows;
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

HRESULT CancelResult::get_CountTotal(LONG* pVal) noexcept { return CopyOut(f_.countTotal, pVal); }
HRESULT CancelResult::get_CountSucceed(LONG* pVal) noexcept { return CopyOut(f_.countSucceed, pVal); }
HRESULT CancelResult::get_CountFailure(LONG* pVal) noexcept { return CopyOut(f_.countFailure, pVal); }
HRESULT CancelResult::get_Result(VEXA_RESULT* pVal) noexcept { return CopyOut(f_.result, pVal); }

std::span<const DispEntry> CancelResults::DispatchMembers() {
    static constexpr auto rows = CollectionRows<CancelResults, ICancelResults>();
    return rows;
}

}  // namespace vexa
