// The single-entry forms of the front objects' collection methods (SendOne, ...ByList): the entry
// goes into a new collection, the collection method runs, and the first result is handed out.
#pragma once

#include "contract/array_base.h"
#include "contract/contract_interfaces.h"
#include "vexa/com_ptr.h"

namespace vexa {

// makeCollection(IDispatch**) makes the collection (whose Add refuses what does not belong: then
// the call meets an empty one); call(IDispatch* collection, IDispatch** results) runs the
// collection method. Without ppResult the call runs without asking for results.
template <class CollectionItf, class ResultsItf, class Make, class Call>
HRESULT CallWithSingleEntry(IDispatch* entry, IDispatch** ppResult, Make&& makeCollection, Call&& call) {
    ComPtr<IDispatch> collectionDisp;
    HRESULT hr = makeCollection(collectionDisp.Out());
    if (FAILED(hr)) return hr;
    ComPtr<CollectionItf> collection;
    collectionDisp.As(*InterfaceTraits<CollectionItf>::iid, collection);
    collection->Add(entry);
    if (!ppResult) return call(collectionDisp.Get(), nullptr);

    ComPtr<IDispatch> resultsDisp;
    hr = call(collectionDisp.Get(), resultsDisp.Out());
    if (FAILED(hr) || !resultsDisp) return hr;
    ComPtr<ResultsItf> results;
    resultsDisp.As(*InterfaceTraits<ResultsItf>::iid, results);
    LONG count = 0;
    results->get_Count(&count);
    if (count == 0) return S_OK;
    return results->get_Item(ArrayBase(), ppResult);  // the first result, whatever the base
}

}  // namespace vexa
