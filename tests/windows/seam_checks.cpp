// The Windows sides of the platform seams, run under Wine: each answers what its Linux side
// answers (the same case tables where there are tables). One line per check, a final sentinel
// line, and the exit status is the number of failures.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "automation/date.h"
#include "automation/text.h"
#include "code_page_cases.h"
#include "imaging/base64_lines.h"
#include "platform/base64.h"
#include "platform/system_random.h"
#include "rest/xml_document.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

class TestDocument : public vexa::CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr) override {}
};

void CodePage() {
    using namespace vexa;
    const std::u16string hello = u"안녕하세요 ABC 똠";
    const std::string local = cases::kHelloCp949 + " ABC " + cases::kDdomCp949;
    Check(ToLocal(hello) == local && Utf16FromLocal(local) == hello, "code page: Hangul round trip");
    int i = 0;
    for (const auto& c : cases::kUnencodableCases) {
        Check(ToLocal(c.text) == c.local, "code page: unencodable case " + std::to_string(i++));
    }
    i = 0;
    for (const auto& c : cases::kUndecodableCases) {
        Check(Utf16FromLocal(c.local) == c.text, "code page: undecodable case " + std::to_string(i++));
    }
}

void DeclaredEncodings() {
    int i = 0;
    for (const auto& c : vexa::cases::kDeclaredEncodingCases) {
        TestDocument doc;
        const bool parsed = doc.LoadDocument(c.document);
        const bool ok = parsed == c.parses &&
                        (!parsed || doc.ChildElementText(xmlDocGetRootElement(doc.Document()), "t") ==
                                        vexa::cases::kHelloCp949);
        Check(ok, "xml: declared encoding case " + std::to_string(i++));
    }
}

void LocalTime() {
    using namespace vexa;
    for (const int64_t t : {int64_t{0}, int64_t{951782400}, int64_t{1781049600}, int64_t{32503680000}}) {
        DATE date = 0;
        const bool made = DateFromTimeT(t, date);
        const int64_t back = made ? TimeTFromDate(date) : -2;
        Check(back == t, "local time: round trip of " + std::to_string(t) + " (" + FormatLocalDate(date) +
                             " gave " + std::to_string(back) + ")");
    }
    DATE before1970 = 0;
    Check(DateFromLocalText("1969-12-31 00:00:00", before1970) && TimeTFromDate(before1970) == -1,
          "local time: before 1970 has no time");
}

void Base64() {
    const struct {
        std::string bytes, text;
    } vectors[] = {{"", ""},
                   {"f", "Zg=="},
                   {"fo", "Zm8="},
                   {"foo", "Zm9v"},
                   {"foob", "Zm9vYg=="},
                   {"fooba", "Zm9vYmE="},
                   {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors) {
        std::string out = "<";
        vexa::AppendBase64({reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size()}, out);
        Check(out == "<" + v.text, "base64: \"" + v.bytes + "\"");
    }
    const std::vector<uint8_t> bytes(100, 0xFF);
    std::string lines;
    vexa::Base64LinesAppend(bytes, lines);
    Check(lines.size() == vexa::Base64LinesLength(bytes.size()) && lines.substr(64, 2) == "\r\n" &&
              lines.ends_with("\r\n") && lines.find('\0') == std::string::npos,
          "base64: 64-character lines");
}

void Random() {
    uint64_t a = 0, b = 0;
    Check(vexa::SystemRandom(&a, sizeof a) && vexa::SystemRandom(&b, sizeof b) && a != b,
          "random: two draws differ");
}

}  // namespace

int main() {
    CodePage();
    DeclaredEncodings();
    LocalTime();
    Base64();
    Random();
    std::printf("DONE %d failed\n", failures);
    return failures;
}
