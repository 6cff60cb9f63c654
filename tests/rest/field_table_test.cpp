// Field tables: each kind of field written and read back, what an absent element reads as, and
// tables joined in order.
#include "rest/field_table.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vexa {
namespace {

struct Sample {
    std::string text;
    int32_t number = 0;
    bool flag = false;
    std::vector<std::string> list;
};

constexpr auto kSampleFields = std::to_array<Field<Sample>>({
    {"text", &Sample::text},
    {"number", &Sample::number},
    {"flag", &Sample::flag},
    {"list", TextList<Sample>{&Sample::list, "item"}},
});

class Tree : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr) override {}
    xmlNodePtr Root() const { return xmlDocGetRootElement(Document()); }
};

// The sample written under a root of its own, then the document as text.
std::string Written(const Sample& sample) {
    Tree writer;
    WriteFields(writer, writer.NewDocument("root"), kSampleFields, sample);
    return writer.SerializeDocument();
}

Sample ReadBack(const std::string& text, Sample sample = {}) {
    Tree reader;
    EXPECT_TRUE(reader.LoadDocument(text)) << text;
    ReadFields(reader, reader.Root(), kSampleFields, sample);
    return sample;
}

TEST(FieldTableTest, EveryKindIsWrittenInTableOrderAndReadBack) {
    const Sample sample{"a & <b>", -12, true, {"x", "", "y"}};
    const std::string text = Written(sample);
    EXPECT_NE(text.find("<root>\n  <text>a &amp; &lt;b&gt;</text>\n  <number>-12</number>\n  <flag>Y</flag>\n"
                        "  <list>\n    <item>x</item>\n    <item></item>\n    <item>y</item>\n  </list>\n</root>"),
              std::string::npos)
        << text;
    const Sample read = ReadBack(text);
    EXPECT_EQ(read.text, sample.text);
    EXPECT_EQ(read.number, sample.number);
    EXPECT_TRUE(read.flag);
    EXPECT_EQ(read.list, sample.list);
    EXPECT_NE(Written(Sample{}).find("<flag>N</flag>"), std::string::npos);
}

TEST(FieldTableTest, WhatTheDocumentLeavesOutOrGarblesReadsAsNothing) {
    const Sample before{"old", 7, true, {"old"}};
    const struct {
        const char* document;
        Sample expected;
    } cases[] = {
        {"<root/>", {}},
        {"<root><flag>y</flag><number>12abc</number></root>", {"", 12, false, {}}},
        {"<root><list><other>o</other><item>i</item></list><list><item>second</item></list></root>",
         {"", 0, false, {"i"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        const Sample read = ReadBack(c.document, before);
        EXPECT_EQ(read.text, c.expected.text);
        EXPECT_EQ(read.number, c.expected.number);
        EXPECT_EQ(read.flag, c.expected.flag);
        EXPECT_EQ(read.list, c.expected.list);
    }
}

TEST(FieldTableTest, JoinedTablesKeepTheirOrder) {
    constexpr auto first = std::to_array<Field<Sample>>({{"b", &Sample::text}});
    constexpr auto second = std::to_array<Field<Sample>>({{"a", &Sample::number}, {"c", &Sample::flag}});
    constexpr auto joined = JoinFields(first, second, first);
    std::vector<std::string_view> names;
    for (const Field<Sample>& field : joined) names.push_back(field.element);
    EXPECT_EQ(names, (std::vector<std::string_view>{"b", "a", "c", "b"}));
}

}  // namespace
}  // namespace vexa
