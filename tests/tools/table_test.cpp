#include "table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "scoped_env.h"
#include "terminal_style.h"

namespace vexa_cli {
namespace {

struct WidthCase {
    const char* text;
    size_t width;
};

TEST(DisplayWidth, CountsTerminalColumns) {
    const WidthCase kCases[] = {
        {"", 0},
        {"abc", 3},
        {"홍길동", 6},                                // precomposed Hangul syllables
        {"김철수 Kim", 10},                           // mixed
        {"\xE1\x84\x92\xE1\x85\xA9\xE1\x86\xBC", 2},  // 홍 as conjoining jamo: one wide block
        {"ㄱㄴ", 4},                                  // compatibility jamo
        {"日本", 4},
        {"ＡＢ", 4},              // fullwidth forms
        {"e\xCC\x81", 1},         // e + combining acute
        {"\xF0\x9F\x98\x80", 2},  // emoji
        {"a\xFF"
         "b",
         3},              // a malformed byte shows as one replacement character
        {"\xEA\xB0", 2},  // a truncated sequence: two stray bytes
        {"…", 1},
    };
    for (const WidthCase& c : kCases) EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
}

TEST(TerminalText, KeepsEverythingOnOneSafeLine) {
    EXPECT_EQ(TerminalText("줄1\n줄2\tend\r"), "줄1 줄2 end ");
    // Escape sequences from the service must not reach the terminal.
    EXPECT_EQ(TerminalText("a\x1B[31mred"), "a\xEF\xBF\xBD[31mred");
    EXPECT_EQ(TerminalText("\x7F\xC2\x9B"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // DEL and C1 CSI
    EXPECT_EQ(TerminalText("ok\xFF"), "ok\xEF\xBF\xBD");
    EXPECT_EQ(TerminalText("안녕하세요"), "안녕하세요");
}

TEST(FitToWidth, CutsOnCharacterBoundariesWithinTheWidth) {
    struct Case {
        const char* text;
        size_t width;
        const char* expected;
    };
    const Case kCases[] = {
        {"abcdef", 6, "abcdef"},    {"abcdef", 5, "abcd…"},   {"가나다라", 8, "가나다라"},
        {"가나다라", 7, "가나다…"}, {"가나다라", 6, "가나…"}, {"가나다라", 2, "…"},
        {"가나다라", 1, "…"},       {"abc", 0, ""},           {"a가b", 3, "a…"},
    };
    for (const Case& c : kCases) {
        const std::string fitted = FitToWidth(c.text, c.width);
        EXPECT_EQ(fitted, c.expected) << c.text << " in " << c.width;
        EXPECT_LE(DisplayWidth(fitted), c.width);
    }
}

TEST(RenderTable, AlignsHangulByDisplayWidth) {
    const std::string table = RenderTable({{"Name"}, {"Phone"}, {"Count", Align::Right}},
                                          {{"홍길동", "010-1234-5678", "3"}, {"Kim", "02-000-0000", "12"}});
    EXPECT_EQ(table,
              "Name    Phone          Count\n"
              "------  -------------  -----\n"
              "홍길동  010-1234-5678      3\n"
              "Kim     02-000-0000       12\n");
}

TEST(RenderTable, BoundsColumnsCleansCellsAndLeavesNoTrailingBlanks) {
    const std::string table = RenderTable({{"No", Align::Right}, {"Message", Align::Left, 6}, {"To"}},
                                          {{"1", "안녕하세요 여러분", ""}, {"22", "a\nb", "x"}, {"3"}});
    EXPECT_EQ(table,
              "No  Message  To\n"
              "--  -------  --\n"
              " 1  안녕…\n"
              "22  a b      x\n"
              " 3\n");
}

TEST(RenderTable, BoldHeadingsOnlyWhenAsked) {
    const std::vector<TableColumn> columns = {{"Phone"}, {"State"}};
    const std::vector<std::vector<std::string>> rows = {{"010-1234-5678", "delivered"}};
    EXPECT_EQ(RenderTable(columns, rows).find('\033'), std::string::npos);
    EXPECT_EQ(RenderTable(columns, rows, true),
              "\033[1mPhone          State\033[0m\n"
              "-------------  ---------\n"
              "010-1234-5678  delivered\n");
}

TEST(StyleFor, NeverForAPipeNorWithNoColor) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_FALSE(StyleFor(fds[1]));
    close(fds[0]);
    close(fds[1]);
    const vexa::test::ScopedEnv noColor("NO_COLOR", "1");
    EXPECT_FALSE(StyleFor(STDOUT_FILENO));
    EXPECT_EQ(Styled("x", Tone::Bold, false), "x");
}

}  // namespace
}  // namespace vexa_cli
