// The commands against the real module, pointed at a scripted server: what each sends, and how
// the component's objects come out in the report.
#include "commands.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

#include "picture_fixtures.h"
#include "report_json.h"
#include "rest_exchange.h"
#include "sandbox/base64.h"
#include "scoped_time_zone.h"
#include "scratch_directory.h"
#include "scripted_server.h"

namespace vexa_cli {
namespace {

using vexa::test::HttpReply;
using vexa::test::InfoXml;
using vexa::test::OnlyRequest;
using vexa::test::Xml;

// The account as every reply describes it.
std::string Info() { return InfoXml("홍길동", "02-000-0000", 42, {"02-000-0000", "010-1111-2222"}); }

class Commands : public testing::Test {
protected:
    void SetUp() override {
        session_.SetEndpoint(server_.Url(), "");
        session_.SetAccount("abc", "pw");
    }

    // Local times of the component and of the report are the zone's.
    vexa::test::ScopedTimeZone zone_{"Asia/Seoul"};
    vexa::test::ScriptedServer server_;
    Session session_{VEXA_MODULE_PATH};
};

TEST_F(Commands, StatusShowsTheRefreshedAccount) {
    server_.Reply(HttpReply(200, Xml("<users><status/>" + Info() + "</users>")));
    const CommandResult result = RunStatus(session_, {});
    EXPECT_EQ(OnlyRequest(server_).target, "/users/abc/status");
    ASSERT_EQ(result.report.fields.size(), 6u);
    const Value serverTime = result.report.fields[5].value;
    ASSERT_TRUE(std::holds_alternative<std::string>(serverTime));
    EXPECT_EQ(std::get<std::string>(serverTime).size(), 19u) << "YYYY-MM-DD HH:MM:SS";
    const std::string expected =
        "User ID        abc\n"
        "Name           홍길동\n"
        "Return phone   02-000-0000\n"
        "Return phones  02-000-0000\n"
        "               010-1111-2222\n"
        "Credit         42\n"
        "Server time    ";
    EXPECT_EQ(RenderText(result.report).substr(0, expected.size()), expected);
}

TEST_F(Commands, SendReservesForTheLocalTimeGivenAndReportsEachReceiver) {
    server_.Reply(HttpReply(
        200, Xml("<messages><receivers>"
                 "<receiver><result>succeed</result><phone>010-1234-5678</phone><index>17</"
                 "index><date>203001</date>"
                 "</receiver><receiver><result>failed</result><phone>02-000-0000</phone><index>17</index>"
                 "<date>203001</date></receiver></receivers>" +
                 Info() + "</messages>")));
    SendRequest request;
    request.receivers = {{"홍길동", "010-1234-5678"}, {"", "02-000-0000"}};
    request.text = "내일 회의는 10시에 시작합니다.";
    request.subject = "공지";
    request.type = VEXA_MESSAGE_TYPE_LMS;
    request.returnPhone = "02-111-2222";
    request.reservation = vexa::DateParts{2030, 1, 2, 9, 30, 0};
    const CommandResult result = RunSend(session_, request);

    const auto sent = OnlyRequest(server_);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.target, "/messages/abc");
    for (const char* part :
         {"<sender>02-111-2222</sender>", "<type>lms</type>", "<reservation>Y</reservation>",
          "<count>2</count>", "<phone>010-1234-5678</phone>", "<phone>02-000-0000</phone>",
          "<sendtime>2030-01-02 09:30:00</sendtime>"})
        EXPECT_NE(sent.body.find(part), std::string::npos) << part << " in " << sent.body;
    // Korean text travels as character references: the name and the subject are there.
    EXPECT_NE(sent.body.find("<name>&#xD64D;&#xAE38;&#xB3D9;</name>"), std::string::npos) << sent.body;
    EXPECT_NE(sent.body.find("<subject>&#xACF5;&#xC9C0;</subject>"), std::string::npos) << sent.body;
    EXPECT_EQ(sent.body.find("<sendtime>systemtime</sendtime>"), std::string::npos) << sent.body;

    EXPECT_FALSE(result.complete) << "one receiver failed";
    EXPECT_EQ(RenderText(result.report),
              "Type          lms\n"
              "Reserved for  2030-01-02 09:30:00\n"
              "\n"
              "Phone          Result     Month   Index\n"
              "-------------  ---------  ------  -----\n"
              "010-1234-5678  succeeded  203001  17\n"
              "02-000-0000    failed     203001  17\n"
              "\n"
              "1 accepted, 1 refused, credit 42 left\n");
}

TEST_F(Commands, SendNowIsCompleteWhenEveryReceiverSucceeded) {
    server_.Reply(
        HttpReply(200, Xml("<messages><receivers><receiver><result>succeed</result><phone>0101234</phone>"
                           "<index>1</index><date>202403</date></receiver></receivers></messages>")));
    SendRequest request;
    request.receivers = {{"", "0101234"}};
    request.text = "hello";
    const CommandResult result = RunSend(session_, request);
    const auto sent = OnlyRequest(server_);
    EXPECT_NE(sent.body.find("<reservation>N</reservation>"), std::string::npos) << sent.body;
    EXPECT_NE(sent.body.find("<message>hello</message>"), std::string::npos) << sent.body;
    EXPECT_EQ(sent.body.find("<subject>"), std::string::npos) << sent.body;
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(Json(result.report), R"({
  "type": "sms",
  "reservedFor": null,
  "accepted": 1,
  "refused": 0,
  "creditLeft": 0,
  "results": [
    {
      "phone": "0101234",
      "result": "succeeded",
      "date": "202403",
      "index": "1"
    }
  ]
}
)");
}

// The JPEG bytes of each picture in a send request, in order, from their data URIs.
std::vector<std::string> SentPictures(const std::string& body) {
    const std::string open = "<content>", close = "</content>", prefix = "data:image/jpeg;base64,";
    std::vector<std::string> pictures;
    for (size_t at = body.find(open); at != std::string::npos; at = body.find(open, at + 1)) {
        std::string uri = body.substr(at + open.size(), body.find(close, at) - at - open.size());
        EXPECT_TRUE(uri.starts_with(prefix)) << uri.substr(0, 64);
        // The carriage returns that end the Base64 lines travel as character references.
        for (const std::string_view reference : {"&#xD;", "&#13;"})
            for (size_t cr = uri.find(reference); cr != std::string::npos; cr = uri.find(reference, cr))
                uri.erase(cr, reference.size());
        const auto bytes = vexa::sandbox::DecodeBase64(std::string_view(uri).substr(prefix.size()));
        EXPECT_TRUE(bytes) << uri.substr(0, 64);
        pictures.push_back(bytes.value_or(""));
    }
    return pictures;
}

TEST_F(Commands, SendOfAnMmsCarriesEachPictureInOrderAndReportsTheirSize) {
    const vexa::test::ScratchDirectory directory;
    // A name that is not ASCII reaches the file as given; the noisy picture makes the larger JPEG.
    const std::filesystem::path noisy = directory.Path() / "사진.png", plain = directory.Path() / "plain.png";
    vexa::test::WriteFile(noisy, vexa::test::SavedPicture("png", 48, 32, false, [](int x, int y) {
                              const uint32_t h = (x * 73856093u) ^ (y * 19349663u);
                              return vexa::test::Rgba{static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8),
                                                      static_cast<uint8_t>(h >> 16), 255};
                          }));
    vexa::test::WriteFile(plain, vexa::test::SolidPicture("png", 1, 1, {255, 255, 255, 255}));
    server_.Reply(
        HttpReply(200, Xml("<messages><receivers><receiver><result>succeed</result><phone>0101234</phone>"
                           "<index>4</index><date>202403</date></receiver></receivers></messages>")));
    SendRequest request;
    request.receivers = {{"", "0101234"}};
    request.text = "사진 두 장";
    request.subject = "s";
    request.type = VEXA_MESSAGE_TYPE_MMS;
    request.images = {noisy.string(), plain.string()};
    const CommandResult result = RunSend(session_, request);

    const auto sent = OnlyRequest(server_);
    for (const char* part : {"<type>mms</type>", "<subject>s</subject>"})
        EXPECT_NE(sent.body.find(part), std::string::npos) << part;
    const std::vector<std::string> pictures = SentPictures(sent.body);
    ASSERT_EQ(pictures.size(), 2u);
    for (const std::string& jpeg : pictures) EXPECT_TRUE(jpeg.starts_with("\xFF\xD8\xFF"));
    EXPECT_GT(pictures[0].size(), pictures[1].size()) << "the pictures were sent out of order";

    const std::string total = std::to_string(pictures[0].size() + pictures[1].size());
    EXPECT_TRUE(RenderText(result.report)
                    .starts_with("Type          mms\n"
                                 "Reserved for  -\n"
                                 "Images        2\n"
                                 "JPEG bytes    " +
                                 total + "\n"))
        << RenderText(result.report);
    const std::string json = Json(result.report);
    EXPECT_NE(json.find(R"("imageCount": 2,)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("imagesSize": )" + total + ","), std::string::npos) << json;
}

TEST_F(Commands, APictureTheComponentRefusesStopsTheSendAndNamesTheFile) {
    const vexa::test::ScratchDirectory directory;
    const std::filesystem::path good = directory.Path() / "good.png",
                                notAPicture = directory.Path() / "notes.png";
    vexa::test::WriteFile(good, vexa::test::SolidPicture("png", 2, 2, {200, 100, 0, 255}));
    std::ofstream(notAPicture) << "not a picture";
    for (const std::filesystem::path& refused : {directory.Path() / "missing.png", notAPicture}) {
        SendRequest request;
        request.receivers = {{"", "0101234"}};
        request.text = "t";
        request.type = VEXA_MESSAGE_TYPE_MMS;
        request.images = {good.string(), refused.string()};
        try {
            RunSend(session_, request);
            ADD_FAILURE() << refused << " was sent";
        } catch (const ComponentError& e) {
            EXPECT_EQ(e.Code(), VEXA_E_NOTADDED);
            EXPECT_EQ(std::string(e.what()).find("Contents.AddImageFile('" + refused.string() + "'): "), 0u)
                << e.what();
        }
    }
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(Commands, LogsAskForTheDaysAndShowLocalTimes) {
    server_.Reply(HttpReply(
        200, Xml("<transfers><logs><log><index>17</index><date>202403</date><type>mms</type><isReservation>Y"
                 "</isReservation><phoneSend>010-1234-5678</phoneSend><phoneBack>02-000-0000</phoneBack>"
                 "<countTotal>3</countTotal><countSuccess>2</countSuccess><countFailure>1</countFailure>"
                 "<message>사진을 보냅니다\n두 번째 줄</message><timeSend>1709615229</timeSend>"
                 "<timeWrite>1709593200</timeWrite></log></logs>" +
                 Info() + "</transfers>")));
    LogsRequest request;
    request.month = {2024, 3};
    request.days = DayRange{1, 9};
    request.reservedOnly = true;
    request.type = VEXA_MESSAGE_TYPE_MMS;
    const CommandResult result = RunLogs(session_, request);
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/mms/2024030109/reservation");
    EXPECT_EQ(
        RenderText(result.report),
        "Month    2024-03\n"
        "Days     1-9\n"
        "Type     mms\n"
        "Entries  reserved\n"
        "\n"
        "Index  Type  Mode      Send time            Written              State             Total  Delivered"
        "  Pending  Failed  Receiver       Message\n"
        "-----  ----  --------  -------------------  -------------------  ----------------  -----  ---------"
        "  -------  ------  -------------  --------------------------\n"
        "   17  mms   reserved  2024-03-05 14:07:09  2024-03-05 08:00:00  partly delivered      3          2"
        "        0       1  010-1234-5678  사진을 보냅니다 두 번째 줄\n");
    const std::string json = Json(result.report);
    EXPECT_NE(json.find(R"("message": "사진을 보냅니다\n두 번째 줄")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("returnPhone": "02-000-0000")"), std::string::npos) << json;
}

TEST_F(Commands, LogsOfAWholeMonthUseTheShortDateAndMayBeEmpty) {
    server_.Reply(HttpReply(200, Xml("<transfers><logs/></transfers>")));
    LogsRequest request;
    request.month = {2024, 3};
    const CommandResult result = RunLogs(session_, request);
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/all/202403");
    EXPECT_NE(RenderText(result.report).find("\nNo transfers.\n"), std::string::npos);
}

TEST_F(Commands, DetailOfAMultimediaTransferListsItsImages) {
    server_.Reply(HttpReply(
        200,
        Xml("<transfers><index>17</index><date>202403</date><type>mms</type><phoneBack>02-000-0000</"
            "phoneBack><subject>사진</subject>"
            "<images><image><url>https://img.example/1.jpg</url></image><image><url>https://img.example/2.jpg"
            "</url></image></images><details>"
            "<detail><message>m</message><name>홍길동</name><phoneSend>010-1234-5678</phoneSend><status>3"
            "</status><result>0</result><tranDate>2024-03-05 14:07:09</tranDate></detail>"
            "<detail><message>m</message><phoneSend>010-0000-0000</phoneSend><status>2</status><result>9"
            "</result><resultDetail>7</resultDetail><tranDate>2024-03-05</tranDate></detail>"
            "</details></transfers>")));
    const CommandResult result = RunDetail(session_, {{2024, 3}, "17", VEXA_MESSAGE_TYPE_MMS});
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/detail/mms/202403/17");
    EXPECT_EQ(RenderText(result.report),
              "Month         202403\n"
              "Index         17\n"
              "Type          mms\n"
              "Return phone  02-000-0000\n"
              "Subject       사진\n"
              "Images        https://img.example/1.jpg\n"
              "              https://img.example/2.jpg\n"
              "\n"
              "Phone          Name    State      Delivered            Message\n"
              "-------------  ------  ---------  -------------------  -------\n"
              "010-1234-5678  홍길동  delivered  2024-03-05 14:07:09  m\n"
              "010-0000-0000          pending                         m\n");
    const std::string json = Json(result.report);
    // The service's own code passes through the component into the JSON.
    EXPECT_NE(json.find(R"("componentResult": 7)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("deliveredTime": null,)"), std::string::npos) << json;
}

TEST_F(Commands, DetailOfATextTransferHasNoImages) {
    server_.Reply(
        HttpReply(200, Xml("<transfers><index>3</index><date>202403</date><type>sms</type><details/>"
                           "</transfers>")));
    const CommandResult result = RunDetail(session_, {{2024, 3}, "3", VEXA_MESSAGE_TYPE_ALL});
    EXPECT_EQ(OnlyRequest(server_).target, "/transfers/abc/detail/all/202403/3");
    EXPECT_EQ(Json(result.report), R"({
  "date": "202403",
  "index": "3",
  "type": "sms",
  "returnPhone": "",
  "receivers": []
}
)");
}

TEST_F(Commands, CancelSendsEveryIndexInOneRequestAndReportsCounts) {
    server_.Reply(HttpReply(
        200,
        Xml("<transfers><logs><log><index>17</index><date>202403</date><result>succeed</result><countTotal>3"
            "</countTotal><countSuccess>3</countSuccess><countFailure>0</countFailure></log></logs></"
            "transfers>")));
    ManageRequest request;
    request.action = ManageRequest::Action::Cancel;
    request.month = {2024, 3};
    request.indexes = {"17", "18"};
    request.type = VEXA_MESSAGE_TYPE_LMS;
    const CommandResult result = RunManage(session_, request);
    const auto sent = OnlyRequest(server_);
    EXPECT_EQ(sent.method, "PUT");
    EXPECT_EQ(sent.target, "/transfers/abc/cancel");
    const size_t first = sent.body.find("<index>17</index>");
    const size_t second = sent.body.find("<index>18</index>");
    EXPECT_NE(first, std::string::npos) << sent.body;
    EXPECT_NE(second, std::string::npos) << sent.body;
    EXPECT_LT(first, second);
    EXPECT_NE(sent.body.find("<date>202403</date>"), std::string::npos) << sent.body;
    EXPECT_NE(sent.body.find("<type>lms</type>"), std::string::npos) << sent.body;
    // The service answered for one of the two entries only.
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(RenderText(result.report),
              "Month   Index  Result     Total  OK  Failed\n"
              "------  -----  ---------  -----  --  ------\n"
              "202403     17  succeeded      3   3       0\n");
}

TEST_F(Commands, DeleteReportsEachEntry) {
    server_.Reply(
        HttpReply(200, Xml("<transfers><logs><log><index>5</index><date>202403</date><result>succeed"
                           "</result></log><log><index>6</index><date>202403</date><result>Succeed"
                           "</result></log></logs></transfers>")));
    // Why the second failed: the log does not list it, and its details still show it.
    server_.Reply(HttpReply(200, Xml("<transfers><logs/></transfers>")));
    server_.Reply(HttpReply(
        200, Xml("<transfers><index>6</index><date>202403</date><type>sms</type><details/></transfers>")));
    ManageRequest request;
    request.month = {2024, 3};
    request.indexes = {"5", "6"};
    const CommandResult result = RunManage(session_, request);
    ASSERT_EQ(server_.Requests().size(), 3u);
    EXPECT_EQ(server_.Requests()[0].method, "DELETE");
    EXPECT_EQ(server_.Requests()[2].target, "/transfers/abc/detail/all/202403/6");
    EXPECT_FALSE(result.complete) << "the second was not deleted";
    EXPECT_EQ(RenderText(result.report),
              "Month   Index  Result     Reason\n"
              "------  -----  ---------  ---------------\n"
              "202403      5  succeeded\n"
              "202403      6  failed     already deleted\n");
}

TEST_F(Commands, AFailedCallCarriesTheComponentsTextAndCode) {
    server_.Reply(HttpReply(401, ""));
    try {
        RunLogs(session_, LogsRequest{{2024, 3}});
        ADD_FAILURE() << "a 401 reply went unnoticed";
    } catch (const ComponentError& e) {
        EXPECT_EQ(e.Code(), VEXA_E_LOGINFAIL);
        EXPECT_STREQ(e.what(), "RequestLog: 로그인에 실패하였습니다. (0x8004A003)");
    }
}

TEST_F(Commands, AnEndpointTheComponentRefusesIsAUsageError) {
    EXPECT_THROW(session_.SetEndpoint("ftp://127.0.0.1", ""), UsageError);
    EXPECT_THROW(session_.SetEndpoint("", "/nonexistent/ca.pem"), UsageError);
    EXPECT_NO_THROW(session_.SetEndpoint("http://127.0.0.1:1/", ""));
}

}  // namespace
}  // namespace vexa_cli
