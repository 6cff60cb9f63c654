#include "contract/front_object.h"

namespace vexa {

HRESULT CreateLogListFor(LONG year, LONG month, BSTR index, VEXA_MESSAGE_TYPE type, IDispatch** out) {
    if (!IsValidYearMonth(year, month)) return E_INVALIDARG;
    return CreateAndHandOut<LogList>(out, [&](LogList& list) {
        LogList::Fields& f = list.Fill();
        f.date = MonthKey(year, month);
        f.index = Bstr(index);
        f.type = type;
    });
}

}  // namespace vexa
