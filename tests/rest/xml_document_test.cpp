// The XML layer: reading element texts, building and writing documents, the local/UTF-8 boundary,
// and what a hostile reply cannot make the parser do.
#include "rest/xml_document.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "automation/text.h"
#include "code_page_cases.h"

namespace vexa {
namespace {

// "가" (U+AC00) and "한" (U+D55C) in CP949.
const std::string kGaCp949 = "\xB0\xA1";
const std::string kHanCp949 = "\xC7\xD1";

class TestDocument : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr) override {}
    xmlNodePtr Root() const { return xmlDocGetRootElement(Document()); }
};

bool IsAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

TEST(XmlDocumentTest, ElementTextReadsTextAndCdataOrTheWholeContent) {
    const struct {
        const char* xml;
        std::string text;
    } cases[] = {
        {"<r>ab<![CDATA[cd]]>ef</r>", "abcdef"},
        // An element child makes it the whole content, descendants included.
        {"<r><b>x</b>y</r>", "xy"},
        {"<r>1<b>2<c>3</c></b><![CDATA[4]]></r>", "1234"},
        {"<r/>", ""},
        {"<r></r>", ""},
        // Comments and processing instructions are no text.
        {"<r>a<!--c-->b<?pi x?></r>", "ab"},
        {"<r>a&amp;b &lt;&gt;&quot;</r>", "a&b <>\""},
        {"<r>  spaced  </r>", "  spaced  "},
        {"<r>&#xAC00;&#xD55C;</r>", kGaCp949 + kHanCp949},
        {"<r>\xEA\xB0\x80</r>", kGaCp949},
        // What the local code page cannot hold becomes "?", the rest is kept.
        {"<r>a&#x1F600;b&#xAC00;</r>", "a?b" + kGaCp949},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        TestDocument doc;
        ASSERT_TRUE(doc.LoadDocument(c.xml));
        EXPECT_EQ(doc.ElementText(doc.Root()), c.text);
    }
}

TEST(XmlDocumentTest, ChildrenAreFoundByExactNameFirstOneWins) {
    TestDocument doc;
    ASSERT_TRUE(
        doc.LoadDocument("<r>text<!--x--><Name>upper</Name><name>first</name><name>second</name>"
                         "<other><name>nested</name></other></r>"));
    EXPECT_EQ(doc.ChildElementText(doc.Root(), "name"), "first");
    EXPECT_EQ(doc.ChildElementText(doc.Root(), "Name"), "upper");
    EXPECT_EQ(doc.ChildElementText(doc.Root(), "NAME"), "");
    EXPECT_EQ(doc.ChildElementText(doc.Root(), "absent"), "");
    EXPECT_EQ(doc.FindChildElement(doc.Root(), "absent"), nullptr);
    // Only children, never deeper descendants.
    EXPECT_EQ(doc.ChildElementText(doc.FindChildElement(doc.Root(), "other"), "name"), "nested");
    EXPECT_EQ(doc.NodeName(doc.Root()), "r");
    // Nothing to search reads as absent.
    EXPECT_EQ(doc.FindChildElement(nullptr, "name"), nullptr);
    EXPECT_EQ(doc.ChildElementText(nullptr, "name"), "");
    EXPECT_EQ(doc.ElementText(nullptr), "");
}

TEST(XmlDocumentTest, SerializedDocumentIsFormattedAscii) {
    TestDocument doc;
    xmlNodePtr root = doc.NewDocument("logs");
    ASSERT_NE(root, nullptr);
    xmlNodePtr log = doc.AddChildElement(root, "log");
    doc.AddTextChild(log, "index", "17");
    doc.AddTextChild(log, "text", kGaCp949 + "A" + kHanCp949);
    doc.AddTextChild(log, "escaped", "a<b&c>\"d\"");
    doc.AddChildElement(root, "empty");
    EXPECT_EQ(doc.SerializeDocument(),
              "<?xml version=\"1.0\"?>\n"
              "<logs>\n"
              "  <log>\n"
              "    <index>17</index>\n"
              "    <text>&#xAC00;A&#xD55C;</text>\n"
              "    <escaped>a&lt;b&amp;c&gt;\"d\"</escaped>\n"
              "  </log>\n"
              "  <empty/>\n"
              "</logs>\n");
}

TEST(XmlDocumentTest, TextsRoundTripThroughTheSerializedForm) {
    const std::string texts[] = {
        kGaCp949 + kHanCp949, "plain", "a<b&c>]]>", "", "line\nbreak",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        TestDocument out;
        out.AddTextChild(out.NewDocument("r"), "t", text);
        const std::string serialized = out.SerializeDocument();
        EXPECT_TRUE(IsAscii(serialized)) << serialized;

        TestDocument in;
        ASSERT_TRUE(in.LoadDocument(serialized));
        EXPECT_EQ(in.ChildElementText(in.Root(), "t"), text);
    }
}

TEST(XmlDocumentTest, TextTheLocalCodePageCannotCarryBecomesAQuestionMark) {
    // An emoji never reaches local text as itself, and an invalid byte does not stop the text.
    const struct {
        std::string local;
        std::string written;
    } cases[] = {
        {ToLocal(std::u16string_view(u"\uAC00\U0001F600\uD55C!")), "&#xAC00;?&#xD55C;!"},
        {std::string("a\xFF") + "b", "a?b"},
        {"ab\x81", "ab?"},
    };
    for (const auto& c : cases) {
        TestDocument doc;
        doc.AddTextChild(doc.NewDocument("r"), "t", c.local);
        EXPECT_EQ(doc.SerializeDocument(),
                  "<?xml version=\"1.0\"?>\n<r>\n  <t>" + c.written + "</t>\n</r>\n");
    }
}

TEST(XmlDocumentTest, ControlCharactersXmlCannotCarryBecomeQuestionMarks) {
    // Written as they were, they would empty the whole element; tab, LF and CR are characters of XML.
    const struct {
        std::string text;
        std::string read;
    } cases[] = {
        {"a\x01"
         "b",
         "a?b"},
        {"\x0B=", "?="},
        {std::string("nul\0end", 7), "nul?end"},
        {"\x1B[1m!\x7F", "?[1m!\x7F"},
        {"tab\tCR\rLF\n", "tab\tCR\rLF\n"},
    };
    for (const bool convert : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            TestDocument out;
            out.SetConversion(convert);
            out.AddTextChild(out.NewDocument("r"), "t", c.text);
            testing::internal::CaptureStderr();
            const std::string serialized = out.SerializeDocument();
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

            TestDocument in;
            in.SetConversion(convert);
            ASSERT_TRUE(in.LoadDocument(serialized)) << serialized;
            EXPECT_EQ(in.ChildElementText(in.Root(), "t"), c.read);
        }
    }
}

TEST(XmlDocumentTest, WithoutConversionBytesPassUnchanged) {
    TestDocument doc;
    doc.SetConversion(false);
    ASSERT_TRUE(doc.LoadDocument("<r><t>&#xAC00;</t></r>"));
    EXPECT_EQ(doc.ChildElementText(doc.Root(), "t"), "\xEA\xB0\x80");

    TestDocument out;
    out.SetConversion(false);
    out.AddTextChild(out.NewDocument("r"), "t", "\xEA\xB0\x80");
    EXPECT_NE(out.SerializeDocument().find("<t>&#xAC00;</t>"), std::string::npos);
}

TEST(XmlDocumentTest, DocumentsDeclaredInTheLocalCodePageAreRead) {
    for (const auto& c : cases::kDeclaredEncodingCases) {
        TestDocument doc;
        ASSERT_EQ(doc.LoadDocument(c.document), c.parses) << c.document;
        if (c.parses) {
            EXPECT_EQ(doc.ChildElementText(doc.Root(), "t"), cases::kHelloCp949);
        }
    }
}

TEST(XmlDocumentTest, UnreadableTextHoldsNoDocument) {
    const std::string cases[] = {
        "", "not xml", "<r>", "<r></s>", "<r/><r/>", std::string("<r>a\0b</r>", 10),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        TestDocument doc;
        ASSERT_TRUE(doc.LoadDocument("<held/>"));
        EXPECT_FALSE(doc.LoadDocument(text));
        EXPECT_EQ(doc.Document(), nullptr);
        EXPECT_EQ(doc.SerializeDocument(), "");
    }
}

// Texts the parser refuses, each of which makes libxml2 report an error on its way.
const std::string kRefusedTexts[] = {
    "<r><unclosed></r>",
    "<!DOCTYPE r [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><r>&a;</r>",
    // Bytes that are no EUC-KR: the converter reports them without a parser context.
    "<?xml version=\"1.0\" encoding=\"EUC-KR\"?><r>\xFF\xFE\xFF\xFE</r>",
    "<?xml version=\"1.0\" encoding=\"EUC-KR\"?><r>\xB0</r>",
    "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><r/>",
};

TEST(XmlDocumentTest, ParseErrorsStayOffStandardError) {
    TestDocument doc;
    testing::internal::CaptureStderr();
    for (const std::string& text : kRefusedTexts) EXPECT_FALSE(doc.LoadDocument(text)) << text;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A host that uses libxml2 itself keeps its own error handlers: ours are set for our parse only,
// and the host's handlers never see our errors.
int hostErrors = 0;
void HostGenericError(void*, const char*, ...) { ++hostErrors; }
void HostStructuredError(void*, xmlErrorPtr) { ++hostErrors; }

TEST(XmlDocumentTest, TheHostsLibxml2ErrorHandlersStayTheHosts) {
    int context = 0;
    xmlSetGenericErrorFunc(&context, HostGenericError);
    xmlSetStructuredErrorFunc(&context, HostStructuredError);
    hostErrors = 0;
    TestDocument doc;
    for (const std::string& text : kRefusedTexts) EXPECT_FALSE(doc.LoadDocument(text)) << text;
    EXPECT_EQ(hostErrors, 0);
    EXPECT_EQ(xmlGenericError, &HostGenericError);
    EXPECT_EQ(xmlGenericErrorContext, &context);
    EXPECT_EQ(xmlStructuredError, &HostStructuredError);
    EXPECT_EQ(xmlStructuredErrorContext, &context);
    // The host's own parse still reaches them.
    xmlFreeDoc(xmlReadMemory("<r>", 3, "host.xml", nullptr, 0));
    EXPECT_GT(hostErrors, 0);
    xmlSetGenericErrorFunc(nullptr, nullptr);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
}

class ExternalFileTest : public testing::Test {
protected:
    void TearDown() override {
        for (const std::string& path : paths_) std::remove(path.c_str());
    }

    // A file URL of a new file with that content.
    std::string WriteFile(const std::string& content) {
        char name[] = "/tmp/vexa_xml_externalXXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        if (fd >= 0) close(fd);
        paths_.push_back(name);
        std::ofstream(name) << content;
        return std::string("file://") + name;
    }

private:
    std::vector<std::string> paths_;
};

TEST_F(ExternalFileTest, ExternalEntitiesAndDtdsAreNeverRead) {
    const std::string text = WriteFile("SECRET");
    const std::string declaration = WriteFile("<!ENTITY y \"SECRET\">");
    const std::string cases[] = {
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + text + "\">]><r>&x;</r>",
        // With an element child the whole content is read, entity references included.
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + text + "\">]><r><a/>&x;</r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + text + "\">]><r><a>&x;</a></r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + declaration + "\"> %p;]><r><a/>&y;<a>&y;</a></r>",
        "<!DOCTYPE r SYSTEM \"" + declaration + "\"><r><a/>&y;<a>&y;</a></r>",
    };
    for (const std::string& xml : cases) {
        SCOPED_TRACE(xml);
        TestDocument doc;
        if (!doc.LoadDocument(xml)) continue;  // refusing the document is as good
        EXPECT_EQ(doc.ElementText(doc.Root()).find("SECRET"), std::string::npos);
        EXPECT_EQ(doc.ChildElementText(doc.Root(), "a").find("SECRET"), std::string::npos);
        EXPECT_EQ(doc.SerializeDocument().find("SECRET"), std::string::npos);
    }
}

TEST(XmlDocumentTest, EntityExpansionIsRefused) {
    std::string dtd = "<!ENTITY e0 \"xxxxxxxxxx\">";
    for (int i = 1; i <= 9; ++i) {
        std::string refs;
        for (int k = 0; k < 10; ++k) refs += "&e" + std::to_string(i - 1) + ";";
        dtd += "<!ENTITY e" + std::to_string(i) + " \"" + refs + "\">";
    }
    TestDocument doc;
    const bool loaded = doc.LoadDocument("<!DOCTYPE r [" + dtd + "]><r><a/>&e9;</r>");
    if (loaded) {
        EXPECT_LT(doc.ElementText(doc.Root()).size(), 1000000u);
    }
}

TEST(XmlDocumentTest, CopiesTakeFieldsNeverTheDocument) {
    TestDocument original;
    original.SetConversion(false);
    ASSERT_NE(original.NewDocument("r"), nullptr);

    TestDocument copy(original);
    EXPECT_EQ(copy.Document(), nullptr);
    // The conversion flag came along: UTF-8 passes unchanged.
    copy.AddTextChild(copy.NewDocument("r"), "t", "\xEA\xB0\x80");
    EXPECT_NE(copy.SerializeDocument().find("&#xAC00;"), std::string::npos);

    TestDocument assigned;
    ASSERT_TRUE(assigned.LoadDocument("<mine/>"));
    assigned = original;
    // Its own document stays its own; both are freed once (the sanitizer build would tell).
    ASSERT_NE(assigned.Document(), nullptr);
    EXPECT_NE(assigned.Document(), original.Document());
    EXPECT_EQ(assigned.NodeName(assigned.Root()), "mine");
}

TEST(XmlDocumentTest, DecimalsReadLikeStrtolClampedToTheirWidth) {
    const struct {
        const char* text;
        int32_t value32;
        int64_t value64;
    } cases[] = {
        {"12abc", 12, 12},
        {"", 0, 0},
        {"-3", -3, -3},
        {"+7", 7, 7},
        {" \t\n\v\f\r42", 42, 42},
        {"abc", 0, 0},
        {"-", 0, 0},
        {"- 5", 0, 0},
        {"0x10", 0, 0},
        {"007", 7, 7},
        {"1 2", 1, 1},
        {"2147483647", INT32_MAX, 2147483647},
        {"2147483648", INT32_MAX, 2147483648},
        {"-2147483648", INT32_MIN, -2147483648LL},
        {"-2147483649", INT32_MIN, -2147483649LL},
        {"9223372036854775807", INT32_MAX, INT64_MAX},
        {"9223372036854775808", INT32_MAX, INT64_MAX},
        {"-9223372036854775808", INT32_MIN, INT64_MIN},
        {"-9223372036854775809", INT32_MIN, INT64_MIN},
        {"99999999999999999999999", INT32_MAX, INT64_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadDecimal32(c.text), c.value32);
        EXPECT_EQ(ReadDecimal64(c.text), c.value64);
    }
}

}  // namespace
}  // namespace vexa
