#include "contract/receiver.h"

#include "automation/out_param.h"

namespace vexa {

std::span<const DispEntry> Receiver::DispatchMembers() {
    using M = Members<Receiver>;
    static constexpr DispEntry rows[] = {
        M::Get<&IReceiver::get_Phone>("Phone", 1),       M::Put<&IReceiver::put_Phone>("Phone", 1),
        M::Get<&IReceiver::get_Message>("Message", 2),   M::Put<&IReceiver::put_Message>("Message", 2),
        M::Get<&IReceiver::get_SendMode>("SendMode", 3), M::Put<&IReceiver::put_SendMode>("SendMode", 3),
        M::Get<&IReceiver::get_SendTime>("SendTime", 4), M::Put<&IReceiver::put_SendTime>("SendTime", 4),
        M::Get<&IReceiver2::get_Name>("Name", 5),        M::Put<&IReceiver2::put_Name>("Name", 5),
    };
    return rows;
}

HRESULT Receiver::get_SendMode(VEXA_SENDMODE* pVal) noexcept { return CopyOut(sendMode_, pVal); }

HRESULT Receiver::put_SendMode(VEXA_SENDMODE newVal) noexcept {
    sendMode_ = newVal;  // stored unchecked: the senders decide what a value means
    return S_OK;
}

HRESULT Receiver::get_SendTime(DATE* pVal) noexcept { return CopyOut(sendTime_, pVal); }

HRESULT Receiver::put_SendTime(DATE newVal) noexcept {
    sendTime_ = newVal;
    return S_OK;
}

}  // namespace vexa
