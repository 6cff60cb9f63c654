// Receivers from a CSV file for bulk sends.
#include "receiver_file.h"

#include <gtest/gtest.h>

#include "send_warnings.h"

namespace vexa_cli {
namespace {

TEST(ReceiverFile, OneReceiverPerLineWithOptionalNameAndText) {
    const std::string csv =
        "\xEF\xBB\xBFphone,name,text\r\n"
        "010-1234-5678\r\n"
        "\n"
        "# a comment\n"
        "02-000-0000, 홍길동 \n"
        "010-2222-3333,\"Kim, Minsu\",\"내일 \"\"10시\"\" 회의\n두 번째 줄\"\n"
        "010-4444-5555,,own text\n";
    EXPECT_EQ(ParseReceiverFile(csv, "r.csv"),
              (std::vector<ReceiverEntry>{
                  {"", "010-1234-5678", ""},
                  {"홍길동", "02-000-0000", ""},
                  {"Kim, Minsu", "010-2222-3333", "내일 \"10시\" 회의\n두 번째 줄"},
                  {"", "010-4444-5555", "own text"},
              }));
}

TEST(ReceiverFile, AMistakeNamesTheFileAndTheLine) {
    const struct {
        const char* csv;
        const char* message;
    } kCases[] = {
        {"010-1234-5678\nnot-a-phone\n", "r.csv:2: "},
        {"010-1234-5678\n\"010-2222-3333,a\n", "r.csv:2: a quote is not closed"},
        {"010-1234-5678,a,b,c\n", "r.csv:1: expected PHONE[,NAME[,TEXT]], got 4 fields"},
        {"phone,name\n\n# none\n", "r.csv names no receiver"},
        {"010-1234-5678,\"a\x01b\"\n", "r.csv:1: control characters"},
    };
    for (const auto& c : kCases) {
        try {
            ParseReceiverFile(c.csv, "r.csv");
            ADD_FAILURE() << c.csv;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(ReadReceiverFile("/nonexistent/receivers.csv"), UsageError);
}

TEST(ReceiverFile, OwnTextsAreWarnedAboutTogether) {
    SendRequest request;
    request.text = "공통";
    request.receivers = {
        {"", "010-1", std::string(91, 'a')}, {"", "010-2", "😀"}, {"", "010-3", std::string(120, 'b')}};
    const std::vector<std::string> warnings = SendWarnings(request, 0.0);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("own texts hold characters"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find(
                  "2 receivers' own texts are longer than the 90 bytes an SMS carries (the longest 120)"),
              std::string::npos)
        << warnings[1];
}

}  // namespace
}  // namespace vexa_cli
