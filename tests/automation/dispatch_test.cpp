// A late-bound member that throws fails its call like a member that answered the code: nothing
// unwinds out of Invoke into the caller.
#include "automation/dispatch.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

#include "automation/variant.h"

struct IThrower : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Throw(LONG kind) = 0;
};
inline constexpr IID IID_IThrower = GuidFromString("6C1E2D4A-0B7F-4E55-9A31-2F8D3C6B1E90");

namespace vexa {

template <>
struct InterfaceTraits<IThrower> : InterfaceIds<IID_IThrower> {};

namespace {

enum Thrown : LONG { kBadAlloc, kLengthError, kRuntimeError, kNotAnException, kNothing };

class Thrower final : public AutomationObject<Thrower, IThrower> {
public:
    static std::span<const DispEntry> DispatchMembers() {
        static constexpr DispEntry rows[] = {Members<Thrower>::Method<&IThrower::Throw>("Throw", 1)};
        return rows;
    }
    HRESULT STDMETHODCALLTYPE Throw(LONG kind) override {
        switch (kind) {
            case kBadAlloc:
                throw std::bad_alloc();
            case kLengthError:
                throw std::length_error("too long");
            case kRuntimeError:
                throw std::runtime_error("broken");
            case kNotAnException:
                throw 42;
            default:
                return S_OK;
        }
    }
};

TEST(DispatchTest, AMemberThatThrowsFailsItsCall) {
    struct Case {
        Thrown kind;
        HRESULT code;
    };
    const Case cases[] = {{kBadAlloc, E_OUTOFMEMORY},
                          {kLengthError, E_OUTOFMEMORY},
                          {kRuntimeError, E_UNEXPECTED},
                          {kNotAnException, E_UNEXPECTED},
                          {kNothing, S_OK}};
    ComPtr<Thrower> thrower = Thrower::Make();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind);
        Variant arg;
        arg.vt = VT_I4;
        arg.lVal = c.kind;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        EXPECT_EQ(thrower->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
                  c.code);
        // With an exception block the failure is reported there.
        EXCEPINFO excep{};
        const HRESULT hr =
            thrower->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, nullptr);
        EXPECT_EQ(hr, SUCCEEDED(c.code) ? c.code : DISP_E_EXCEPTION);
        EXPECT_EQ(excep.scode, SUCCEEDED(c.code) ? 0 : c.code);
    }
}

}  // namespace
}  // namespace vexa
