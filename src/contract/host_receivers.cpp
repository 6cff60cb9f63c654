#include "contract/host_receivers.h"

#include "contract/array_base.h"
#include "contract/read_property.h"
#include "vexa/com_ptr.h"

namespace vexa {

std::vector<HostReceiver> ReadHostReceivers(IReceivers* receivers) {
    std::vector<HostReceiver> out;
    LONG count = 0;
    receivers->get_Count(&count);
    for (LONG i = ArrayBase(); i < ArrayBase() + count; ++i) {  // the base is read anew each time
        ComPtr<IDispatch> item;
        if (FAILED(receivers->get_Item(i, item.Out())) || !item) continue;
        ComPtr<IReceiver> receiver;
        if (FAILED(item.As(IID_IReceiver, receiver))) continue;
        HostReceiver r;
        r.phone = ReadLocalText(receiver.Get(), &IReceiver::get_Phone);
        r.message = ReadLocalText(receiver.Get(), &IReceiver::get_Message);
        receiver->get_SendMode(&r.mode);
        receiver->get_SendTime(&r.sendTime);
        ComPtr<IReceiver2> named;
        if (SUCCEEDED(item.As(IID_IReceiver2, named)))
            r.name = ReadLocalText(named.Get(), &IReceiver2::get_Name);
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace vexa
