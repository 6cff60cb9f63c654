#include "contract/log_entries.h"

#include "contract/array_base.h"
#include "contract/read_property.h"
#include "vexa/com_ptr.h"

namespace vexa {

HRESULT CollectLogEntries(ILogLists* lists, ForeignEntry foreign, std::vector<HostLogEntry>& entries) {
    LONG count = 0;
    lists->get_Count(&count);
    for (LONG i = ArrayBase(); i < ArrayBase() + count; ++i) {  // the base is read anew each time
        ComPtr<IDispatch> item;
        if (FAILED(lists->get_Item(i, item.Out())) || !item) continue;
        ComPtr<ILogList> list;
        ComPtr<ILogList3> typed;
        const bool isList = SUCCEEDED(item.As(IID_ILogList, list));
        const bool hasType = isList && SUCCEEDED(item.As(IID_ILogList3, typed));
        if (!isList || (!hasType && foreign == ForeignEntry::kStop)) {
            if (foreign == ForeignEntry::kStop) return E_POINTER;
            continue;
        }
        HostLogEntry entry{ReadLocalText(list.Get(), &ILogList::get_Date),
                           ReadLocalText(list.Get(), &ILogList::get_Index)};
        if (hasType) typed->get_Type(&entry.type);
        entries.push_back(std::move(entry));
    }
    return entries.empty() ? VEXA_E_LOGLISTNOTFOUND : S_OK;
}

}  // namespace vexa
