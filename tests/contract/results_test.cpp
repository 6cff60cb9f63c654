// The result objects' computed members and their checks.
#include <gtest/gtest.h>

#include "automation_test_support.h"
#include "contract/log_detail.h"
#include "contract/log_list.h"
#include "contract/login_info.h"
#include "contract/outcome_results.h"
#include "contract/send_result.h"
#include "legacy/protocol/scramble.h"
#include "month_key_cases.h"

namespace vexa {
namespace {

using test::ArrayBaseTest;
using test::Get;
using test::ItemOf;
using test::Query;
using test::Take;

TEST(LogListTest, DateTakesOnlySixCharacters) {
    ComPtr<LogList> list = LogList::Make();
    Bstr six(u"202403"), five(u"20243"), seven(u"2024031");
    ASSERT_EQ(list->put_Date(six.Get()), S_OK);
    EXPECT_EQ(list->put_Date(five.Get()), E_INVALIDARG);
    EXPECT_EQ(list->put_Date(seven.Get()), E_INVALIDARG);
    EXPECT_EQ(list->put_Date(nullptr), E_INVALIDARG);
    BSTR date = nullptr;
    list->get_Date(&date);
    EXPECT_EQ(Take(date), u"202403");
    EXPECT_EQ(list->put_Index(nullptr), S_OK);  // any index is taken
}

TEST(LogListsTest, AddDirectMakesMonthKeysUnlessRestOwned) {
    for (const test::MonthKeyCase& c : test::kMonthKeyCases) {
        SCOPED_TRACE(testing::Message() << c.year << "/" << c.month);
        ComPtr<LogLists> lists = LogLists::Make();
        Bstr index(u"12");
        EXPECT_EQ(lists->AddDirect(c.year, c.month, index.Get()), c.key ? S_OK : E_INVALIDARG);
        if (!c.key) {
            EXPECT_EQ(lists->Count(), 0);
            continue;
        }
        ComPtr<ILogList> list = ItemOf<ILogList>(lists, 0, IID_ILogList);
        EXPECT_EQ(Get(list, &ILogList::get_Date), c.key);
        EXPECT_EQ(Get(list, &ILogList::get_Index), u"12");
    }
    ComPtr<LogLists> rest = LogLists::Make();
    rest->SetRestOwned();
    EXPECT_EQ(rest->AddDirect(2024, 3, nullptr), VEXA_E_DEPRECATED);
    EXPECT_EQ(rest->AddDirect(0, 0, nullptr), VEXA_E_DEPRECATED);  // retired before any check
    EXPECT_EQ(rest->Count(), 0);
}

TEST(SendResultTest, MakeLogListCarriesTheTransferIdentity) {
    ComPtr<SendResult> result = SendResult::Make();
    result->Fill().date = Bstr(u"202412");
    result->Fill().index = Bstr(u"77");
    result->Fill().type = VEXA_MESSAGE_TYPE_MMS;
    result->Fill().phone = Bstr(u"010");
    EXPECT_EQ(result->MakeLogList(nullptr), E_POINTER);
    ComPtr<IDispatch> made;
    ASSERT_EQ(result->MakeLogList(made.Out()), S_OK);
    ComPtr<ILogList> list = Query<ILogList>(made, IID_ILogList);
    BSTR date = nullptr, index = nullptr, phone = reinterpret_cast<BSTR>(1);
    LONG total = -1;
    VEXA_SENDMODE mode{};
    VEXA_MESSAGE_TYPE type{};
    list->get_Date(&date);
    list->get_Index(&index);
    list->get_ReceiverPhone(&phone);
    list->get_CountTotal(&total);
    list->get_SendMode(&mode);
    Query<ILogList3>(made, IID_ILogList3)->get_Type(&type);
    EXPECT_EQ(Take(date), u"202412");
    EXPECT_EQ(Take(index), u"77");
    EXPECT_EQ(phone, nullptr);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(mode, VEXA_DIRECT);
    EXPECT_EQ(type, VEXA_MESSAGE_TYPE_MMS);
}

class SendResultsTest : public ArrayBaseTest {};

TEST_F(SendResultsTest, SummaryMembersReadTheFirstResult) {
    ComPtr<SendResults> results = SendResults::Make();
    BSTR text = nullptr;
    ComPtr<IDispatch> made;
    EXPECT_EQ(results->get_Date(&text), VEXA_E_LOGLISTNOTFOUND);
    EXPECT_EQ(results->get_Index(&text), VEXA_E_LOGLISTNOTFOUND);
    EXPECT_EQ(results->MakeLogList(made.Out()), VEXA_E_LOGLISTNOTFOUND);

    for (const char16_t* index : {u"1", u"2"}) {
        ComPtr<SendResult> r = SendResult::Make();
        r->Fill().date = Bstr(u"202501");
        r->Fill().index = Bstr(index);
        ASSERT_EQ(results->AddObject(r), S_OK);
    }
    SetArrayBase(1);
    ASSERT_EQ(results->get_Index(&text), S_OK);
    EXPECT_EQ(Take(text), u"1");
    ASSERT_EQ(results->MakeLogList(made.Out()), S_OK);
    BSTR date = nullptr;
    Query<ILogList>(made, IID_ILogList)->get_Date(&date);
    EXPECT_EQ(Take(date), u"202501");
}

// The contents of a one-dimensional BSTR array, checking the layout hosts rely on.
std::vector<std::u16string> Strings(const VARIANT& v) {
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(SafeArrayGetDim(v.parray), 1u);
    LONG lower = -1, upper = -2;
    SafeArrayGetLBound(v.parray, 1, &lower);
    SafeArrayGetUBound(v.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    std::vector<std::u16string> out;
    for (LONG i = lower; i <= upper; ++i) {
        BSTR s = nullptr;
        EXPECT_EQ(SafeArrayGetElement(v.parray, &i, &s), S_OK);
        out.push_back(Take(s));
    }
    return out;
}

class LogDetailsTest : public ArrayBaseTest {};

TEST_F(LogDetailsTest, ImageUrlsOnlyForMultimediaAndAlwaysFromZero) {
    SetArrayBase(1);
    ComPtr<LogDetails> details = LogDetails::Make();
    details->Fill().imageUrls = {Bstr(u"http://127.0.0.1/a.jpg"), Bstr(u"http://127.0.0.1/b.jpg")};
    Variant urls;
    for (VEXA_MESSAGE_TYPE type : {VEXA_MESSAGE_TYPE_SMS, VEXA_MESSAGE_TYPE_LMS, VEXA_MESSAGE_TYPE_ALL}) {
        details->Fill().type = type;
        EXPECT_EQ(details->get_ImageURLs(&urls), E_FAIL);
        EXPECT_EQ(urls.vt, VT_EMPTY);
    }
    details->Fill().type = VEXA_MESSAGE_TYPE_MMS;
    EXPECT_EQ(details->get_ImageURLs(nullptr), S_OK);
    ASSERT_EQ(details->get_ImageURLs(&urls), S_OK);
    EXPECT_EQ(Strings(urls),
              (std::vector<std::u16string>{u"http://127.0.0.1/a.jpg", u"http://127.0.0.1/b.jpg"}));

    details->Fill().imageUrls.clear();
    Variant none;
    ASSERT_EQ(details->get_ImageURLs(&none), S_OK);
    EXPECT_TRUE(Strings(none).empty());
}

TEST(LoginInfoTest, DeprecatedMembersDependOnTheBackend) {
    ComPtr<LoginInfo> legacy = LoginInfo::Make();
    const std::string scrambled = VexaCore::ScrambleText("pass word!");
    legacy->SetUserDetails(Bstr(u"user"), Bstr(std::u16string(scrambled.begin(), scrambled.end())),
                           Bstr(u"홍길동"), Bstr(u"010-1111-2222"));
    legacy->SetServerDetails(Bstr(u"127.0.0.1"), 4545, Bstr(u"2.1"), 45000.0);
    BSTR text = nullptr;
    LONG points = 0;
    ASSERT_EQ(legacy->get_UserPassword(&text), S_OK);
    EXPECT_EQ(Take(text), u"pass word!");  // shown in clear
    ASSERT_EQ(legacy->get_ServerVersion(&text), S_OK);
    EXPECT_EQ(Take(text), u"2.1");
    EXPECT_EQ(legacy->get_FreePoint(&points), VEXA_E_DEPRECATED);

    ComPtr<LoginInfo> rest = LoginInfo::Make();
    rest->SetRestOwned();
    EXPECT_EQ(rest->get_UserPassword(&text), VEXA_E_DEPRECATED);
    EXPECT_EQ(rest->get_ServerVersion(&text), VEXA_E_DEPRECATED);
    EXPECT_EQ(rest->get_FreePoint(&points), VEXA_E_DEPRECATED);
}

TEST(LoginInfoTest, UserPhoneNumbersAreABstrArray) {
    ComPtr<LoginInfo> info = LoginInfo::Make();
    Variant numbers;
    ASSERT_EQ(info->get_UserPhoneNumbers(&numbers), S_OK);
    EXPECT_TRUE(Strings(numbers).empty());
    info->SetUserPhoneNumbers({Bstr(u"02-000-0000"), Bstr(u"010-1234-5678")});
    Variant again;
    ASSERT_EQ(info->get_UserPhoneNumbers(&again), S_OK);
    EXPECT_EQ(Strings(again), (std::vector<std::u16string>{u"02-000-0000", u"010-1234-5678"}));
}

uint32_t g_ticks = 0;
uint32_t FakeTicks() { return g_ticks; }

TEST(LoginInfoTest, ServerTimeRunsOnInWholeSeconds) {
    struct Case {
        DATE stored;
        uint32_t startTicks;
        uint32_t elapsedMs;
        DATE expected;
    };
    const Case cases[] = {
        {45000.5, 1000, 5000, 45000.5 + 5.0 / 86400},
        {45000.5, 1000, 5999, 45000.5 + 5.0 / 86400},           // partial seconds are dropped
        {45000.0, 0xFFFFF000u, 0x2000, 45000.0 + 8.0 / 86400},  // the tick count wraps
        {-1.25, 0, 43200 * 1000u, -1.75},                       // 1899-12-29 06:00 + 12 h
        {-1.75, 0, 43200 * 1000u, 0.25},                        // across 1899-12-30 00:00
        {0.0, 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored << " + " << c.elapsedMs << " ms");
        ComPtr<LoginInfo> info = LoginInfo::Make();
        info->SetTickSource(&FakeTicks);
        g_ticks = c.startTicks;
        info->SetServerTime(c.stored);
        g_ticks = c.startTicks + c.elapsedMs;
        DATE now = 0;
        ASSERT_EQ(info->get_ServerTime(&now), S_OK);
        EXPECT_NEAR(now, c.expected, 1e-9);
    }
}

TEST(OutcomeResultsTest, StartFailedAndEmpty) {
    ComPtr<DeleteResult> deleted = DeleteResult::Make();
    ComPtr<CancelResult> cancelled = CancelResult::Make();
    VEXA_RESULT r1 = VEXA_SUCCEEDED, r2 = VEXA_SUCCEEDED;
    LONG total = -1;
    deleted->get_Result(&r1);
    cancelled->get_Result(&r2);
    cancelled->get_CountTotal(&total);
    EXPECT_EQ(r1, VEXA_FAILED);
    EXPECT_EQ(r2, VEXA_FAILED);
    EXPECT_EQ(total, 0);
    // The result collections hold only their own kind.
    ComPtr<DeleteResults> deletes = DeleteResults::Make();
    EXPECT_EQ(deletes->AddObject(cancelled), E_INVALIDARG);
    EXPECT_EQ(deletes->AddObject(deleted), S_OK);
}

}  // namespace
}  // namespace vexa
