// What each value and result class answers to QueryInterface: its dual interface under both the
// interface's IID and its dispinterface's DIID (the same vtable IDispatch gives), its later
// interfaces, and nothing another class owns.
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

#include "automation_test_support.h"
#include "contract/contents.h"
#include "contract/log_detail.h"
#include "contract/log_list.h"
#include "contract/login_info.h"
#include "contract/outcome_results.h"
#include "contract/receiver.h"
#include "contract/receivers.h"
#include "contract/send_result.h"

namespace vexa {
namespace {

struct ClassInterfaces {
    const char* name;
    ComPtr<IUnknown> (*make)();
    std::vector<const IID*> dual;    // the default interface: its IID and its DIID, if it has one
    std::vector<const IID*> others;  // later versions and private interfaces
};

template <class T>
ComPtr<IUnknown> MakeAs() {
    ComPtr<IUnknown> unk;
    T::Make()->QueryInterface(IID_IUnknown, unk.OutVoid());
    return unk;
}

const ClassInterfaces kClasses[] = {
    {"Receiver", &MakeAs<Receiver>, {&IID_IReceiver, &DIID_DispReceiver}, {&IID_IReceiver2}},
    {"Receivers", &MakeAs<Receivers>, {&IID_IReceivers, &DIID_DispReceivers}, {}},
    {"Contents", &MakeAs<Contents>, {&IID_IContents, &DIID_DispContents}, {&IID_IContentsImages}},
    {"SendResult", &MakeAs<SendResult>, {&IID_ISendResult, &DIID_DispSendResult}, {&IID_ISendResult2}},
    {"SendResults", &MakeAs<SendResults>, {&IID_ISendResults, &DIID_DispSendResults}, {}},
    {"LogList", &MakeAs<LogList>, {&IID_ILogList, &DIID_DispLogList}, {&IID_ILogList2, &IID_ILogList3}},
    {"LogLists", &MakeAs<LogLists>, {&IID_ILogLists, &DIID_DispLogLists}, {}},
    {"LogDetail", &MakeAs<LogDetail>, {&IID_ILogDetail, &DIID_DispLogDetail}, {&IID_ILogDetail2}},
    {"LogDetails",
     &MakeAs<LogDetails>,
     {&IID_ILogDetails, &DIID_DispLogDetails},
     {&IID_ILogDetails2, &IID_ILogDetails3}},
    {"LogDetailsCollection", &MakeAs<LogDetailsCollection>, {&IID_ILogDetailsCollection}, {}},
    {"DeleteResult", &MakeAs<DeleteResult>, {&IID_IDeleteResult, &DIID_DispDeleteResult}, {}},
    {"DeleteResults", &MakeAs<DeleteResults>, {&IID_IDeleteResults, &DIID_DispDeleteResults}, {}},
    {"CancelResult", &MakeAs<CancelResult>, {&IID_ICancelResult, &DIID_DispCancelResult}, {}},
    {"CancelResults", &MakeAs<CancelResults>, {&IID_ICancelResults, &DIID_DispCancelResults}, {}},
    {"LoginInfo",
     &MakeAs<LoginInfo>,
     {&IID_ILoginInfo, &DIID_DispLoginInfo},
     {&IID_ILoginInfo2, &IID_ILoginInfo3}},
};

void* Answer(IUnknown* obj, const IID& iid, HRESULT expected) {
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(obj->QueryInterface(iid, &p), expected);
    if (SUCCEEDED(expected)) static_cast<IUnknown*>(p)->Release();
    return p;
}

TEST(InterfacesTest, EachClassAnswersItsOwnIdentifiersOnly) {
    for (const ClassInterfaces& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComPtr<IUnknown> obj = c.make();
        ASSERT_TRUE(obj);
        void* dispatch = Answer(obj.Get(), IID_IDispatch, S_OK);
        for (const IID* iid : c.dual) EXPECT_EQ(Answer(obj.Get(), *iid, S_OK), dispatch);
        for (const IID* iid : c.others) {
            IUnknown* other = static_cast<IUnknown*>(Answer(obj.Get(), *iid, S_OK));
            EXPECT_EQ(Answer(other, IID_IUnknown, S_OK), obj.Get());  // one identity
        }
        // Every other class's identifiers are refused, and the null pointer is cleared.
        for (const ClassInterfaces& foreign : kClasses) {
            if (&foreign == &c) continue;
            for (const std::vector<const IID*>* ids : {&foreign.dual, &foreign.others})
                for (const IID* iid : *ids) EXPECT_EQ(Answer(obj.Get(), *iid, E_NOINTERFACE), nullptr);
        }
        EXPECT_EQ(Answer(obj.Get(), IID_IObjectSafety, E_NOINTERFACE), nullptr);
    }
}

}  // namespace
}  // namespace vexa
