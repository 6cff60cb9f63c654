// Log queries, deleting and cancelling: paths, checks, documents and the mapping of replies.
#include "automation/date.h"
#include "message/log_mapping.h"
#include "message_fixture.h"
#include "scoped_time_zone.h"

namespace vexa {
namespace {

using test::CountOf;
using test::Get;
using test::InfoXml;
using test::ItemOf;
using test::OnlyRequest;
using test::Query;
using test::Xml;

std::string TransfersReply(const std::string& inner) {
    return test::HttpReply(200, Xml("<transfers>" + inner + InfoXml() + "</transfers>"));
}

std::string LogXml(const std::string& index, const std::string& extra = "") {
    return "<log><index>" + index + "</index><date>202403</date>" + extra + "</log>";
}

class LogsTest : public test::MessageExchangeTest {
protected:
    ComPtr<IDispatch> Entry(LONG year, LONG month, const std::u16string& index, VEXA_MESSAGE_TYPE type) {
        ComPtr<IDispatch> list;
        Bstr i(index);
        EXPECT_EQ(message_->CreateLogListDirect(year, month, i.Get(), type, list.Out()), S_OK);
        return list;
    }
    ComPtr<IDispatch> Collection(std::vector<ComPtr<IDispatch>> entries) {
        ComPtr<IDispatch> lists;
        message_->CreateLogLists(lists.Out());
        for (auto& e : entries) Query<ILogLists>(lists, IID_ILogLists)->Add(e.Get());
        return lists;
    }
};

TEST_F(LogsTest, RequestPathsFollowTypeRangeAndReservation) {
    struct Case {
        LONG year, month, start, end;
        VEXA_LOGBY by;
        LONG type;
        const char* path;
    };
    const Case cases[] = {
        {2024, 3, 0, 0, VEXA_BYRESERVATION, 0, "/transfers/abc/all/202403/reservation"},
        {2024, 3, 0, 0, VEXA_BYALL, 1, "/transfers/abc/sms/202403"},
        {2024, 3, 5, 0, VEXA_BYALL, 2, "/transfers/abc/lms/2024030500"},
        {2024, 2, 1, 29, VEXA_BYALL, 3, "/transfers/abc/mms/2024020129"},
        {2000, 2, 29, 29, VEXA_BYALL, 9, "/transfers/abc/all/2000022929"},
        {2024, 3, 20, 10, VEXA_BYALL, 1,
         "/transfers/abc/sms/2024032010"},  // a backwards range is the service's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        server_.Reply(TransfersReply("<logs/>"));
        ComPtr<IDispatch> lists;
        ASSERT_EQ(message_->RequestLogBound(c.year, c.month, c.start, c.end, c.by,
                                            static_cast<VEXA_MESSAGE_TYPE>(c.type), lists.Out()),
                  S_OK);
        EXPECT_EQ(server_.Requests().back().method, "GET");
        EXPECT_EQ(server_.Requests().back().target, c.path);
        EXPECT_EQ(CountOf(Query<ILogLists>(lists, IID_ILogLists)), 0);
    }
}

TEST_F(LogsTest, RangeChecksComeBeforeAnyRequest) {
    struct Case {
        LONG year, month, start, end;
        LONG by;
    };
    const Case refused[] = {
        {0, 3, 0, 0, 0},     {10000, 3, 0, 0, 0}, {2024, 0, 0, 0, 0},   {2024, 13, 0, 0, 0},
        {2024, 3, -1, 0, 0}, {2024, 3, 0, 32, 0}, {2024, 2, 30, 31, 0}, {2023, 2, 29, 29, 0},
        {4000, 2, 29, 1, 0}, {2024, 4, 1, 31, 0}, {2024, 3, 0, 0, 2},
    };
    for (const Case& c : refused) {
        IDispatch* out = reinterpret_cast<IDispatch*>(0x1);
        EXPECT_EQ(message_->RequestLogBound(c.year, c.month, c.start, c.end, static_cast<VEXA_LOGBY>(c.by),
                                            VEXA_MESSAGE_TYPE_ALL, &out),
                  E_INVALIDARG)
            << c.year << "/" << c.month << " " << c.start << "-" << c.end << " by " << c.by;
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(message_->RequestLog(2024, 3, VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL, nullptr), E_POINTER);
    IDispatch* details = nullptr;
    Bstr index(u"1");
    EXPECT_EQ(message_->RequestLogDetail(2024, 13, index.Get(), VEXA_MESSAGE_TYPE_SMS, &details),
              E_INVALIDARG);
    EXPECT_EQ(message_->RequestLogDetailByLists(nullptr, &details), VEXA_E_DEPRECATED);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST(LogMappingTest, RealDaysFollowTheServicesCalendar) {
    EXPECT_TRUE(IsRealDay(2024, 2, 29));
    EXPECT_TRUE(IsRealDay(2000, 2, 29));
    EXPECT_FALSE(IsRealDay(2023, 2, 29));
    EXPECT_FALSE(IsRealDay(1900, 2, 29));
    EXPECT_FALSE(IsRealDay(4000, 2, 29));
    EXPECT_FALSE(IsRealDay(8000, 2, 29));
    EXPECT_FALSE(IsRealDay(2024, 4, 31));
    EXPECT_TRUE(IsRealDay(2024, 12, 31));
}

TEST_F(LogsTest, LogRecordsBecomeLogLists) {
    test::ScopedTimeZone zone("Asia/Seoul");
    server_.Reply(TransfersReply(
        "<logs>" +
        LogXml("7",
               "<type>LMS</type><isReservation>Y</isReservation><phoneSend>010-1</phoneSend>"
               "<phoneBack>02-2</phoneBack><countTotal>3</countTotal><countSuccess>2</countSuccess>"
               "<countFailure>1</countFailure><message>본문</message><timeSend>0</timeSend>"
               "<timeWrite>1709615229</timeWrite><canCancel>Y</canCancel>") +
        LogXml("8", "<type>xms</type><isReservation>y</isReservation>") + "<other/></logs>"));
    ComPtr<IDispatch> listsDisp;
    ASSERT_EQ(message_->RequestLog(2024, 3, VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL, listsDisp.Out()), S_OK);
    ComPtr<ILogLists> lists = Query<ILogLists>(listsDisp, IID_ILogLists);
    ASSERT_EQ(CountOf(lists), 2);
    EXPECT_EQ(lists->AddDirect(2024, 3, nullptr), VEXA_E_DEPRECATED);  // a REST list

    ComPtr<ILogList> a = ItemOf<ILogList>(lists, 0, IID_ILogList);
    EXPECT_EQ(Get(a, &ILogList::get_Index), u"7");
    EXPECT_EQ(Get(a, &ILogList::get_Date), u"202403");
    EXPECT_EQ(Get(a, &ILogList::get_Message), u"본문");
    EXPECT_EQ(Get(a, &ILogList::get_ReceiverPhone), u"010-1");
    EXPECT_EQ(Get(a, &ILogList::get_ReturnPhone), u"02-2");
    EXPECT_EQ(Get(a, &ILogList::get_SendMode), VEXA_RESERVATION);
    EXPECT_EQ(Get(a, &ILogList::get_CountTotal), 3);
    EXPECT_EQ(Get(a, &ILogList::get_CountSucceed), 2);
    EXPECT_EQ(Get(a, &ILogList::get_CountFailure), 1);
    DATE epoch = 0;
    ASSERT_TRUE(PartsToDate({1970, 1, 1, 9, 0, 0}, epoch));  // 1970-01-01 00:00 UTC in Seoul
    EXPECT_NEAR(Get(a, &ILogList::get_SendTime), epoch, 1e-9);
    DATE written = 0;
    ASSERT_TRUE(PartsToDate({2024, 3, 5, 14, 7, 9}, written));
    EXPECT_NEAR(Get(Query<ILogList2>(a, IID_ILogList2), &ILogList2::get_WriteTime), written, 1e-9);
    EXPECT_EQ(Get(Query<ILogList3>(a, IID_ILogList3), &ILogList3::get_Type), VEXA_MESSAGE_TYPE_LMS);

    ComPtr<ILogList> b = ItemOf<ILogList>(lists, 1, IID_ILogList);
    EXPECT_EQ(Get(b, &ILogList::get_SendMode), VEXA_DIRECT);  // only "Y" reserves
    // An unknown word is SMS in a LogList.
    EXPECT_EQ(Get(Query<ILogList3>(b, IID_ILogList3), &ILogList3::get_Type), VEXA_MESSAGE_TYPE_SMS);
}

TEST_F(LogsTest, DetailReplyBecomesLogDetails) {
    server_.Reply(TransfersReply(
        "<index>17</index><date>202403</date><type>mms</type><phoneBack>02-2</phoneBack>"
        "<subject>제목</subject><images><image><url>http://127.0.0.1/a.jpg</url></image><image><url></url></"
        "image>"
        "<image><url>http://127.0.0.1/b.jpg</url></image></images><details>"
        "<detail><name>홍길동</name><message>m</message><phoneSend>010-1</phoneSend><status>3</status>"
        "<result>0</result><resultDetail></resultDetail><tranDate>2024-03-05 14:07:09</tranDate></detail>"
        "<detail><status>2</status><result>0</result><resultDetail>7</resultDetail><tranDate>2024-03-05</"
        "tranDate>"
        "</detail><detail><status>9</status><result>2</result></detail></details>"));
    Bstr index(u"17");
    ComPtr<IDispatch> detailsDisp;
    ASSERT_EQ(message_->RequestLogDetail(2024, 3, index.Get(), VEXA_MESSAGE_TYPE_MMS, detailsDisp.Out()),
              S_OK);
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/detail/mms/202403/17");

    ComPtr<ILogDetails> details = Query<ILogDetails>(detailsDisp, IID_ILogDetails);
    EXPECT_EQ(Get(details, &ILogDetails::get_ReturnPhone), u"02-2");
    // Through the private interface only: the type library has no subject for a transfer.
    EXPECT_EQ(
        Get(Query<ILogDetailsSubject>(detailsDisp, IID_ILogDetailsSubject), &ILogDetailsSubject::get_Subject),
        u"제목");
    Variant urls;
    ASSERT_EQ(Query<ILogDetails3>(detailsDisp, IID_ILogDetails3)->get_ImageURLs(&urls), S_OK);
    LONG upper = -1;
    SafeArrayGetUBound(urls.parray, 1, &upper);
    EXPECT_EQ(upper, 1);  // the empty url is left out

    struct Expected {
        VEXA_TRANS_STATUS status;
        LONG result;
        bool hasDate;
    };
    const Expected expected[] = {{VEXA_TRANS_RECEIVED, VEXA_TRANS_SUCCEEDED, true},
                                 {VEXA_TRANS_WAITING, 7, false},
                                 {VEXA_TRANS_REQUESTED, VEXA_TRANS_NOTEXISTNUMBER, false}};
    ASSERT_EQ(CountOf(details), 3);
    for (LONG i = 0; i < 3; ++i) {
        ComPtr<ILogDetail> d = ItemOf<ILogDetail>(details, i, IID_ILogDetail);
        EXPECT_EQ(Get(d, &ILogDetail::get_Status), expected[i].status) << i;
        EXPECT_EQ(Get(d, &ILogDetail::get_Result), expected[i].result) << i;
        DATE moment = 0;
        PartsToDate({2024, 3, 5, 14, 7, 9}, moment);
        EXPECT_EQ(Get(d, &ILogDetail::get_TransDate), expected[i].hasDate ? moment : 0.0) << i;
    }
    EXPECT_EQ(Get(ItemOf<ILogDetail2>(details, 0, IID_ILogDetail2), &ILogDetail2::get_Name), u"홍길동");
}

TEST_F(LogsTest, DetailTakesItsIdentityFromTheEntry) {
    // Year and month are read from the ends of the entry's date key, whatever lies between.
    ComPtr<LogList> entry = LogList::Make();
    entry->Fill().date = Bstr(u"2024/03");
    entry->Fill().index = Bstr(u"5");
    server_.Reply(TransfersReply("<index>5</index><type>xms</type><details/>"));
    ComPtr<IDispatch> detailsDisp;
    ASSERT_EQ(
        message_->RequestLogDetailByList(Query<IDispatch>(entry, IID_IDispatch).Get(), detailsDisp.Out()),
        S_OK);
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/detail/sms/202403/5");
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
    Query<ILogDetails2>(detailsDisp, IID_ILogDetails2)->get_Type(&type);
    EXPECT_EQ(type, 0);  // an unknown word is 0 in LogDetails

    ComPtr<IDispatch> receiver;
    message_->CreateReceiver(receiver.Out());
    IDispatch* out = nullptr;
    EXPECT_EQ(message_->RequestLogDetailByList(receiver.Get(), &out), E_POINTER);
    EXPECT_EQ(message_->RequestLogDetailByList(nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(LogsTest, DeleteSendsOneDocumentForTheCollection) {
    ComPtr<IDispatch> lists =
        Collection({Entry(2024, 3, u"1", VEXA_MESSAGE_TYPE_SMS), Entry(2024, 4, u"2", VEXA_MESSAGE_TYPE_LMS),
                    Entry(2024, 5, u"3", VEXA_MESSAGE_TYPE_ALL)});
    server_.Reply(TransfersReply("<logs>" + LogXml("1", "<result>succeed</result>") +
                                 LogXml("2", "<result>Succeed</result>") + "</logs>"));
    ComPtr<IDispatch> resultsDisp;
    ASSERT_EQ(message_->DeleteLogByLists(lists.Get(), resultsDisp.Out()), S_OK);
    const test::RecordedRequest request = OnlyRequest(server_);
    EXPECT_EQ(request.method, "DELETE");
    EXPECT_EQ(request.target, "/transfers/abc");
    EXPECT_EQ(request.body,
              "<?xml version=\"1.0\"?>\n<logs>\n"
              "  <log>\n    <index>1</index>\n    <date>202403</date>\n    <type>sms</type>\n  </log>\n"
              "  <log>\n    <index>2</index>\n    <date>202404</date>\n    <type>lms</type>\n  </log>\n"
              "  <log>\n    <index>3</index>\n    <date>202405</date>\n    <type>all</type>\n  </log>\n"
              "</logs>\n");
    ComPtr<IDeleteResults> results = Query<IDeleteResults>(resultsDisp, IID_IDeleteResults);
    ASSERT_EQ(CountOf(results), 2);  // the results follow the reply
    EXPECT_EQ(Get(ItemOf<IDeleteResult>(results, 0, IID_IDeleteResult), &IDeleteResult::get_Result),
              VEXA_SUCCEEDED);
    EXPECT_EQ(Get(ItemOf<IDeleteResult>(results, 1, IID_IDeleteResult), &IDeleteResult::get_Result),
              VEXA_FAILED);
}

TEST_F(LogsTest, CollectionRefusals) {
    ComPtr<IDispatch> receiver;
    message_->CreateReceiver(receiver.Out());
    ComPtr<IDispatch> empty;
    message_->CreateLogLists(empty.Out());
    IDispatch* out = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(message_->DeleteLogByLists(nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(message_->CancelReservationByLists(empty.Get(), &out), VEXA_E_LOGLISTNOTFOUND);
    EXPECT_EQ(message_->DeleteLogByList(nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(message_->DeleteLog(2024, 0, nullptr, VEXA_MESSAGE_TYPE_SMS, &out), E_INVALIDARG);
    EXPECT_EQ(message_->CancelReservationByList(receiver.Get(), &out),
              VEXA_E_LOGLISTNOTFOUND);  // Add refused it
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(LogsTest, SingleFormsReportTheFirstResult) {
    SetArrayBase(1);
    server_.Reply(TransfersReply("<logs>" +
                                 LogXml("9",
                                        "<countTotal>3</countTotal><countSuccess>3</countSuccess>"
                                        "<countFailure>0</countFailure><result>succeed</result>") +
                                 "</logs>"));
    Bstr index(u"9");
    ComPtr<IDispatch> result;
    ASSERT_EQ(message_->CancelReservation(2024, 3, index.Get(), VEXA_MESSAGE_TYPE_SMS, result.Out()), S_OK);
    EXPECT_EQ(OnlyRequest(server_).method, "PUT");
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/cancel");
    ComPtr<ICancelResult> cancel = Query<ICancelResult>(result, IID_ICancelResult);
    EXPECT_EQ(Get(cancel, &ICancelResult::get_CountTotal), 3);
    EXPECT_EQ(Get(cancel, &ICancelResult::get_CountSucceed), 3);
    EXPECT_EQ(Get(cancel, &ICancelResult::get_CountFailure), 0);
    EXPECT_EQ(Get(cancel, &ICancelResult::get_Result), VEXA_SUCCEEDED);

    // An empty reply list is a success without a result; no out-pointer still deletes.
    server_.Reply(TransfersReply("<logs/>"));
    IDispatch* none = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(message_->DeleteLogByList(Entry(2024, 3, u"1", VEXA_MESSAGE_TYPE_SMS).Get(), &none), S_OK);
    EXPECT_EQ(none, nullptr);
    server_.Reply(TransfersReply("<logs/>"));
    EXPECT_EQ(message_->DeleteLog(2024, 3, index.Get(), VEXA_MESSAGE_TYPE_SMS, nullptr), S_OK);
    EXPECT_EQ(server_.Requests().size(), 3u);
    EXPECT_EQ(server_.Requests().back().method, "DELETE");
}

}  // namespace
}  // namespace vexa
