// A month's log list as the legacy service answers it (a "LOGLIST" reply of about 1 MB, one "LOG"
// element with eleven attributes per transfer), read by CTPMLParser, against libxml2 reading the
// same elements and attributes written as XML. Each side parses into its tree and frees it again.
// The texts are ASCII, or Korean (CP949 in the markup, UTF-8 in the XML).
#include <benchmark/benchmark.h>
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

#include "automation/text.h"
#include "legacy/protocol/tpml.h"

namespace vexa {
namespace {

using Quill::CTPMLParser;
using Quill::TPMLNode;
using Quill::TPMLTree;

constexpr size_t kReplyBytes = 1 << 20;

enum Kind { kAscii, kKorean };

// One transfer's attributes, in the order the service writes them; values in UTF-8.
using Attributes = std::vector<std::pair<std::string, std::string>>;

Attributes LogOf(int i, Kind kind) {
    const std::string n = std::to_string(i);
    const std::string message =
        kind == kKorean ? "안녕하세요 " + n + "번 고객님, 예약이 확인되었습니다. 문의: 02-000-0000"
                        : "Hello customer " + n + ", your booking is confirmed. Questions: 02-000-0000";
    char phone[32];
    std::snprintf(phone, sizeof phone, "010-%04d-%04d", i / 10000 % 10000, i % 10000);
    const std::string time = std::to_string(1236000000 + i * 37);
    return {{"date", "200903"},
            {"index", std::to_string(7000000 + i)},
            {"class", i % 4 ? "direct" : "reservation"},
            {"phoneSend", phone},
            {"phoneBack", "02-000-0000"},
            {"countTotal", "1"},
            {"countSucceed", i % 10 ? "1" : "0"},
            {"countFailure", i % 10 ? "0" : "1"},
            {"message", message},
            {"timeWrite", time},
            {"timeSend", time}};
}

struct Reply {
    std::vector<Attributes> logs;  // UTF-8
    std::string tpml;              // CP949, as CTPMLParser writes it
    std::string xml;               // UTF-8, as libxml2 writes it
};

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
struct XmlFree {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlDoc = std::unique_ptr<xmlDoc, DocFree>;
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

std::string WriteTpml(const std::vector<Attributes>& logs) {
    CTPMLParser document;
    TPMLNode* top = TPMLTree::AddElement(document.Root(), "LOGLIST");
    TPMLTree::SetAttribute(top, "type", "reply");
    TPMLNode* refer = TPMLTree::AddElement(top, "REFER");
    for (const Attributes& log : logs) {
        TPMLNode* element = TPMLTree::AddElement(refer, "LOG");
        for (const auto& [name, value] : log) TPMLTree::SetAttribute(element, name, Utf8ToLocal(value));
    }
    std::string text;
    document.Serialize(text);
    return text;
}

std::string WriteXml(const std::vector<Attributes>& logs) {
    const XmlDoc doc(xmlNewDoc(X("1.0")));
    const xmlNodePtr top = xmlNewDocNode(doc.get(), nullptr, X("LOGLIST"), nullptr);
    xmlDocSetRootElement(doc.get(), top);
    xmlNewProp(top, X("type"), X("reply"));
    const xmlNodePtr refer = xmlNewChild(top, nullptr, X("REFER"), nullptr);
    for (const Attributes& log : logs) {
        const xmlNodePtr element = xmlNewChild(refer, nullptr, X("LOG"), nullptr);
        for (const auto& [name, value] : log) xmlNewProp(element, X(name), X(value));
    }
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &text, &size, "UTF-8", 1);
    const XmlText owned(text);
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size));
}

Reply MakeReply(Kind kind) {
    Reply reply;
    while (reply.tpml.size() < kReplyBytes) {
        for (int i = 0; i < 64; ++i) reply.logs.push_back(LogOf(static_cast<int>(reply.logs.size()), kind));
        reply.tpml = WriteTpml(reply.logs);
    }
    reply.xml = WriteXml(reply.logs);
    return reply;
}

const Reply& ReplyOf(Kind kind) {
    static const Reply ascii = MakeReply(kAscii);
    static const Reply korean = MakeReply(kKorean);
    return kind == kKorean ? korean : ascii;
}

XmlDoc ReadXml(const std::string& xml) {
    return XmlDoc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "noname.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

void Count(benchmark::State& state, const Reply& reply, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    // Seconds per LOG element (shown with an SI prefix: "1.2u" is 1.2 microseconds).
    state.counters["per_log"] =
        benchmark::Counter(static_cast<double>(reply.logs.size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Both trees are made of blocks of the same size class (a TPMLNode; libxml2's xmlNode), and the
// allocator hands out the most recently freed blocks first. Run after libxml2 in one process,
// CTPMLParser would build its tree from libxml2's scattered leftovers and take about twice as long
// (its tree is cheap to build, so memory latency is most of what remains); libxml2 does not suffer
// the same way from CTPMLParser's leftovers, which lie in order. So that neither side inherits the
// other's heap, each run starts from a heap whose free blocks have been merged and given back
// (glibc's malloc_trim):
//   warm: then settles into its own steady state, each parse reusing the blocks of the last;
//   cold: every parse starts from such a heap, so every block is new memory (the first reply of
//         a process, or one after a lot of other work).
enum Heap { kWarm, kCold };

template <typename Parse>
void Measure(benchmark::State& state, Heap heap, const Parse& parse) {
    malloc_trim(0);
    for (auto _ : state) {
        if (heap == kCold) {
            state.PauseTiming();
            malloc_trim(0);
            state.ResumeTiming();
        }
        parse();
    }
}

void ParseOurs(benchmark::State& state, Kind kind, Heap heap) {
    const Reply& reply = ReplyOf(kind);
    Measure(state, heap, [&] {
        CTPMLParser document;
        benchmark::DoNotOptimize(document.Parse(reply.tpml));
        benchmark::DoNotOptimize(document.FirstElement());
    });
    Count(state, reply, reply.tpml.size());
}

void ParseLibxml2(benchmark::State& state, Kind kind, Heap heap) {
    const Reply& reply = ReplyOf(kind);
    Measure(state, heap, [&] {
        const XmlDoc doc = ReadXml(reply.xml);
        benchmark::DoNotOptimize(doc.get());
    });
    Count(state, reply, reply.xml.size());
}

// --- both sides must read the same elements and attributes -------------------------------------

bool Check(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "tpml_bench: %s\n", what);
    return ok;
}

// Every LOG's attributes, in UTF-8.
std::vector<Attributes> OursRead(const std::string& tpml) {
    CTPMLParser document;
    std::vector<Attributes> logs;
    if (!document.Parse(tpml) || !document.FirstElement()) return logs;
    const TPMLNode* refer = TPMLTree::FindChild(document.FirstElement(), "REFER");
    for (const TPMLNode* log = refer ? refer->FirstChild() : nullptr; log; log = log->Next()) {
        Attributes& read = logs.emplace_back();
        for (const TPMLNode* a = log->FirstChild(); a; a = a->Next()) {
            read.emplace_back(a->Name(), LocalToUtf8(a->Value()));
        }
    }
    return logs;
}

std::vector<Attributes> Libxml2Read(const std::string& xml) {
    std::vector<Attributes> logs;
    const XmlDoc doc = ReadXml(xml);
    const xmlNodePtr top = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    const xmlNodePtr refer = top ? xmlFirstElementChild(top) : nullptr;
    for (xmlNodePtr log = refer ? xmlFirstElementChild(refer) : nullptr; log;
         log = xmlNextElementSibling(log)) {
        Attributes& read = logs.emplace_back();
        for (xmlAttrPtr a = log->properties; a; a = a->next) {
            const XmlText value(xmlNodeListGetString(doc.get(), a->children, 1));
            read.emplace_back(reinterpret_cast<const char*>(a->name),
                              reinterpret_cast<const char*>(value.get()));
        }
    }
    return logs;
}

bool SidesMatch() {
    for (Kind kind : {kAscii, kKorean}) {
        const Reply& reply = ReplyOf(kind);
        if (!Check(reply.tpml.size() >= kReplyBytes, "the reply is smaller than intended") ||
            !Check(OursRead(reply.tpml) == reply.logs, "CTPMLParser did not read every LOG as written") ||
            !Check(Libxml2Read(reply.xml) == reply.logs, "libxml2 did not read every LOG as written"))
            return false;
    }
    return true;
}

void Register() {
    for (Heap heap : {kWarm, kCold}) {
        for (Kind kind : {kAscii, kKorean}) {
            const std::string suffix =
                std::string(kind == kKorean ? "/korean" : "/ascii") + (heap == kCold ? "/cold" : "");
            benchmark::RegisterBenchmark(("loglist/ours" + suffix).c_str(), ParseOurs, kind, heap)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("loglist/libxml2" + suffix).c_str(), ParseLibxml2, kind, heap)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace
}  // namespace vexa

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!vexa::SidesMatch()) return 1;
    for (vexa::Kind kind : {vexa::kAscii, vexa::kKorean}) {
        const vexa::Reply& reply = vexa::ReplyOf(kind);
        std::fprintf(stderr, "LOGLIST reply (%s): %zu LOG elements, %zu bytes of markup, %zu bytes of XML\n",
                     kind == vexa::kKorean ? "korean" : "ascii", reply.logs.size(), reply.tpml.size(),
                     reply.xml.size());
    }
    vexa::Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
