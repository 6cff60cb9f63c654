#include "automation/safearray.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "automation/bstr.h"
#include "automation/counting_object.h"

namespace vexa {
namespace {

using testing::CountingObject;

VARTYPE HiddenVartype(const SAFEARRAY* psa) {
    uint32_t vt;
    std::memcpy(&vt, reinterpret_cast<const unsigned char*>(psa) - sizeof vt, sizeof vt);
    return static_cast<VARTYPE>(vt);
}

BSTR BstrAt(SAFEARRAY* psa, LONG index) { return static_cast<BSTR*>(psa->pvData)[index]; }

TEST(SafeArrayTest, BstrVectorHasTheLayoutHostsReadDirectly) {
    const std::vector<Bstr> items = {Bstr(u"first"), Bstr(), Bstr(u"x")};
    SafeArrayPtr sa(MakeBstrVector(items));
    ASSERT_TRUE(sa);
    EXPECT_EQ(sa->cDims, 1);
    EXPECT_EQ(sa->fFeatures, FADF_BSTR | FADF_HAVEVARTYPE);
    EXPECT_EQ(sa->cbElements, 8u);
    EXPECT_EQ(sa->cLocks, 0u);
    EXPECT_EQ(sa->rgsabound[0].lLbound, 0);
    EXPECT_EQ(sa->rgsabound[0].cElements, 3u);
    EXPECT_EQ(HiddenVartype(sa.get()), VT_BSTR);

    // Each element is the array's own copy; a null string stays null.
    EXPECT_NE(BstrAt(sa.get(), 0), items[0].Get());
    EXPECT_EQ(Bstr(BstrAt(sa.get(), 0)).View(), u"first");
    EXPECT_EQ(BstrAt(sa.get(), 1), nullptr);
    EXPECT_EQ(Bstr(BstrAt(sa.get(), 2)).View(), u"x");

    // The same shape as the exported creator gives.
    SafeArrayPtr plain(SafeArrayCreateVector(VT_BSTR, 0, 3));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->fFeatures, sa->fFeatures);
    EXPECT_EQ(plain->cbElements, sa->cbElements);
    EXPECT_EQ(HiddenVartype(plain.get()), VT_BSTR);
}

TEST(SafeArrayTest, CreateVectorDescribesEachElementType) {
    struct Case {
        VARTYPE vt;
        ULONG size;
        USHORT features;
    };
    const Case cases[] = {
        {VT_BSTR, 8, FADF_HAVEVARTYPE | FADF_BSTR},
        {VT_VARIANT, 24, FADF_HAVEVARTYPE | FADF_VARIANT},
        {VT_I4, 4, FADF_HAVEVARTYPE},
        {VT_UI1, 1, FADF_HAVEVARTYPE},
        {VT_DISPATCH, 8, FADF_HAVEVARTYPE | FADF_DISPATCH},
        {VT_UNKNOWN, 8, FADF_HAVEVARTYPE | FADF_UNKNOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vt);
        SafeArrayPtr sa(SafeArrayCreateVector(c.vt, 0, 2));
        ASSERT_TRUE(sa);
        EXPECT_EQ(sa->cbElements, c.size);
        EXPECT_EQ(sa->fFeatures, c.features);
        EXPECT_EQ(HiddenVartype(sa.get()), c.vt);
        ASSERT_NE(sa->pvData, nullptr);
        // Elements start empty: null strings and pointers, VT_EMPTY variants, zeros.
        const auto* bytes = static_cast<const unsigned char*>(sa->pvData);
        for (ULONG i = 0; i < 2 * c.size; ++i) EXPECT_EQ(bytes[i], 0);
    }
    for (VARTYPE vt : {VARTYPE{VT_EMPTY}, VARTYPE{VT_I2}, VARTYPE{VT_R8}, VARTYPE{VT_RECORD},
                       VARTYPE(VT_ARRAY | VT_BSTR), VARTYPE(VT_BYREF | VT_I4)}) {
        EXPECT_EQ(SafeArrayCreateVector(vt, 0, 1), nullptr) << vt;
    }
}

TEST(SafeArrayTest, BoundsAndDimensions) {
    SafeArrayPtr sa(SafeArrayCreateVector(VT_I4, -2, 5));
    ASSERT_TRUE(sa);
    LONG bound = 99;
    EXPECT_EQ(SafeArrayGetDim(sa.get()), 1u);
    EXPECT_EQ(SafeArrayGetLBound(sa.get(), 1, &bound), S_OK);
    EXPECT_EQ(bound, -2);
    EXPECT_EQ(SafeArrayGetUBound(sa.get(), 1, &bound), S_OK);
    EXPECT_EQ(bound, 2);
    for (UINT nDim : {0u, 2u}) {
        EXPECT_EQ(SafeArrayGetLBound(sa.get(), nDim, &bound), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetUBound(sa.get(), nDim, &bound), DISP_E_BADINDEX);
    }
    EXPECT_EQ(SafeArrayGetLBound(sa.get(), 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);

    // An empty vector ends one below where it starts.
    SafeArrayPtr empty(SafeArrayCreateVector(VT_BSTR, 0, 0));
    ASSERT_TRUE(empty);
    EXPECT_EQ(SafeArrayGetUBound(empty.get(), 1, &bound), S_OK);
    EXPECT_EQ(bound, -1);

    // An upper bound that a LONG cannot hold is refused rather than wrapped.
    EXPECT_EQ(SafeArrayCreateVector(VT_I4, std::numeric_limits<LONG>::max(), 2), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_I4, std::numeric_limits<LONG>::min(), 0), nullptr);
    SafeArrayPtr top(SafeArrayCreateVector(VT_I4, std::numeric_limits<LONG>::max(), 1));
    ASSERT_TRUE(top);
    EXPECT_EQ(SafeArrayGetUBound(top.get(), 1, &bound), S_OK);
    EXPECT_EQ(bound, std::numeric_limits<LONG>::max());
}

TEST(SafeArrayTest, GetElementChecksBoundsAndCopies) {
    SafeArrayPtr sa(SafeArrayCreateVector(VT_BSTR, 10, 2));
    ASSERT_TRUE(sa);
    static_cast<BSTR*>(sa->pvData)[0] = SysAllocString(u"ten");

    for (LONG index : {9, 12, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()}) {
        BSTR out = nullptr;
        EXPECT_EQ(SafeArrayGetElement(sa.get(), &index, &out), DISP_E_BADINDEX) << index;
        EXPECT_EQ(out, nullptr);
    }

    LONG index = 10;
    Bstr copy;
    ASSERT_EQ(SafeArrayGetElement(sa.get(), &index, copy.Out()), S_OK);
    EXPECT_NE(copy.Get(), BstrAt(sa.get(), 0));
    EXPECT_EQ(copy.View(), u"ten");
    index = 11;
    ASSERT_EQ(SafeArrayGetElement(sa.get(), &index, copy.Out()), S_OK);
    EXPECT_TRUE(copy.IsNull());

    EXPECT_EQ(SafeArrayGetElement(nullptr, &index, copy.Out()), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(sa.get(), nullptr, copy.Out()), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(sa.get(), &index, nullptr), E_INVALIDARG);

    SafeArrayPtr ints(SafeArrayCreateVector(VT_I4, 0, 1));
    ASSERT_TRUE(ints);
    static_cast<LONG*>(ints->pvData)[0] = -7;
    index = 0;
    LONG value = 0;
    ASSERT_EQ(SafeArrayGetElement(ints.get(), &index, &value), S_OK);
    EXPECT_EQ(value, -7);
}

TEST(SafeArrayTest, LockCountGuardsDestroy) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_BSTR, 0, 1);
    ASSERT_NE(sa, nullptr);
    static_cast<BSTR*>(sa->pvData)[0] = SysAllocString(u"kept");

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(sa, &data), S_OK);
    EXPECT_EQ(data, sa->pvData);
    ASSERT_EQ(SafeArrayAccessData(sa, &data), S_OK);
    EXPECT_EQ(sa->cLocks, 2u);
    EXPECT_EQ(SafeArrayDestroy(sa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(Bstr(BstrAt(sa, 0)).View(), u"kept");

    EXPECT_EQ(SafeArrayUnaccessData(sa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(sa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(sa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(sa), E_UNEXPECTED);
    EXPECT_EQ(sa->cLocks, 0u);

    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAccessData(sa, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnaccessData(nullptr), E_INVALIDARG);

    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArrayTest, InterfaceElementsHoldReferences) {
    CountingObject object;
    for (VARTYPE vt : {VARTYPE{VT_UNKNOWN}, VARTYPE{VT_DISPATCH}}) {
        SCOPED_TRACE(vt);
        SAFEARRAY* sa = SafeArrayCreateVector(vt, 0, 2);
        ASSERT_NE(sa, nullptr);
        object.AddRef();
        static_cast<IDispatch**>(sa->pvData)[1] = &object;

        LONG index = 1;
        IUnknown* got = nullptr;
        ASSERT_EQ(SafeArrayGetElement(sa, &index, &got), S_OK);
        EXPECT_EQ(got, static_cast<IUnknown*>(&object));
        EXPECT_EQ(object.refs, 3u);
        got->Release();

        index = 0;
        ASSERT_EQ(SafeArrayGetElement(sa, &index, &got), S_OK);
        EXPECT_EQ(got, nullptr);

        EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
        EXPECT_EQ(object.refs, 1u);
    }
}

TEST(SafeArrayTest, VariantElementsAreCopiedAndCleared) {
    CountingObject object;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    ASSERT_NE(sa, nullptr);
    auto* slots = static_cast<VARIANT*>(sa->pvData);
    EXPECT_EQ(slots[2].vt, VT_EMPTY);
    slots[0].vt = VT_UNKNOWN;
    slots[0].punkVal = &object;
    object.AddRef();
    slots[1].vt = VT_BSTR;
    slots[1].bstrVal = SysAllocString(u"text");

    LONG index = 0;
    VARIANT got;
    ASSERT_EQ(SafeArrayGetElement(sa, &index, &got), S_OK);
    EXPECT_EQ(got.vt, VT_UNKNOWN);
    EXPECT_EQ(got.punkVal, static_cast<IUnknown*>(&object));
    EXPECT_EQ(object.refs, 3u);
    VariantClear(&got);

    index = 1;
    ASSERT_EQ(SafeArrayGetElement(sa, &index, &got), S_OK);
    ASSERT_EQ(got.vt, VT_BSTR);
    EXPECT_NE(got.bstrVal, slots[1].bstrVal);
    EXPECT_EQ(Bstr(got.bstrVal).View(), u"text");
    VariantClear(&got);

    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
    EXPECT_EQ(object.refs, 1u);
}

TEST(SafeArrayTest, CopySafeArrayIsDeep) {
    CountingObject object;
    SafeArrayPtr objects(SafeArrayCreateVector(VT_UNKNOWN, 3, 2));
    ASSERT_TRUE(objects);
    object.AddRef();
    static_cast<IUnknown**>(objects->pvData)[0] = &object;

    SAFEARRAY* raw = nullptr;
    ASSERT_EQ(CopySafeArray(objects.get(), &raw), S_OK);
    SafeArrayPtr copy(raw);
    EXPECT_EQ(copy->fFeatures, objects->fFeatures);
    EXPECT_EQ(copy->rgsabound[0].lLbound, 3);
    EXPECT_EQ(copy->rgsabound[0].cElements, 2u);
    EXPECT_EQ(HiddenVartype(copy.get()), VT_UNKNOWN);
    EXPECT_EQ(object.refs, 3u);
    copy.reset();
    objects.reset();
    EXPECT_EQ(object.refs, 1u);

    const std::vector<Bstr> items = {Bstr(u"a"), Bstr(u"b")};
    SafeArrayPtr strings(MakeBstrVector(items));
    ASSERT_EQ(CopySafeArray(strings.get(), &raw), S_OK);
    copy.reset(raw);
    EXPECT_NE(BstrAt(copy.get(), 1), BstrAt(strings.get(), 1));
    EXPECT_EQ(Bstr(BstrAt(copy.get(), 1)).View(), u"b");

    EXPECT_EQ(CopySafeArray(nullptr, &raw), S_OK);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(CopySafeArray(strings.get(), nullptr), E_POINTER);
}

TEST(SafeArrayTest, BstrArrayVariantWrapsAZeroBasedVector) {
    for (size_t n : {size_t{0}, size_t{2}}) {
        SCOPED_TRACE(n);
        const std::vector<Bstr> items = {Bstr(u"http://a/1"), Bstr(u"http://a/2")};
        VARIANT v;
        ASSERT_EQ(BstrArrayVariant(std::span(items).first(n), &v), S_OK);
        EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);
        ASSERT_NE(v.parray, nullptr);
        LONG lower = -1, upper = -1;
        EXPECT_EQ(SafeArrayGetLBound(v.parray, 1, &lower), S_OK);
        EXPECT_EQ(SafeArrayGetUBound(v.parray, 1, &upper), S_OK);
        EXPECT_EQ(lower, 0);
        EXPECT_EQ(upper, static_cast<LONG>(n) - 1);
        if (n) {
            EXPECT_EQ(Bstr(BstrAt(v.parray, 1)).View(), u"http://a/2");
        }
        // A host frees it with VariantClear.
        EXPECT_EQ(VariantClear(&v), S_OK);
    }
    EXPECT_EQ(BstrArrayVariant({}, nullptr), E_POINTER);
}

}  // namespace
}  // namespace vexa
