// Memory running out in the middle of a call: each allocation the call makes is made to fail in
// turn. Every such run answers E_OUTOFMEMORY and leaves the collection as it was, still usable,
// with no object left behind; the run that meets no failure does the work.
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "automation_test_support.h"
#include "contract/receiver.h"
#include "contract/receivers.h"
#include "failing_allocation.h"

namespace vexa {
namespace {

using test::I4;
using test::Query;
using test::Str;
using test::Take;

// Two receivers: the next one grows the collection's storage, which allocates.
ComPtr<Receivers> TwoReceivers() {
    ComPtr<Receivers> list = Receivers::Make();
    for (const char16_t* phone : {u"010-0000-0001", u"010-0000-0002"})
        EXPECT_EQ(list->AddDirect(Bstr(phone).Get(), nullptr, VEXA_DIRECT, 0.0), S_OK);
    return list;
}

std::vector<std::u16string> Phones(Receivers& list) {
    std::vector<std::u16string> phones;
    for (LONG i = 0; i < list.Count(); ++i) {
        ComPtr<IDispatch> item;
        EXPECT_EQ(list.get_Item(i, item.Out()), S_OK);
        BSTR phone = nullptr;
        Query<IReceiver>(item, IID_IReceiver)->get_Phone(&phone);
        phones.push_back(Take(phone));
    }
    return phones;
}

// A late-bound call with its arguments laid out before the sweep, so that only Invoke allocates.
struct LateBound {
    DISPID id;
    WORD flags;
    std::vector<Variant> reversed;  // last argument first
    Variant result;

    HRESULT Run(IDispatch* obj) {
        result.Clear();
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        return obj->Invoke(id, IID_NULL, 0, flags, &params, &result, nullptr, nullptr);
    }
};

class AllocationFailureTest : public test::ArrayBaseTest {};

TEST_F(AllocationFailureTest, AddingToACollectionFailsWhole) {
    ComPtr<Receiver> prepared = Receiver::Make();
    prepared->put_Phone(Bstr(u"010-1234-5678").Get());
    ComPtr<IDispatch> preparedDisp = Query<IDispatch>(prepared, IID_IDispatch);
    // AddDirect late-bound, its time given as text: converting it allocates too.
    LateBound addDirect{4, DISPATCH_METHOD, {}};
    addDirect.reversed.push_back(Str(u"2025-01-02 03:04:05"));
    addDirect.reversed.push_back(I4(VEXA_RESERVATION));
    addDirect.reversed.push_back(Str(u"hello"));
    addDirect.reversed.push_back(Str(u"010-9999-0000"));

    struct Case {
        const char* name;
        std::function<HRESULT(Receivers&, IDispatch*)> call;
        std::u16string added;
    };
    const Case cases[] = {
        {"Add", [&](Receivers& list, IDispatch*) { return list.Add(preparedDisp.Get()); }, u"010-1234-5678"},
        {"AddDirect",
         [](Receivers& list, IDispatch*) {
             return list.AddDirect(Bstr(u"010-5555-0000").Get(), nullptr, VEXA_DIRECT, 0.0);
         },
         u"010-5555-0000"},
        {"Invoke AddDirect", [&](Receivers&, IDispatch* disp) { return addDirect.Run(disp); },
         u"010-9999-0000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<Receivers> list = TwoReceivers();
        ComPtr<IDispatch> disp = Query<IDispatch>(list, IID_IDispatch);
        const std::vector<std::u16string> before = Phones(*list);
        const long liveObjects = ModuleLockCount();
        size_t failures = 0;
        const HRESULT hr = test::SweepAllocationFailures(
            [&] { return c.call(*list, disp.Get()); },
            [&](size_t n, HRESULT failed) {
                SCOPED_TRACE(testing::Message() << "allocation " << n << " failing");
                ++failures;
                EXPECT_EQ(failed, E_OUTOFMEMORY);
                EXPECT_EQ(Phones(*list), before);
                EXPECT_EQ(ModuleLockCount(), liveObjects);  // no receiver left behind
            });
        EXPECT_GT(failures, 0u);
        ASSERT_EQ(hr, S_OK);
        std::vector<std::u16string> after = before;
        after.push_back(c.added);
        EXPECT_EQ(Phones(*list), after);
    }
}

TEST_F(AllocationFailureTest, LateBoundEnumeratorHandsOutNothingWhenItCannotBeMade) {
    ComPtr<Receivers> list = TwoReceivers();
    ComPtr<IDispatch> disp = Query<IDispatch>(list, IID_IDispatch);
    const long liveObjects = ModuleLockCount();
    LateBound newEnum{DISPID_NEWENUM, DISPATCH_PROPERTYGET, {}};
    size_t failures = 0;
    const HRESULT hr =
        test::SweepAllocationFailures([&] { return newEnum.Run(disp.Get()); },
                                      [&](size_t n, HRESULT failed) {
                                          SCOPED_TRACE(testing::Message() << "allocation " << n);
                                          ++failures;
                                          EXPECT_EQ(failed, E_OUTOFMEMORY);
                                          EXPECT_EQ(newEnum.result.vt, VT_EMPTY);
                                          EXPECT_EQ(ModuleLockCount(), liveObjects);
                                      });
    EXPECT_GT(failures, 0u);
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(newEnum.result.vt, VT_UNKNOWN);
    ComPtr<IEnumVARIANT> items = Query<IEnumVARIANT>(newEnum.result.punkVal, IID_IEnumVARIANT);
    EXPECT_EQ(items->Skip(2), S_OK);
    EXPECT_EQ(items->Skip(1), S_FALSE);
}

}  // namespace
}  // namespace vexa
