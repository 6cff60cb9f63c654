// Sending: the request document Send writes and how the reply becomes SendResults.
#include "automation/date.h"
#include "contract/contents.h"
#include "failing_allocation.h"
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
using test::Take;
using test::Xml;

class SendTest : public test::MessageExchangeTest {
protected:
    ComPtr<IDispatch> NewReceivers() {
        ComPtr<IDispatch> list;
        EXPECT_EQ(message_->CreateReceivers(list.Out()), S_OK);
        return list;
    }
    void AddReceiver(IDispatch* list, const std::u16string& phone, const std::u16string& text,
                     VEXA_SENDMODE mode = VEXA_DIRECT, DATE when = 0.0, const std::u16string& name = u"") {
        Bstr p(phone), t(text), n(name);
        ComPtr<IReceivers> receivers = Query<IReceivers>(list, IID_IReceivers);
        ASSERT_EQ(receivers->AddDirect(p.Get(), t.Get(), mode, when), S_OK);
        if (!name.empty()) {
            ItemOf<IReceiver2>(receivers, CountOf(receivers) - 1, IID_IReceiver2)->put_Name(n.Get());
        }
    }
    ComPtr<IContents> NewContents(VEXA_MESSAGE_TYPE type, const std::u16string& text,
                                  const std::u16string& subject) {
        ComPtr<IDispatch> disp;
        EXPECT_EQ(message_->CreateContents(disp.Out()), S_OK);
        ComPtr<IContents> contents = Query<IContents>(disp, IID_IContents);
        Bstr t(text), s(subject);
        contents->put_Type(type);
        contents->put_Message(t.Get());
        contents->put_Subject(s.Get());
        return contents;
    }
    static std::string Accepted(const std::vector<std::string>& phones,
                                const std::string& result = "succeed") {
        std::string xml = "<messages><receivers>";
        int index = 1;
        for (const std::string& p : phones)
            xml += "<receiver><result>" + result + "</result><phone>" + p + "</phone><index>" +
                   std::to_string(index++) + "</index><date>202403</date><sendtime>x</sendtime></receiver>";
        return test::HttpReply(200, Xml(xml + "</receivers>" + InfoXml() + "</messages>"));
    }
};

TEST_F(SendTest, DirectSmsDocumentAndResults) {
    ComPtr<IDispatch> list = NewReceivers();
    AddReceiver(list.Get(), u"010-1111-2222", u"공통");
    AddReceiver(list.Get(), u"", u"own text", VEXA_DIRECT, 0.0, u"이름");
    AddReceiver(list.Get(), u"010-3333-4444", u"");
    ComPtr<IContents> contents = NewContents(VEXA_MESSAGE_TYPE_SMS, u"공통", u"not sent for SMS");
    server_.Reply(Accepted({"010-1111-2222", "", "010-3333-4444"}));

    Bstr from(u"02-000-0000");
    ComPtr<IDispatch> resultsDisp;
    ASSERT_EQ(message_->Send(from.Get(), list.Get(), contents.Get(), resultsDisp.Out()), S_OK);
    const test::RecordedRequest request = OnlyRequest(server_);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/messages/abc");
    EXPECT_EQ(request.body,
              "<?xml version=\"1.0\"?>\n"
              "<messages>\n"
              "  <sender>02-000-0000</sender>\n"
              "  <message>&#xACF5;&#xD1B5;</message>\n"
              "  <type>sms</type>\n"
              "  <reservation>N</reservation>\n"
              "  <sendtime>systemtime</sendtime>\n"
              "  <free>N</free>\n"
              "  <count>3</count>\n"
              "  <receivers>\n"
              "    <receiver>\n"
              "      <phone>010-1111-2222</phone>\n"
              "      <sendtime>systemtime</sendtime>\n"
              "    </receiver>\n"
              "    <receiver>\n"
              "      <phone></phone>\n"
              "      <name>&#xC774;&#xB984;</name>\n"
              "      <message>own text</message>\n"
              "      <sendtime>systemtime</sendtime>\n"
              "    </receiver>\n"
              "    <receiver>\n"
              "      <phone>010-3333-4444</phone>\n"
              "      <message></message>\n"
              "      <sendtime>systemtime</sendtime>\n"
              "    </receiver>\n"
              "  </receivers>\n"
              "</messages>\n");

    ComPtr<ISendResults> results = Query<ISendResults>(resultsDisp, IID_ISendResults);
    ASSERT_EQ(CountOf(results), 3);
    ComPtr<ISendResult> r = ItemOf<ISendResult>(results, 1, IID_ISendResult);
    EXPECT_EQ(Get(r, &ISendResult::get_Result), VEXA_SUCCEEDED);
    EXPECT_EQ(Get(r, &ISendResult::get_Index), u"2");
    EXPECT_EQ(Get(r, &ISendResult::get_Date), u"202403");
    EXPECT_EQ(Get(Query<ISendResult2>(r, IID_ISendResult2), &ISendResult2::get_Type), VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(Get(results, &ISendResults::get_Index), u"1");  // the first result's
}

TEST_F(SendTest, ReservationsCarryTheirLocalTime) {
    test::ScopedTimeZone zone("Asia/Seoul");
    DATE when = 0;
    ASSERT_TRUE(PartsToDate({2030, 1, 2, 3, 4, 5}, when));
    ComPtr<IDispatch> list = NewReceivers();
    AddReceiver(list.Get(), u"010-1", u"later", VEXA_RESERVATION, when);
    AddReceiver(list.Get(), u"010-2", u"now");
    AddReceiver(list.Get(), u"010-3", u"never", VEXA_RESERVATION, -700000.0);  // not a time at all
    server_.Reply(Accepted({"010-1", "010-2", "010-3"}));
    ASSERT_EQ(message_->Send(nullptr, list.Get(), nullptr, nullptr), S_OK);
    const std::string body = OnlyRequest(server_).body;
    EXPECT_NE(body.find("<reservation>Y</reservation>"), std::string::npos);
    EXPECT_EQ(body.find("<sender>"), std::string::npos);        // an empty return phone is left out
    EXPECT_EQ(body.find("\n  <sendtime>"), std::string::npos);  // no batch-wide send time
    EXPECT_NE(body.find("<sendtime>2030-01-02 03:04:05</sendtime>"), std::string::npos);
    EXPECT_NE(
        body.find(
            "<phone>010-2</phone>\n      <message>now</message>\n      <sendtime>systemtime</sendtime>"),
        std::string::npos);
    EXPECT_NE(body.find("<sendtime></sendtime>"), std::string::npos);
}

TEST_F(SendTest, TypesDecideSubjectAndResultType) {
    struct Case {
        VEXA_MESSAGE_TYPE type;
        const char* word;
        bool subject;
        VEXA_MESSAGE_TYPE resultType;
    };
    const Case cases[] = {
        {VEXA_MESSAGE_TYPE_SMS, "sms", false, VEXA_MESSAGE_TYPE_SMS},
        {VEXA_MESSAGE_TYPE_LMS, "lms", true, VEXA_MESSAGE_TYPE_LMS},
        {VEXA_MESSAGE_TYPE_MMS, "mms", true, VEXA_MESSAGE_TYPE_MMS},
        {VEXA_MESSAGE_TYPE_ALL, "sms", false, VEXA_MESSAGE_TYPE_ALL},
        {static_cast<VEXA_MESSAGE_TYPE>(9), "sms", false, static_cast<VEXA_MESSAGE_TYPE>(9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        ComPtr<IDispatch> list = NewReceivers();
        AddReceiver(list.Get(), u"010-1", u"hi");
        ComPtr<IContents> contents = NewContents(c.type, u"", u"제목");
        server_.Reply(Accepted({"010-1"}));
        ComPtr<IDispatch> one;
        ComPtr<IDispatch> receiver;
        Query<IReceivers>(list, IID_IReceivers)->get_Item(0, receiver.Out());
        ASSERT_EQ(message_->SendOne(nullptr, receiver.Get(), contents.Get(), one.Out()), S_OK);
        const std::string body = server_.Requests().back().body;
        EXPECT_NE(body.find(std::string("<type>") + c.word + "</type>"), std::string::npos);
        EXPECT_EQ(body.find("<subject>&#xC81C;&#xBAA9;</subject>") != std::string::npos, c.subject);
        EXPECT_EQ(body.find("<message>"), body.find("<message>hi</message>"));  // no common text
        VEXA_MESSAGE_TYPE type{};
        Query<ISendResult2>(one, IID_ISendResult2)->get_Type(&type);
        EXPECT_EQ(type, c.resultType);
    }
}

TEST_F(SendTest, MultimediaSizeLimitAndImages) {
    ComPtr<IDispatch> list = NewReceivers();
    AddReceiver(list.Get(), u"010-1", u"");
    ComPtr<IContents> contents = NewContents(VEXA_MESSAGE_TYPE_MMS, u"사진", u"");
    ComPtr<IContentsImages> images = Query<IContentsImages>(contents, IID_IContentsImages);
    static_cast<Contents*>(images.Get())->AppendImage({"data:image/jpeg;base64,QUJD\r\n", 2999999});
    static_cast<Contents*>(images.Get())->AppendImage({"data:image/jpeg;base64,REVG\r\n", 1});
    server_.Reply(Accepted({"010-1"}));
    ASSERT_EQ(message_->Send(nullptr, list.Get(), contents.Get(), nullptr), S_OK);
    const std::string body = OnlyRequest(server_).body;
    const size_t first = body.find("<images>\n    <image>\n      <content>data:image/jpeg;base64,QUJD");
    EXPECT_NE(first, std::string::npos) << body;
    EXPECT_LT(first, body.find("REVG"));

    static_cast<Contents*>(images.Get())->AppendImage({"data:image/jpeg;base64,R0hJ\r\n", 1});
    EXPECT_EQ(message_->Send(nullptr, list.Get(), contents.Get(), nullptr), VEXA_E_FILEISTOOLARGE);
    EXPECT_EQ(server_.Requests().size(), 1u);  // refused before any request
}

TEST_F(SendTest, RepliesMapToResults) {
    ComPtr<IDispatch> list = NewReceivers();
    AddReceiver(list.Get(), u"010-1", u"a");
    AddReceiver(list.Get(), u"010-2", u"b");

    // A result that differs only in case is a failure.
    server_.Reply(Accepted({"010-1"}, "Succeed"));
    ComPtr<IDispatch> results;
    ASSERT_EQ(message_->Send(nullptr, list.Get(), nullptr, results.Out()), S_OK);
    EXPECT_EQ(Get(ItemOf<ISendResult>(Query<ISendResults>(results, IID_ISendResults), 0, IID_ISendResult),
                  &ISendResult::get_Result),
              VEXA_FAILED);

    // Without a receivers element the request's receivers come back failed.
    server_.Reply(test::HttpReply(200, Xml("<messages>" + InfoXml() + "</messages>")));
    ASSERT_EQ(message_->Send(nullptr, list.Get(), nullptr, results.Out()), S_OK);
    ComPtr<ISendResults> all = Query<ISendResults>(results, IID_ISendResults);
    ASSERT_EQ(CountOf(all), 2);
    ComPtr<ISendResult> second = ItemOf<ISendResult>(all, 1, IID_ISendResult);
    EXPECT_EQ(Get(second, &ISendResult::get_Phone), u"010-2");
    EXPECT_EQ(Get(second, &ISendResult::get_Index), u"");

    server_.Reply(test::HttpReply(540, ""));
    EXPECT_EQ(message_->Send(nullptr, list.Get(), nullptr, results.Out()), VEXA_E_NEEDFORCALL);
    EXPECT_FALSE(results);
}

TEST_F(SendTest, RefusalsBeforeAnyRequest) {
    ComPtr<IDispatch> empty = NewReceivers();
    ComPtr<IDispatch> logList;
    message_->CreateLogList(logList.Out());
    IDispatch* out = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(message_->Send(nullptr, nullptr, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(message_->Send(nullptr, empty.Get(), nullptr, nullptr), VEXA_E_RECEIVERNOTFOUND);
    EXPECT_EQ(message_->SendOne(nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(message_->SendOne(nullptr, logList.Get(), nullptr, &out), VEXA_E_RECEIVERNOTFOUND);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(SendTest, SendOneWithoutResultStillSends) {
    ComPtr<IDispatch> receiver;
    Bstr phone(u"010-9");
    ASSERT_EQ(message_->CreateReceiverDirect(phone.Get(), phone.Get(), VEXA_DIRECT, 0.0, receiver.Out()),
              S_OK);
    server_.Reply(test::HttpReply(401, ""));
    EXPECT_EQ(message_->SendOne(nullptr, receiver.Get(), nullptr, nullptr), VEXA_E_LOGINFAIL);
    EXPECT_EQ(server_.Requests().size(), 1u);

    SetArrayBase(1);  // the single result is found whatever the base
    server_.Reply(Accepted({"010-9"}));
    ComPtr<IDispatch> result;
    ASSERT_EQ(message_->SendOne(nullptr, receiver.Get(), nullptr, result.Out()), S_OK);
    BSTR text = nullptr;
    Query<ISendResult>(result, IID_ISendResult)->get_Phone(&text);
    EXPECT_EQ(Take(text), u"010-9");
}

TEST_F(SendTest, TextThatCp949CannotHoldBecomesAQuestionMark) {
    ComPtr<IDispatch> list = NewReceivers();
    AddReceiver(list.Get(), u"010-1", u"웃음 😀 끝");
    server_.Reply(Accepted({"010-1"}));
    ASSERT_EQ(message_->Send(nullptr, list.Get(), nullptr, nullptr), S_OK);
    EXPECT_NE(OnlyRequest(server_).body.find("<message>&#xC6C3;&#xC74C; ? &#xB05D;</message>"),
              std::string::npos);
}

// Memory running out anywhere in Send: every run with a failing allocation answers an error and
// leaves no object behind; the run that meets none sends and hands out its results.
TEST_F(SendTest, EveryFailingAllocationFailsTheSendAndLeavesNothingBehind) {
    ComPtr<IDispatch> list = NewReceivers();
    AddReceiver(list.Get(), u"010-1111-2222", u"");
    AddReceiver(list.Get(), u"010-3333-4444", u"", VEXA_RESERVATION, 45000.5, u"이름");
    ComPtr<IContents> contents = NewContents(VEXA_MESSAGE_TYPE_LMS, u"긴 메시지", u"제목");
    const std::string reply = Accepted({"010-1111-2222", "010-3333-4444"});
    server_.SetHandler([&](const test::RecordedRequest&) { return test::ScriptedReply{reply}; });

    Bstr from(u"02-000-0000");
    ComPtr<IDispatch> results;
    // The first reply makes the object's login information, which then stays.
    ASSERT_EQ(message_->Send(from.Get(), list.Get(), contents.Get(), nullptr), S_OK);
    const long liveObjects = ModuleLockCount();
    size_t failures = 0;
    const HRESULT last = test::SweepAllocationFailures(
        [&] {
            results.Reset();
            return message_->Send(from.Get(), list.Get(), contents.Get(), results.Out());
        },
        [&](size_t n, HRESULT hr) {
            ++failures;
            EXPECT_TRUE(FAILED(hr)) << "allocation " << n;
            EXPECT_FALSE(results) << "allocation " << n;
            EXPECT_EQ(ModuleLockCount(), liveObjects) << "allocation " << n;
        });
    EXPECT_EQ(last, S_OK);
    EXPECT_GT(failures, 0u);
    EXPECT_EQ(CountOf(Query<ISendResults>(results, IID_ISendResults)), 2);
}

}  // namespace
}  // namespace vexa
