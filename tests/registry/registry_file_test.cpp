#include "registry/registry_file.h"

#include <gtest/gtest.h>
#include <tuple>

namespace vexa {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;
using KeyFields = std::tuple<std::string, std::optional<std::string>, Values>;

// Comparable and printable, so that a mismatch shows both sides.
std::vector<KeyFields> Fields(const std::vector<RegistryKey>& keys) {
    std::vector<KeyFields> fields;
    for (const RegistryKey& key : keys) fields.emplace_back(key.path, key.defaultValue, key.values);
    return fields;
}

constexpr const char* kClsidKey = R"(HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A})";

TEST(RegistryFileTest, SerializeWritesTheHeaderThenKeysInFirstWrittenOrder) {
    RegistryFile file;
    file.SetDefault(kClsidKey, "Message Object");
    file.SetValue(R"(HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\InprocServer32)",
                  "ThreadingModel", "apartment");
    file.SetDefault(R"(HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\InprocServer32)",
                    R"(/opt/a "b"\VexaComponent32.so)");
    file.SetValue(kClsidKey, "AppID", "{FF78F57D-91B0-4097-82A9-8FAAD218842F}");
    file.Ensure(R"(HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\Programmable)");
    file.SetValue(kClsidKey, "Two\nLines", "a\r\nb");

    EXPECT_EQ(file.Serialize(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CLASSES_ROOT\\CLSID\\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}]\n"
              "@=\"Message Object\"\n"
              "\"AppID\"=\"{FF78F57D-91B0-4097-82A9-8FAAD218842F}\"\n"
              "\"Two\\nLines\"=\"a\\r\\nb\"\n"
              "\n"
              "[HKEY_CLASSES_ROOT\\CLSID\\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\\InprocServer32]\n"
              "@=\"/opt/a \\\"b\\\"\\\\VexaComponent32.so\"\n"
              "\"ThreadingModel\"=\"apartment\"\n"
              "\n"
              "[HKEY_CLASSES_ROOT\\CLSID\\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}\\Programmable]\n"
              "\n");
    EXPECT_EQ(RegistryFile().Serialize(), "Windows Registry Editor Version 5.00\n\n");
}

TEST(RegistryFileTest, ParseAcceptsWhatPeopleAndEditorsWrite) {
    struct Case {
        const char* name;
        std::string_view text;
        std::vector<RegistryKey> keys;
    };
    const Case cases[] = {
        {"nothing at all", "", {}},
        {"only the header", "Windows Registry Editor Version 5.00\n\n", {}},
        {"only comments and blanks", "; nothing yet\n\n   \n\t; still nothing", {}},
        {"as written",
         "Windows Registry Editor Version 5.00\n\n[A\\B]\n@=\"x\"\n\"N\"=\"v\"\n\n[C]\n\n",
         {{"A\\B", "x", {{"N", "v"}}}, {"C", std::nullopt, {}}}},
        {"without the header", "[A]\n@=\"x\"\n", {{"A", "x", {}}}},
        {"CRLF line ends and no final line end",
         "Windows Registry Editor Version 5.00\r\n\r\n[A]\r\n@=\"x\"\r\n\"N\"=\"v\"",
         {{"A", "x", {{"N", "v"}}}}},
        {"a UTF-8 byte order mark",
         "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[A]\n",
         {{"A", std::nullopt, {}}}},
        {"comments, blanks and indentation anywhere",
         "; made by hand\n\n  Windows Registry Editor Version 5.00  \n;x\n\t[A]\t\n\n ; about N\n   \"N\" = "
         "\"v\"  \n\n",
         {{"A", std::nullopt, {{"N", "v"}}}}},
        {"escapes",
         R"([A]
@="C:\\x \"q\" \\"
"a\"b\\c"="line\nnext\r")",
         {{"A", "C:\\x \"q\" \\", {{"a\"b\\c", "line\nnext\r"}}}}},
        {"a semicolon inside a string is text",
         "[A]\n\"N\"=\"; not a comment\"\n",
         {{"A", std::nullopt, {{"N", "; not a comment"}}}}},
        {"empty strings, and an empty name for the default",
         "[A]\n\"\"=\"\"\n\"N\"=\"\"\n",
         {{"A", "", {{"N", ""}}}}},
        {"a path with brackets", "[A\\[x]\\y]]\n", {{"A\\[x]\\y]", std::nullopt, {}}}},
        {"a key given twice gathers its values under the first spelling",
         "[A\\b]\n\"N\"=\"1\"\n[B]\n[a\\B]\n\"M\"=\"2\"\n",
         {{"A\\b", std::nullopt, {{"N", "1"}, {"M", "2"}}}, {"B", std::nullopt, {}}}},
        {"UTF-8 text",
         "[HKEY_CLASSES_ROOT\\메시지]\n@=\"전송 — ok\"\n",
         {{"HKEY_CLASSES_ROOT\\메시지", "전송 — ok", {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error = "untouched";
        const std::optional<RegistryFile> parsed = RegistryFile::Parse(c.text, &error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(Fields(parsed->Keys()), Fields(c.keys));
    }
}

// A file that does not parse is never rewritten, so anything we cannot hold is refused rather
// than dropped.
TEST(RegistryFileTest, ParseRefusesWhatItCannotHoldAndSaysWhereAndWhy) {
    struct Case {
        std::string_view text;
        std::string error;
    };
    const Case cases[] = {
        {"@=\"x\"\n", "line 1: a value before any key"},
        {"; c\n\n\"N\"=\"x\"\n[A]\n", "line 3: a value before any key"},
        {"[A]\n@=\"x\n", "line 2: unterminated string"},
        {"[A]\n@=\"x\\\"\n", "line 2: unterminated string"},
        {"[A]\n@=\"x\\", "line 2: unterminated string"},
        {"[A]\n\"N=\"x\"\n", "line 2: expected \"=\" after the value's name"},
        {"[A]\n\"N\n", "line 2: unterminated string"},
        {"[A]\n@=\"a\\tb\"\n", "line 2: bad escape \"\\t\" in a string"},
        {"[A]\n\"a\\xb\"=\"v\"\n", "line 2: bad escape \"\\x\" in a string"},
        {"[A]\n\"N\"=dword:00000001\n", "line 2: values of type \"dword\" are not supported, only strings"},
        {"[A]\n\"N\"=hex:01,02\n", "line 2: values of type \"hex\" are not supported, only strings"},
        {"[A]\r\n\"N\"=hex(2):25,00\r\n",
         "line 2: values of type \"hex(2)\" are not supported, only strings"},
        {"[A]\n\"N\"=-\n", "line 2: deleting a value (\"=-\") is not supported"},
        {"[A]\n@=\n", "line 2: missing value after \"=\""},
        {"[A]\n@=unquoted\n", "line 2: expected a quoted string after \"=\""},
        {"[A]\n@\"x\"\n", "line 2: expected \"=\" after the value's name"},
        {"[A]\n@=\"x\" trailing\n", "line 2: unexpected text after the value"},
        {"[A]\n@=\"x\" ; comment\n", "line 2: unexpected text after the value"},
        {"[A]\n\"N\"=\"1\"\n\"n\"=\"2\"\n", "line 3: value \"n\" is given twice"},
        {"[A]\n@=\"1\"\n\"\"=\"2\"\n", "line 3: the default value is given twice"},
        {"[A]\n\"N\"=\"1\"\n[B]\n[a]\n\"N\"=\"2\"\n", "line 5: value \"N\" is given twice"},
        {"[-A]\n", "line 1: deleting a key (\"[-...]\") is not supported"},
        {"[A\n", "line 1: a key line must end with \"]\""},
        {"[A] trailing\n", "line 1: a key line must end with \"]\""},
        {"[]\n", "line 1: empty key path"},
        {"[A]\nN=v\n", "line 2: not a key, a string value, a comment or a blank line"},
        {"REGEDIT4\n\n[A]\n", "line 1: not a key, a string value, a comment or a blank line"},
        {"[A]\nWindows Registry Editor Version 5.00\n", "line 2: the header may only come first"},
        {"\r\n\r\n\r\n[A]\r\ngarbage\r\n", "line 5: not a key, a string value, a comment or a blank line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << '"');
        std::string error;
        EXPECT_FALSE(RegistryFile::Parse(c.text, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(RegistryFile::Parse(c.text));  // no error wanted
    }
}

TEST(RegistryFileTest, NamesIgnoreAsciiCaseAndKeepTheCaseFirstWritten) {
    RegistryFile file;
    file.SetValue(kClsidKey, "ThreadingModel", "both");
    file.SetValue(kClsidKey, "AppID", "{x}");
    file.SetValue(R"(hkey_classes_root\clsid\{e17cbd66-320e-4bbd-96ef-fa7dab21974a})", "THREADINGMODEL",
                  "apartment");
    file.SetValue(kClsidKey, "", "Message Object");
    EXPECT_EQ(&file.Ensure(R"(HKEY_CLASSES_ROOT\Clsid\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A})"),
              file.Find(kClsidKey));

    EXPECT_EQ(Fields(file.Keys()),
              Fields({{kClsidKey, "Message Object", {{"ThreadingModel", "apartment"}, {"AppID", "{x}"}}}}));
    EXPECT_EQ(file.Find(R"(HKEY_CLASSES_ROOT\CLSID\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A)"), nullptr);
    EXPECT_EQ(file.Find(R"(HKEY_CLASSES_ROOT\CLSID)"), nullptr);
    // Only ASCII letters fold: other bytes of UTF-8 text are compared as they are.
    file.Ensure("\xC3\x89");                    // É
    EXPECT_EQ(file.Find("\xC3\xA9"), nullptr);  // é
    ASSERT_NE(file.Find("\xC3\x89"), nullptr);
}

TEST(RegistryFileTest, RemoveTreeTakesTheKeyAndWhatIsBelowItOnly) {
    RegistryFile file;
    for (const char* path : {"A", "A\\B", "B", "A\\B\\C", "a\\b\\d\\e", "A\\BC", "AB", "C\\A\\B"})
        file.SetDefault(path, path);

    EXPECT_TRUE(file.RemoveTree("a\\B"));
    std::vector<std::string> left;
    for (const RegistryKey& key : file.Keys()) left.push_back(key.path);
    EXPECT_EQ(left, (std::vector<std::string>{"A", "B", "A\\BC", "AB", "C\\A\\B"}));

    EXPECT_FALSE(file.RemoveTree("A\\B"));
    EXPECT_FALSE(file.RemoveTree("C\\A\\B\\"));
    // A key that was never written itself still has its subkeys removed.
    EXPECT_TRUE(file.RemoveTree("C"));
    EXPECT_EQ(file.Find("C\\A\\B"), nullptr);
    EXPECT_EQ(file.Keys().size(), 4u);
}

TEST(RegistryFileTest, WhatIsWrittenParsesBackAsItWas) {
    RegistryFile file;
    file.SetDefault(kClsidKey, "Message Object");
    file.SetValue(kClsidKey, "AppID", "{FF78F57D-91B0-4097-82A9-8FAAD218842F}");
    file.Ensure("HKEY_CLASSES_ROOT\\Empty");
    file.SetDefault("HKEY_CLASSES_ROOT\\EmptyDefault", "");
    file.SetValue("HKEY_CLASSES_ROOT\\Odd", "=\"; name\\", "\\");
    file.SetValue("HKEY_CLASSES_ROOT\\Odd", " padded ", "  both ends  ");
    file.SetValue("HKEY_CLASSES_ROOT\\Odd", "[not a key]", "@=\"not a value\"");
    file.SetValue("HKEY_CLASSES_ROOT\\Odd", "breaks", "\n\r\n\r");
    file.SetValue("HKEY_CLASSES_ROOT\\Odd", "controls", std::string("nul\0tab\tend", 11));
    file.SetDefault(" HKEY_CLASSES_ROOT\\Path [with] brackets ", "/home/사용자/VexaComponent32.so");
    file.SetDefault("HKEY_CLASSES_ROOT\\Latin1 bytes \xE9", "\xFF\xFE");

    const std::string text = file.Serialize();
    std::string error;
    const std::optional<RegistryFile> parsed = RegistryFile::Parse(text, &error);
    ASSERT_TRUE(parsed) << error << "\n" << text;
    EXPECT_EQ(Fields(parsed->Keys()), Fields(file.Keys()));
    EXPECT_EQ(parsed->Serialize(), text);
}

}  // namespace
}  // namespace vexa
