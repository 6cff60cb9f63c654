// What vexa warns about before a send: what the send would change or lose without a word.
#include "send_warnings.h"

#include <gtest/gtest.h>

namespace vexa_cli {
namespace {

TEST(SendWarnings, CharactersOutsideTheCodePageAreNamedOnceEach) {
    const CodePageFit fit = FitCodePage("안녕 😀 hello 😀 ♥ é");
    // Korean, ASCII and the heart fit (two bytes for each Korean letter and the heart); the emoji and
    // é do not, and count as the one byte of their "?".
    EXPECT_EQ(fit.unsupported, (std::vector<std::string>{"😀", "é"}));
    EXPECT_EQ(fit.bytes, 4u + 1 + 1 + 7 + 1 + 1 + 2 + 1 + 1);
}

TEST(SendWarnings, EachSilentChangeIsToldAndAPlainSendIsNot) {
    const DATE now = 45000.5;
    const auto request = [](auto change) {
        SendRequest r;
        r.receivers = {{"", "010-1234-5678"}, {"", "010-2222-3333"}};
        r.text = "안녕하세요";
        change(r);
        return r;
    };
    const struct {
        SendRequest request;
        const char* warning;  // "" for none
    } kCases[] = {
        {request([](SendRequest&) {}), ""},
        {request([](SendRequest& r) { r.text = "웃어요 😀"; }), "cannot carry, sent as '?': 😀"},
        {request([](SendRequest& r) { r.text = std::string(91, 'a'); }),
         "the text is 91 bytes; an SMS carries 90"},
        {request([](SendRequest& r) {
             r.text.clear();
             for (int i = 0; i < 46; ++i) r.text += "가";  // two bytes each in CP949
         }),
         "the text is 92 bytes"},
        {request([](SendRequest& r) {
             r.text = std::string(200, 'a');
             r.type = VEXA_MESSAGE_TYPE_LMS;
         }),
         ""},
        {request([](SendRequest& r) { r.type = VEXA_MESSAGE_TYPE_MMS; }), "an MMS without a picture"},
        {request([](SendRequest& r) { r.reservation = vexa::DateParts{2000, 1, 1, 0, 0, 0}; }),
         "the reservation time has passed"},
        {request([](SendRequest& r) {
             r.receivers.push_back({"", "01012345678"});
         }),
         "01012345678 is given more than once"},
    };
    for (const auto& c : kCases) {
        const std::vector<std::string> warnings = SendWarnings(c.request, now);
        if (!*c.warning) {
            EXPECT_TRUE(warnings.empty()) << warnings.front();
            continue;
        }
        ASSERT_EQ(warnings.size(), 1u) << c.warning;
        EXPECT_NE(warnings.front().find(c.warning), std::string::npos) << warnings.front();
    }
}

}  // namespace
}  // namespace vexa_cli
