#include "contract/log_detail.h"

#include "automation/out_param.h"
#include "automation/safearray.h"

namespace vexa {

std::span<const DispEntry> LogDetail::DispatchMembers() {
    using M = Members<LogDetail>;
    static constexpr DispEntry rows[] = {
        M::Get<&ILogDetail::get_ReceiverPhone>("ReceiverPhone", 1),
        M::Get<&ILogDetail::get_Message>("Message", 2),
        M::Get<&ILogDetail::get_Status>("Status", 3),
        M::Get<&ILogDetail::get_Result>("Result", 4),
        M::Get<&ILogDetail::get_TransDate>("TransDate", 5),
        M::Get<&ILogDetail2::get_Name>("Name", 6),
    };
    return rows;
}

HRESULT LogDetail::get_Status(VEXA_TRANS_STATUS* pVal) noexcept { return CopyOut(f_.status, pVal); }
HRESULT LogDetail::get_Result(VEXA_TRANS_RESULT* pVal) noexcept { return CopyOut(f_.result, pVal); }
HRESULT LogDetail::get_TransDate(DATE* pVal) noexcept { return CopyOut(f_.transDate, pVal); }

std::span<const DispEntry> LogDetails::DispatchMembers() {
    using M = Members<LogDetails>;
    static constexpr auto rows = JoinRows(CollectionRows<LogDetails, ILogDetails>(),
                                          std::array{
                                              M::Get<&ILogDetails::get_Date>("Date", 11),
                                              M::Get<&ILogDetails::get_Index>("Index", 12),
                                              M::Get<&ILogDetails::get_ReturnPhone>("ReturnPhone", 13),
                                              M::Get<&ILogDetails2::get_Type>("Type", 14),
                                              M::Get<&ILogDetails3::get_ImageURLs>("ImageURLs", 15),
                                          });
    return rows;
}

HRESULT LogDetails::get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept { return CopyOut(f_.type, pVal); }

// Only a multimedia transfer has pictures to list.
HRESULT LogDetails::get_ImageURLs(VARIANT* pVal) noexcept {
    if (f_.type != VEXA_MESSAGE_TYPE_MMS) return E_FAIL;
    if (!pVal) return S_OK;
    return BstrArrayVariant(f_.imageUrls, pVal);
}

std::span<const DispEntry> LogDetailsCollection::DispatchMembers() {
    static constexpr auto rows = CollectionRows<LogDetailsCollection, ILogDetailsCollection>();
    return rows;
}

}  // namespace vexa
