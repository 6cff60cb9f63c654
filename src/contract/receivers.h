// Receivers: the collection a send takes.
#pragma once

#include "contract/basic_collection.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class Receivers final : public CollectionObject<Receivers, IReceivers> {
public:
    Receivers() : CollectionObject(IID_IReceiver) {}
    static std::span<const DispEntry> DispatchMembers();

    HRESULT STDMETHODCALLTYPE AddDirect(BSTR bstrPhone, BSTR bstrMessage, VEXA_SENDMODE SendMode,
                                        DATE SendTime) noexcept override;
};

}  // namespace vexa
