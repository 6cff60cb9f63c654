#include "report.h"

#include <gtest/gtest.h>

#include "report_json.h"

namespace vexa_cli {
namespace {

Report Sample() {
    Report report;
    report.fields = {
        {"userId", "User ID", std::string("demo")},
        {"name", "이름", std::string("홍길동")},
        {"phones", "Return phones", std::vector<std::string>{"02-000-0000", "010-1234-5678"}},
        {"credit", "Credit", int64_t{42}},
        {"serverTime", "Server time", Value{}},
    };
    report.listings.push_back(
        {"results",
         "Results",
         "none",
         {{"phone", "Phone"},
          {"result", "Result"},
          {"code", "Code", Align::Right, 0, true},
          {"count", "N", Align::Right}},
         {{std::string("010-1234-5678"), std::string("succeeded"), int64_t{1}, int64_t{3}},
          {std::string("02\x1B"), Value{}, int64_t{0}, int64_t{10}}}});
    return report;
}

TEST(Report, RendersFieldsThenTablesForPeople) {
    EXPECT_EQ(RenderText(Sample()),
              "User ID        demo\n"
              "이름           홍길동\n"
              "Return phones  02-000-0000\n"
              "               010-1234-5678\n"
              "Credit         42\n"
              "Server time    -\n"
              "\n"
              "Results\n"
              "Phone          Result      N\n"
              "-------------  ---------  --\n"
              "010-1234-5678  succeeded   3\n"
              "02\xEF\xBF\xBD                       10\n");
}

TEST(Report, WritesEveryColumnAndNullsAsJson) {
    EXPECT_EQ(Json(Sample()), R"({
  "userId": "demo",
  "name": "홍길동",
  "phones": [
    "02-000-0000",
    "010-1234-5678"
  ],
  "credit": 42,
  "serverTime": null,
  "results": [
    {
      "phone": "010-1234-5678",
      "result": "succeeded",
      "code": 1,
      "count": 3
    },
    {
      "phone": "02\u001b",
      "result": null,
      "code": 0,
      "count": 10
    }
  ]
}
)");
}

TEST(Report, SaysSoWhenAListingIsEmpty) {
    Report report;
    report.listings.push_back({"transfers", "", "No transfers.", {{"index", "Index"}}, {}});
    EXPECT_EQ(RenderText(report), "No transfers.\n");
    EXPECT_EQ(Json(report), "{\n  \"transfers\": []\n}\n");
}

}  // namespace
}  // namespace vexa_cli
