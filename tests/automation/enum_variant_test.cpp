#include "automation/enum_variant.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

#include "automation/bstr.h"
#include "automation/counting_object.h"
#include "automation/variant.h"
#include "vexa/com_ptr.h"

namespace vexa {
namespace {

using testing::CountingObject;

Variant I4(LONG value) {
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

ComPtr<IEnumVARIANT> Enumerate(std::vector<Variant> items) {
    ComPtr<IUnknown> unk;
    EXPECT_EQ(MakeEnumerator(std::move(items), unk.Out()), S_OK);
    ComPtr<IEnumVARIANT> e;
    EXPECT_EQ(unk.As(IID_IEnumVARIANT, e), S_OK);
    return e;
}

std::vector<Variant> Ints(std::initializer_list<LONG> values) {
    std::vector<Variant> items;
    for (LONG v : values) items.push_back(I4(v));
    return items;
}

// Next(celt) into fresh slots: the result, the fetched count and the values yielded.
struct Fetched {
    HRESULT hr;
    ULONG count;
    std::vector<LONG> values;
};

Fetched Next(IEnumVARIANT* e, ULONG celt) {
    std::vector<Variant> slots(celt + 1);  // never empty, so never a null array
    Fetched f{E_FAIL, 99, {}};
    f.hr = e->Next(celt, slots.data(), &f.count);
    for (ULONG i = 0; i < f.count; ++i) {
        EXPECT_EQ(slots[i].vt, VT_I4);
        f.values.push_back(slots[i].lVal);
    }
    return f;
}

TEST(EnumVariantTest, NextYieldsUpToCeltAndSignalsShortFetches) {
    ComPtr<IEnumVARIANT> e = Enumerate(Ints({10, 20, 30}));
    ASSERT_TRUE(e);

    Fetched f = Next(e.Get(), 2);
    EXPECT_EQ(f.hr, S_OK);
    EXPECT_EQ(f.values, (std::vector<LONG>{10, 20}));
    f = Next(e.Get(), 0);
    EXPECT_EQ(f.hr, S_OK);
    EXPECT_EQ(f.count, 0u);
    f = Next(e.Get(), 2);
    EXPECT_EQ(f.hr, S_FALSE);
    EXPECT_EQ(f.values, (std::vector<LONG>{30}));
    f = Next(e.Get(), 1);
    EXPECT_EQ(f.hr, S_FALSE);
    EXPECT_EQ(f.count, 0u);

    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(Next(e.Get(), 5).values, (std::vector<LONG>{10, 20, 30}));
}

TEST(EnumVariantTest, FetchedCountMayBeOmittedOnlyForOneElement) {
    ComPtr<IEnumVARIANT> e = Enumerate(Ints({1, 2}));
    ASSERT_TRUE(e);
    std::array<Variant, 2> slots;
    EXPECT_EQ(e->Next(2, slots.data(), nullptr), E_POINTER);
    EXPECT_EQ(e->Next(0, slots.data(), nullptr), E_POINTER);
    ULONG fetched = 7;
    EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_EQ(fetched, 0u);

    // None of the refused calls moved the enumerator.
    EXPECT_EQ(e->Next(1, slots.data(), nullptr), S_OK);
    EXPECT_EQ(slots[0].lVal, 1);
    EXPECT_EQ(e->Next(1, slots.data(), nullptr), S_OK);
    EXPECT_EQ(slots[0].lVal, 2);
    EXPECT_EQ(e->Next(1, slots.data(), nullptr), S_FALSE);
}

TEST(EnumVariantTest, SkipAdvancesByAtMostWhatIsLeft) {
    ComPtr<IEnumVARIANT> e = Enumerate(Ints({1, 2, 3, 4}));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Skip(0), S_OK);
    EXPECT_EQ(e->Skip(2), S_OK);
    EXPECT_EQ(Next(e.Get(), 1).values, (std::vector<LONG>{3}));
    EXPECT_EQ(e->Skip(5), S_FALSE);
    EXPECT_EQ(Next(e.Get(), 1).count, 0u);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(4), S_OK);
    EXPECT_EQ(e->Skip(0), S_OK);
}

TEST(EnumVariantTest, CloneStartsAtTheSamePositionAndMovesOnItsOwn) {
    ComPtr<IEnumVARIANT> e = Enumerate(Ints({1, 2, 3}));
    ASSERT_TRUE(e);
    ASSERT_EQ(e->Skip(1), S_OK);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.Out()), S_OK);
    EXPECT_EQ(Next(clone.Get(), 5).values, (std::vector<LONG>{2, 3}));
    EXPECT_EQ(Next(e.Get(), 1).values, (std::vector<LONG>{2}));

    // The clone outlives the enumerator it came from.
    e.Reset();
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(Next(clone.Get(), 5).values, (std::vector<LONG>{1, 2, 3}));
    EXPECT_EQ(clone->Clone(nullptr), E_POINTER);
}

TEST(EnumVariantTest, YieldsCopiesAndReleasesItsReferencesWhenGone) {
    CountingObject object;
    std::vector<Variant> source(2);
    source[0].vt = VT_DISPATCH;
    source[0].pdispVal = &object;
    object.AddRef();
    source[1].vt = VT_BSTR;
    source[1].bstrVal = SysAllocString(u"name");

    ComPtr<IEnumVARIANT> e = Enumerate(source);
    ASSERT_TRUE(e);
    EXPECT_EQ(object.refs, 3u);  // the test, the source, the snapshot
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.Out()), S_OK);
    EXPECT_EQ(object.refs, 3u);  // clones share the snapshot

    // Later changes to the source are not seen.
    source.clear();
    EXPECT_EQ(object.refs, 2u);

    std::array<Variant, 2> got;
    ULONG fetched = 0;
    ASSERT_EQ(e->Next(2, got.data(), &fetched), S_OK);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0].vt, VT_DISPATCH);
    EXPECT_EQ(got[0].pdispVal, &object);
    EXPECT_EQ(object.refs, 3u);
    ASSERT_EQ(got[1].vt, VT_BSTR);
    EXPECT_EQ(Bstr(got[1].bstrVal).View(), u"name");

    // Each Next hands out a string of its own.
    Variant again;
    ASSERT_EQ(clone->Skip(1), S_OK);
    ASSERT_EQ(clone->Next(1, &again, nullptr), S_OK);
    ASSERT_EQ(again.vt, VT_BSTR);
    EXPECT_NE(again.bstrVal, got[1].bstrVal);

    got[0].Clear();
    e.Reset();
    EXPECT_EQ(object.refs, 2u);
    clone.Reset();
    EXPECT_EQ(object.refs, 1u);
}

TEST(EnumVariantTest, FailedCopyLeavesNothingBehind) {
    std::vector<Variant> items(3);
    items[0].vt = VT_BSTR;
    items[0].bstrVal = SysAllocString(u"copied first");
    items[1].vt = 0x0FFF;  // no such type: VariantCopy refuses it
    ComPtr<IEnumVARIANT> e = Enumerate(std::move(items));
    ASSERT_TRUE(e);

    std::array<Variant, 3> slots;
    ULONG fetched = 9;
    EXPECT_TRUE(FAILED(e->Next(3, slots.data(), &fetched)));
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(slots[0].vt, VT_EMPTY);
    EXPECT_EQ(slots[1].vt, VT_EMPTY);
    // Still at the start.
    ASSERT_EQ(e->Next(1, slots.data(), nullptr), S_OK);
    EXPECT_EQ(slots[0].vt, VT_BSTR);
}

TEST(EnumVariantTest, FactoryAndIdentity) {
    EXPECT_EQ(MakeEnumerator({}, nullptr), E_POINTER);

    ComPtr<IUnknown> unk;
    ASSERT_EQ(MakeEnumerator({}, unk.Out()), S_OK);
    ComPtr<IEnumVARIANT> e;
    ASSERT_EQ(unk.As(IID_IEnumVARIANT, e), S_OK);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(e.As(IID_IUnknown, identity), S_OK);
    EXPECT_EQ(identity.Get(), unk.Get());
    ComPtr<IDispatch> disp;
    EXPECT_EQ(unk.As(IID_IDispatch, disp), E_NOINTERFACE);

    ULONG fetched = 5;
    Variant slot;
    EXPECT_EQ(e->Next(1, &slot, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e->Skip(1), S_FALSE);
}

}  // namespace
}  // namespace vexa
