// The legacy markup as bytes: escaping, reading and writing documents.
#include "legacy/protocol/tpml.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace Quill {
namespace {

// "가" in CP949, and lead bytes whose trail bytes are markup characters (not valid CP949, but
// every scan must still step over them whole).
const std::string kGa = "\xB0\xA1";
const std::string kTrailMarkup = "\x81<\x81>\x81/\x81=\x81\"";

// A parsed tree in one line: name, ":" and the text ("!" before it when it came from CDATA),
// attributes in brackets, element children in parentheses.
std::string Outline(const TPMLNode* element) {
    std::string out = element->Name();
    if (!element->Value().empty()) out += (element->Cdata() ? ":!" : ":") + element->Value();
    std::string attributes, children;
    for (const TPMLNode* child = element->FirstChild(); child; child = child->Next()) {
        if (child->IsElement()) {
            children += (children.empty() ? "" : ",") + Outline(child);
        } else {
            attributes += (attributes.empty() ? "" : ",") + child->Name() + "=" + child->Value();
        }
    }
    if (!attributes.empty()) out += "[" + attributes + "]";
    if (!children.empty()) out += "(" + children + ")";
    return out;
}

std::string Outline(const CTPMLParser& document) {
    std::string out;
    for (const TPMLNode* node = document.Root()->FirstChild(); node; node = node->Next()) {
        out += (out.empty() ? "" : " ") + Outline(node);
    }
    return out;
}

std::string Written(const CTPMLParser& document, const TPMLNode* node = nullptr) {
    std::string out;
    document.Serialize(out, node);
    return out;
}

struct Case {
    std::string input;
    std::string expected;
};

TEST(TpmlEscape, EscapeValue) {
    const std::vector<Case> cases = {
        {"plain text", "plain text"},
        {"&\"<>=/\n\t", "&amp;&quot;&lt;&gt;&equ;&slsh;&br;&tab;"},
        {"a  b", "a&nbsp;b"},
        {"   ", "&nbsp; "},
        {"    ", "&nbsp;&nbsp;"},
        {" a ", " a "},
        {"&amp;", "&amp;amp;"},
        {kGa + " " + kGa, kGa + " " + kGa},
        {kTrailMarkup, kTrailMarkup},  // trail bytes are never escaped
        {"ab\xB0", "ab"},              // half a character at the end cannot be written
        {"\xB0\xA1\xB0", kGa},
    };
    for (const Case& c : cases) EXPECT_EQ(CTPMLParserUtil::EscapeValue(c.input), c.expected) << c.input;
}

TEST(TpmlEscape, UnescapeValue) {
    const std::vector<Case> cases = {
        {"&amp;&quot;&lt;&gt;&equ;&slsh;&br;&tab;&nbsp;", "&\"<>=/\n\t "},
        {"&amp;lt;", "&lt;"},  // one level deep
        {"&amp;amp;", "&amp;"},
        {"&lt;&gt;", "<>"},
        {"&gt;&lt;", "><"},
        {"&nbsp;&nbsp;", "  "},
        {"& &amp &unknown; &;", "& &amp &unknown; &;"},
        {"a&", "a&"},
        {"\x81&amp;", "\x81&amp;"},  // the "&" is a trail byte
        {kGa + "&lt;", kGa + "<"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CTPMLParserUtil::UnescapeValue(c.input), c.expected) << c.input;
}

TEST(TpmlEscape, LeadBytesAreThoseOfCp949) {
    EXPECT_FALSE(CTPMLParserUtil::IsLeadByte(0x80));
    EXPECT_TRUE(CTPMLParserUtil::IsLeadByte(0x81));
    EXPECT_TRUE(CTPMLParserUtil::IsLeadByte(0xFE));
    EXPECT_FALSE(CTPMLParserUtil::IsLeadByte(0xFF));
    EXPECT_FALSE(CTPMLParserUtil::IsLeadByte('<'));
}

TEST(TpmlParse, ReadsWhatTheMarkupHolds) {
    const std::vector<Case> cases = {
        // Three ways to have no text.
        {"<a/>", "a"},
        {"<a></a>", "a"},
        {"<a>\n\t</a>", "a"},
        {"<a x=\"1\" y=\"two words\"/>", "a[x=1,y=two words]"},
        {"<a x = \"1\" / >", "a[x=1]"},
        {"<a x=\"1\" x=\"2\"/>", "a[x=2]"},
        {"<a x=\"\"/>", "a[x=]"},
        {"<a x=\"&lt;&amp;&nbsp;\"/>", "a[x=<& ]"},
        {"<A value=\"x\">\n\t<B/>\n</A>\n", "A:x(B)"},
        {"<a value=\"t\"/>", "a:t"},
        {"<a>text<b/></a>", "a:text(b)"},
        {"<a>  inner \t spaces  </a>", "a:inner \t spaces"},
        {"<a>1 = 2</a>", "a:1 = 2"},
        {"<a>\"quoted text\"</a>", "a:\"quoted text\""},
        {"<a>&amp;lt;</a>", "a:&lt;"},
        {"<a>&lt;&gt;&gt;&lt;</a>", "a:<>><"},
        {"<a>a&nbsp;b</a>", "a:a b"},
        {"<a><![CDATA[<x> &amp; /]]></a>", "a:!<x> &amp; /"},
        {"<a>\n<![CDATA[]]>\n</a>", "a"},
        // CR is skipped before a token but is no terminator.
        {"\r\n<a>x\r\n</a>\r\n", "a:x\r"},
        {"<a\r/>", "a\r"},
        // Trail bytes equal to markup characters are text.
        {"<a>" + kTrailMarkup + "</a>", "a:" + kTrailMarkup},
        {"<a x=\"" + kTrailMarkup + "\"/>", "a[x=" + kTrailMarkup + "]"},
        {"<\x81=/>", "\x81="},
        {"<a><![CDATA[\x81]]]></a>", "a:!\x81]"},
        {"<a/>\n<b>\n\t<c/>\n</b>", "a b(c)"},
        {"<a/>", "a"},
        {std::string("<a/>\0<b", 7), "a"},  // the text ends at a NUL
        {"", ""},
    };
    for (const Case& c : cases) {
        CTPMLParser document;
        EXPECT_TRUE(document.Parse(c.input)) << c.input;
        EXPECT_EQ(Outline(document), c.expected) << c.input;
        EXPECT_EQ(document.ErrorFlag(), 0);
    }
}

TEST(TpmlParse, FailsOnMalformedMarkup) {
    const std::vector<std::string> cases = {
        "text",                   // top-level text
        "<a/> text",              //
        "<=/>",                   // a name that is a markup character
        "<a\"=\"/>",              // a name holding an equals sign
        "<a=b/>",                 //
        "<a x/>",                 // an attribute without a value
        "<a x=1/>",               //
        "<a x=\"/>",              // a value running to the end
        "<a><b/>text</a>",        // text after a child
        "<a>x/y</a>",             // a raw slash in text
        "<a>",                    // the end of the text inside an element
        "<a><b></a>",             // a mismatched end tag
        "<a></b>",                //
        "<a/ x>",                 // a slash in a start tag not closing it
        "<a <b/>>",               // "<" in a start tag
        "<a><![CDATA[x</a>",      // an unclosed CDATA section
        "<a><![CDATA[x]]>y</a>",  // text besides a CDATA section
        "<a>y<![CDATA[x]]></a>",  //
        "<a><![CDATA[x]]><b/></a>",
        "<a><![CDATA[x]]><![CDATA[y]]></a>",
        "<a>\x81</a>",  // the lead byte takes the "<" of the end tag
    };
    for (const std::string& input : cases) {
        CTPMLParser document;
        EXPECT_FALSE(document.Parse(input)) << input;
        EXPECT_EQ(document.ErrorFlag(), 1) << input;
    }
}

TEST(TpmlParse, FailureKeepsWhatWasReadAndReportsWhereItStopped) {
    CTPMLParser document;
    EXPECT_FALSE(document.Parse("<a x=\"1\">\n\t<b/>\n\tlate\n</a>\n<c/>"));
    EXPECT_EQ(document.ErrorFlag(), 1);
    EXPECT_EQ(document.LastError(), "<a x=\"1\">\n\t<b/>\n\tlate");
    EXPECT_EQ(Outline(document), "a[x=1](b)");

    EXPECT_FALSE(document.Parse("<d>"));
    EXPECT_EQ(document.LastError(), "<d>");

    EXPECT_TRUE(document.Parse("<e/>"));
    EXPECT_EQ(document.ErrorFlag(), 0);
    EXPECT_EQ(document.LastError(), "");
    EXPECT_EQ(Outline(document), "a[x=1](b) d e");
}

TEST(TpmlParse, AppendsBelowTheGivenParent) {
    CTPMLParser document;
    ASSERT_TRUE(document.Parse("<a><b/></a>"));
    TPMLNode* a = document.FirstElement();
    ASSERT_TRUE(document.Parse("<c/><d>t</d>", a));
    EXPECT_EQ(Outline(document), "a(b,c,d:t)");

    TPMLNode* attribute = TPMLTree::SetAttribute(a, "x", "1");
    EXPECT_FALSE(document.Parse("<e/>", attribute));
    EXPECT_EQ(document.ErrorFlag(), 1);
}

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

TEST(TpmlParse, BoundsTheNestingDepth) {
    CTPMLParser document;
    EXPECT_TRUE(document.Parse(Nested(256)));
    EXPECT_FALSE(document.Parse(Nested(257)));
    EXPECT_EQ(document.ErrorFlag(), 1);
    EXPECT_FALSE(document.Parse(Nested(100000)));
}

TEST(TpmlTreeLifetime, LongAndDeepTreesAreDestroyedWithoutRecursion) {
    std::string text = "<list>";
    for (int i = 0; i < 300000; ++i) text += "<LOG x=\"1\"/>";
    text += "</list>";
    {
        CTPMLParser document;
        ASSERT_TRUE(document.Parse(text));
        EXPECT_EQ(document.FirstElement()->LastChild()->Name(), "LOG");
    }
    CTPMLParser document;
    TPMLNode* node = document.Root();
    for (int i = 0; i < 300000; ++i) node = TPMLTree::AddElement(node, "deep", "x");
    TPMLTree::SetAttribute(node, "leaf", "1");
    document.Clear();
    EXPECT_EQ(document.FirstElement(), nullptr);
}

TEST(TpmlSerialize, WritesOneTagPerLine) {
    CTPMLParser document;
    TPMLNode* top = TPMLTree::AddElement(document.Root(), "TOP");
    TPMLTree::SetAttribute(top, "type", "request");
    TPMLTree::SetAttribute(top, "value", "own text");
    TPMLNode* list = TPMLTree::AddElement(top, "LIST");
    TPMLTree::AddElement(list, "ITEM", "a/b");
    TPMLTree::SetAttribute(TPMLTree::AddElement(list, "ITEM"), "n", "1  2");
    TPMLTree::AddElement(list, "EMPTY", "");
    TPMLTree::AddElement(top, "RAW", "<&/>")->SetCdata(true);
    TPMLTree::SetAttribute(top, "late", "\"x\"");
    TPMLTree::AddElement(document.Root(), "SECOND");

    const std::string list_markup =
        "\t<LIST>\n"
        "\t\t<ITEM>a&slsh;b</ITEM>\n"
        "\t\t<ITEM n=\"1&nbsp;2\"/>\n"
        "\t\t<EMPTY/>\n"
        "\t</LIST>\n";
    EXPECT_EQ(Written(document), "<TOP type=\"request\" late=\"&quot;x&quot;\" value=\"own text\">\n" +
                                     list_markup + "\t<RAW><![CDATA[<&/>]]></RAW>\n</TOP>\n<SECOND/>\n");
    // A subtree starts at depth 0.
    const std::string expected_list =
        "<LIST>\n\t<ITEM>a&slsh;b</ITEM>\n\t<ITEM n=\"1&nbsp;2\"/>\n\t<EMPTY/>\n</LIST>\n";
    EXPECT_EQ(Written(document, list), expected_list);
    EXPECT_EQ(Written(document, document.Root()), Written(document));
    EXPECT_EQ(Written(document, top->FirstChild()), "");  // an attribute has no markup of its own
}

TEST(TpmlSerialize, CdataThatCannotHoldTheTextIsWrittenEscaped) {
    CTPMLParser document;
    TPMLTree::AddElement(document.Root(), "a", "x]]>y")->SetCdata(true);
    TPMLTree::AddElement(document.Root(), "b", "z\xB0")->SetCdata(true);
    EXPECT_EQ(Written(document), "<a>x]]&gt;y</a>\n<b>z</b>\n");
}

// What one document writes, another reads back the same, and writes the same again.
TEST(TpmlRoundTrip, SerializeThenParseKeepsTheTree) {
    CTPMLParser document;
    TPMLNode* top = TPMLTree::AddElement(document.Root(), "LOGLIST");
    TPMLTree::SetAttribute(top, "type", "reply");
    TPMLNode* refer = TPMLTree::AddElement(top, "REFER", "text before children");
    for (const std::string& value :
         {std::string("plain"), std::string("&\"<>=/\n\t &amp;lt;"), kGa + " " + kGa, kTrailMarkup,
          std::string("line\r\nnext\r"), kGa + "\x81" + "<"}) {
        TPMLNode* log = TPMLTree::AddElement(refer, "LOG");
        TPMLTree::SetAttribute(log, "message", value);
        TPMLTree::SetAttribute(log, "index", "7");
        TPMLTree::AddElement(log, "TEXT", value);
    }
    // Quoted, a value keeps white space at its ends; element text does not (the reader trims it).
    TPMLTree::SetAttribute(top, "padded", " \r leading and trailing ");
    TPMLTree::AddElement(top, "RAW", "<b>&amp; " + kGa + " / ]]")->SetCdata(true);
    TPMLTree::AddElement(top, "KOREAN" + kGa, kGa + kGa);

    const std::string written = Written(document);
    CTPMLParser copy;
    ASSERT_TRUE(copy.Parse(written)) << copy.LastError();
    EXPECT_EQ(Outline(copy), Outline(document));
    EXPECT_EQ(Written(copy), written);
}

// The wire format's one loss, which peers rely on: a pair of spaces is written as one "&nbsp;",
// which reads back as one space.
TEST(TpmlRoundTrip, APairOfSpacesReadsBackAsOne) {
    CTPMLParser document;
    TPMLTree::AddElement(document.Root(), "a", "x  y");
    TPMLTree::SetAttribute(document.FirstElement(), "b", "1    2");
    const std::string written = Written(document);
    EXPECT_EQ(written, "<a b=\"1&nbsp;&nbsp;2\">x&nbsp;y</a>\n");
    CTPMLParser copy;
    ASSERT_TRUE(copy.Parse(written));
    EXPECT_EQ(Outline(copy), "a:x y[b=1  2]");
}

}  // namespace
}  // namespace Quill
