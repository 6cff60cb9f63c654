#include "contract/receivers.h"

#include "contract/receiver.h"

namespace vexa {

std::span<const DispEntry> Receivers::DispatchMembers() {
    using M = Members<Receivers>;
    static constexpr auto rows = JoinRows(CollectionRows<Receivers, IReceivers>(),
                                          std::array{
                                              M::Method<&IReceivers::Add>("Add", 2),
                                              M::Method<&IReceivers::Remove>("Remove", 3),
                                              M::Method<&IReceivers::AddDirect>("AddDirect", 4),
                                          });
    return rows;
}

HRESULT Receivers::AddDirect(BSTR bstrPhone, BSTR bstrMessage, VEXA_SENDMODE SendMode,
                             DATE SendTime) noexcept {
    ComPtr<Receiver> receiver = Receiver::Make();
    if (!receiver) return E_OUTOFMEMORY;
    receiver->put_Phone(bstrPhone);
    receiver->put_Message(bstrMessage);
    receiver->put_SendMode(SendMode);
    receiver->put_SendTime(SendTime);
    return AddObject(receiver);
}

}  // namespace vexa
