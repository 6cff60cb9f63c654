// The messages document of a 10,000-receiver send, both ways, against libxml2 used directly:
//   build_serialize: the request as Send fills and posts it (entity, records, tree, text);
//   parse_results:   a 10,000-receiver reply read by ReadReply and turned into SendResults.
// The floors build the same tree with plain libxml2 calls and dump it, and parse the same reply
// and collect its texts into std::strings. Each runs on ASCII texts and on Korean texts (which
// the component converts between CP949 and UTF-8 and the serializer writes as references).
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>
#include <string>
#include <vector>

#include "automation/text.h"
#include "send_documents.h"

namespace vexa {
namespace {

constexpr int kReceivers = 10000;

enum Kind { kAscii, kKorean };

using bench::Person;

// One batch in the two encodings: local text for the component, UTF-8 for the floor.
struct Batch {
    std::string sender;
    std::string common;
    std::vector<Person> local;
    std::string commonUtf8;
    std::vector<Person> utf8;
    std::string reply;  // the service's answer, UTF-8
};

std::string Phone(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "010-%04d-%04d", i / 10000 % 10000, i % 10000);
    return text;
}

std::string InfoXml(Kind kind) {
    const std::string user = kind == kKorean ? "홍길동" : "Hong Gildong";
    return "  <info>\n    <status>\n      <userid>bench</userid>\n      <username>" + user +
           "</username>\n      <phoneReturn>02-000-0000</phoneReturn>\n      <phoneReturns>\n"
           "        <phoneReturn>02-000-0000</phoneReturn>\n      </phoneReturns>\n"
           "      <call>100</call>\n      <free>7</free>\n      <paytype>A</paytype>\n    </status>\n"
           "    <links>\n      <self>/users/bench</self>\n    </links>\n  </info>\n";
}

// A formatted reply as the service writes it: one receiver element per receiver, every tenth
// refused, then the info element.
std::string ReplyXml(const Batch& b, Kind kind) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<messages>\n  <receivers>\n";
    for (int i = 0; i < kReceivers; ++i) {
        const Person& p = b.utf8[static_cast<size_t>(i)];
        xml += "    <receiver>\n      <result>";
        xml += i % 10 == 9 ? (kind == kKorean ? "실패: 번호 오류" : "failed: bad number") : "succeed";
        xml += "</result>\n      <phone>" + p.phone + "</phone>\n      <index>" +
               std::to_string(7000000 + i) + "</index>\n      <date>20240315</date>\n      <message>" +
               p.message + "</message>\n      <sendtime>2024-03-15 10:00:00</sendtime>\n    </receiver>\n";
    }
    return xml + "  </receivers>\n" + InfoXml(kind) + "</messages>\n";
}

Batch MakeBatch(Kind kind) {
    Batch b;
    const bool korean = kind == kKorean;
    b.commonUtf8 =
        korean ? "[공지] 오늘 밤 10시부터 정기 점검이 있습니다." : "[Notice] Maintenance tonight from 10 pm.";
    b.common = Utf8ToLocal(b.commonUtf8);
    b.sender = "02-000-0000";
    for (int i = 0; i < kReceivers; ++i) {
        const std::string n = std::to_string(i);
        Person p;
        p.phone = Phone(i);
        p.name = (korean ? "고객" : "Customer ") + n;
        p.message = korean ? "안녕하세요 " + n + "번 고객님, 예약이 확인되었습니다."
                           : "Hello customer " + n + ", your booking is confirmed.";
        b.utf8.push_back(p);
        b.local.push_back({Utf8ToLocal(p.phone), Utf8ToLocal(p.name), Utf8ToLocal(p.message)});
    }
    b.reply = ReplyXml(b, kind);
    return b;
}

const Batch& BatchOf(Kind kind) {
    static const Batch ascii = MakeBatch(kAscii);
    static const Batch korean = MakeBatch(kKorean);
    return kind == kKorean ? korean : ascii;
}

const ServiceContext& Context() {
    static const ServiceContext context = [] {
        ServiceContext c = ServiceContext::Defaults();
        c.SetCredentials("bench", "secret");
        return c;
    }();
    return context;
}

void CountReceivers(benchmark::State& state) {
    // Seconds per receiver (shown with an SI prefix: "1.2u" is 1.2 microseconds).
    state.counters["per_receiver"] = benchmark::Counter(
        kReceivers, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// --- build and serialize -----------------------------------------------------------------------

// What Send does with a batch: the entity, one record per receiver, PostMessages' document.
std::string BuildOurs(const Batch& b) {
    return bench::BuildSendRequest(Context(), b.sender, b.common, b.local);
}

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const xmlChar* X(const std::string& text) { return X(text.c_str()); }

void AddText(xmlNodePtr parent, const char* name, const std::string& text) {
    xmlAddChild(xmlNewChild(parent, nullptr, X(name), nullptr), xmlNewText(X(text)));
}

struct XmlFree {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;
using XmlDoc = std::unique_ptr<xmlDoc, DocFree>;

// The same tree from UTF-8 texts with libxml2 alone, dumped the same way.
XmlText BuildFloor(const Batch& b, int& size) {
    const XmlDoc doc(xmlNewDoc(X("1.0")));
    const xmlNodePtr root = xmlNewDocNode(doc.get(), nullptr, X("messages"), nullptr);
    xmlDocSetRootElement(doc.get(), root);
    AddText(root, "sender", b.sender);
    AddText(root, "message", b.commonUtf8);
    AddText(root, "type", "sms");
    AddText(root, "reservation", "N");
    AddText(root, "sendtime", "systemtime");
    AddText(root, "free", "N");
    AddText(root, "count", std::to_string(b.utf8.size()));
    const xmlNodePtr list = xmlNewChild(root, nullptr, X("receivers"), nullptr);
    for (const Person& p : b.utf8) {
        const xmlNodePtr receiver = xmlNewChild(list, nullptr, X("receiver"), nullptr);
        AddText(receiver, "phone", p.phone);
        AddText(receiver, "name", p.name);
        AddText(receiver, "message", p.message);
        AddText(receiver, "sendtime", "systemtime");
    }
    xmlChar* text = nullptr;
    xmlDocDumpFormatMemory(doc.get(), &text, &size, 1);
    return XmlText(text);
}

void BuildSerializeOurs(benchmark::State& state, Kind kind) {
    const Batch& b = BatchOf(kind);
    for (auto _ : state) {
        const std::string body = BuildOurs(b);
        benchmark::DoNotOptimize(body.data());
    }
    CountReceivers(state);
}

void BuildSerializeFloor(benchmark::State& state, Kind kind) {
    const Batch& b = BatchOf(kind);
    for (auto _ : state) {
        int size = 0;
        const XmlText text = BuildFloor(b, size);
        benchmark::DoNotOptimize(text.get());
    }
    CountReceivers(state);
}

// --- parse the reply and make the results ------------------------------------------------------

struct FloorRecord {
    std::string result, phone, index, date, message;
};

std::string TextOf(xmlNodePtr element) {
    std::string text;
    for (xmlNodePtr n = element->children; n; n = n->next) {
        if (n->type == XML_TEXT_NODE && n->content) text += reinterpret_cast<const char*>(n->content);
    }
    return text;
}

void CollectTexts(xmlNodePtr element, std::vector<std::string>& into) {
    for (xmlNodePtr child = xmlFirstElementChild(element); child; child = xmlNextElementSibling(child)) {
        if (xmlFirstElementChild(child)) {
            CollectTexts(child, into);
        } else {
            into.push_back(TextOf(child));
        }
    }
}

bool Named(xmlNodePtr node, const char* name) {
    return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The reply parsed with libxml2 alone: every receiver's texts and the info texts as strings.
size_t ParseFloor(const std::string& reply) {
    const XmlDoc doc(xmlReadMemory(reply.data(), static_cast<int>(reply.size()), "noname.xml", nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    const xmlNodePtr root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root || !Named(root, "messages")) return 0;
    std::vector<FloorRecord> records;
    std::vector<std::string> info;
    for (xmlNodePtr child = xmlFirstElementChild(root); child; child = xmlNextElementSibling(child)) {
        if (Named(child, "info")) CollectTexts(child, info);
        if (!Named(child, "receivers")) continue;
        for (xmlNodePtr r = xmlFirstElementChild(child); r; r = xmlNextElementSibling(r)) {
            if (!Named(r, "receiver")) continue;
            FloorRecord record;
            for (xmlNodePtr field = xmlFirstElementChild(r); field; field = xmlNextElementSibling(field)) {
                if (Named(field, "result")) record.result = TextOf(field);
                if (Named(field, "phone")) record.phone = TextOf(field);
                if (Named(field, "index")) record.index = TextOf(field);
                if (Named(field, "date")) record.date = TextOf(field);
                if (Named(field, "message")) record.message = TextOf(field);
            }
            records.push_back(std::move(record));
        }
    }
    return records.size() + info.size();
}

void ParseResultsOurs(benchmark::State& state, Kind kind) {
    const Batch& b = BatchOf(kind);
    for (auto _ : state) {
        CRondoMessages entity(Context());
        // An exchange moves the body in; the copy made here is not the component's work.
        state.PauseTiming();
        HttpResponse reply = bench::SendReply(b.reply);
        state.ResumeTiming();
        const ComPtr<SendResults> results = bench::ReadSendResults(entity, std::move(reply));
        benchmark::DoNotOptimize(results.Get());
    }
    CountReceivers(state);
}

void ParseResultsFloor(benchmark::State& state, Kind kind) {
    const Batch& b = BatchOf(kind);
    for (auto _ : state) benchmark::DoNotOptimize(ParseFloor(b.reply));
    CountReceivers(state);
}

// --- the floors must do the same work ----------------------------------------------------------

bool Check(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "rest_documents_bench: %s\n", what);
    return ok;
}

bool FloorsMatch() {
    for (Kind kind : {kAscii, kKorean}) {
        const Batch& b = BatchOf(kind);
        int size = 0;
        const XmlText floor = BuildFloor(b, size);
        const std::string ours = BuildOurs(b);
        if (!Check(floor && ours == std::string(reinterpret_cast<const char*>(floor.get()), size),
                   "the floor's request differs from the component's"))
            return false;
        CRondoMessages entity(Context());
        const ComPtr<SendResults> results = bench::ReadSendResults(entity, bench::SendReply(b.reply));
        if (!Check(results && results->Count() == kReceivers, "the component did not read every receiver") ||
            !Check(ParseFloor(b.reply) > static_cast<size_t>(kReceivers), "the floor did not read the reply"))
            return false;
    }
    return true;
}

void Register() {
    for (Kind kind : {kAscii, kKorean}) {
        const std::string suffix = kind == kKorean ? "/korean" : "/ascii";
        benchmark::RegisterBenchmark(("build_serialize/ours" + suffix).c_str(), BuildSerializeOurs, kind)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("build_serialize/floor" + suffix).c_str(), BuildSerializeFloor, kind)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("parse_results/ours" + suffix).c_str(), ParseResultsOurs, kind)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("parse_results/floor" + suffix).c_str(), ParseResultsFloor, kind)
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace
}  // namespace vexa

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!vexa::FloorsMatch()) return 1;
    vexa::Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
