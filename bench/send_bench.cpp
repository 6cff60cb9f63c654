// One Send of one receiver to a loopback HTTP server, against the same exchange without the
// component:
//   send/ours:        Message::Send (request document, HttpClient exchange, reply, SendResults);
//   send/libcurl:     a fresh libcurl easy handle per request posting the same bytes with the
//                     same headers and keeping the reply body (the floor);
//   send/curl_cli:    the curl tool doing the same, one process per request (when installed);
// and, to show where the difference between the first two goes:
//   send/http_client: the component's HttpClient alone posting the same bytes as RunExchange does;
//   send/documents:   the XML part of send/ours alone (request built and serialized, reply read).
// All of them talk to one small server of this file that answers every request with the same
// 200 messages reply. Before measuring, the requests of the others are checked to carry the
// component's request line, headers and body exactly.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "automation/text.h"
#include "loopback_server.h"
#include "message/message.h"
#include "one_receiver_sender.h"
#include "rest/messages_document.h"
#include "send_documents.h"

extern char** environ;

namespace vexa {
namespace {

constexpr const char* kCurlTool = "/usr/bin/curl";
using bench::kCommonText;
using bench::kFrom;
using bench::kOwnText;
using bench::kPhone;

std::string ReplyBody() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<messages>\n  <receivers>\n    <receiver>\n"
           "      <result>succeed</result>\n      <phone>010-1234-5678</phone>\n"
           "      <index>7000001</index>\n      <date>20240315</date>\n"
           "      <sendtime>2024-03-15 10:00:00</sendtime>\n    </receiver>\n  </receivers>\n"
           "  <info>\n    <status>\n      <userid>bench</userid>\n      <username>홍길동</username>\n"
           "      <phoneReturn>02-000-0000</phoneReturn>\n      <phoneReturns>\n"
           "        <phoneReturn>02-000-0000</phoneReturn>\n      </phoneReturns>\n"
           "      <call>100</call>\n      <free>7</free>\n      <paytype>A</paytype>\n    </status>\n"
           "  </info>\n</messages>\n";
}

std::string HttpReply(const std::string& body) {
    const time_t now = std::time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    char date[64];
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: application/xml; "
           "charset=UTF-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nDate: " + date + "\r\n\r\n" + body;
}

using bench::LoopbackServer;
using bench::Request;

// A temporary file holding the request body, for the curl tool's --data-binary @file.
class BodyFile {
public:
    explicit BodyFile(const std::string& bytes) {
        std::string pattern = "/tmp/vexa-send-bench-XXXXXX";
        const UniqueFd fd(mkstemp(pattern.data()));
        if (fd.Get() < 0) return;
        path_ = pattern;
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~BodyFile() {
        if (!path_.empty()) std::remove(path_.c_str());
    }
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct EasyFree {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

bool StartsWithName(const std::string& line, const char* name) {
    const size_t n = std::strlen(name);
    return strncasecmp(line.c_str(), name, n) == 0 && line.size() > n && line[n] == ':';
}

// Everything the variants share: the server, a Message pointed at it with one receiver and an
// SMS text, and the request the component makes (which the others repeat).
class Rig {
public:
    Rig() {
        url_ = "http://127.0.0.1:" + std::to_string(server_.Port());
        ours_.emplace(url_);
        documentContext_ = ServiceContext::Defaults();
        documentContext_.SetCredentials("bench", "secret");
    }

    // One Send; true when it succeeded with a result collection.
    bool SendOurs() { return ours_->Send(); }

    // The component's request, as the server got it, becomes what the others send.
    bool Capture() {
        if (!SendOurs()) return false;
        reference_ = server_.Last();
        for (const std::string& line : reference_.headers) {
            if (StartsWithName(line, "Host") || StartsWithName(line, "Content-Length")) continue;
            headerLines_.push_back(line);
        }
        // What libcurl and the tool add by themselves is taken away unless the component sent it.
        for (const char* own : {"Accept", "Expect", "User-Agent", "Content-Type"}) {
            const bool sent = std::any_of(reference_.headers.begin(), reference_.headers.end(),
                                          [&](const std::string& line) { return StartsWithName(line, own); });
            if (!sent) headerLines_.push_back(std::string(own) + ":");
        }
        for (const std::string& line : headerLines_) {
            curl_slist* grown = curl_slist_append(headers_.get(), line.c_str());
            if (!grown) return false;
            (void)headers_.release();
            headers_.reset(grown);
        }
        const size_t space = reference_.line.find(' ');
        path_ = reference_.line.substr(space + 1, reference_.line.rfind(' ') - space - 1);
        target_ = url_ + path_;
        bodyFile_ = std::make_unique<BodyFile>(reference_.body);
        return !bodyFile_->Path().empty();
    }

    // The floor: what any client must do for this exchange with libcurl.
    bool SendLibcurl() {
        const std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
        if (!easy) return false;
        std::string reply;
        CURL* h = easy.get();
        curl_easy_setopt(h, CURLOPT_URL, target_.c_str());
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, reference_.body.data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(reference_.body.size()));
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_.get());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Append);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply);
        long status = 0;
        return curl_easy_perform(h) == CURLE_OK &&
               curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200 &&
               !reply.empty();
    }

    bool SendCurlTool() {
        std::vector<std::string> args = {
            kCurlTool, "-q", "-s", "-o", "/dev/null", "--data-binary", "@" + bodyFile_->Path()};
        for (const std::string& line : headerLines_) {
            args.push_back("-H");
            args.push_back(line);
        }
        args.push_back(target_);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, kCurlTool, nullptr, nullptr, argv.data(), environ) != 0) return false;
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // The exchange as CRondoEntity::RunExchange runs it, with the component's request bytes.
    bool HttpClientOnly() {
        HttpClient client;
        client.SetAgent(documentContext_.clientName);
        client.SetSecure(false);
        client.SetPort(server_.Port());
        client.Connect("127.0.0.1");
        for (const auto& [name, value] : documentContext_.Headers()) client.AddHeader(name, value);
        client.SetTrustedCertificates(documentContext_.trustedCertificates);
        client.SetTimeouts(documentContext_.timeouts);
        HttpResponse response;
        return client.SendRequest(response, "POST", path_, reference_.body.data(), reference_.body.size()) &&
               response.status == 200;
    }

    // The documents of one Send without the exchange: the entity filled as Send fills it, its
    // request document, and the reply read back as an exchange would leave it.
    bool DocumentsOnly() {
        CRondoMessages entity(documentContext_);
        CRondoMessage& request = entity.message;
        request.sender = ToLocal(kFrom);
        request.message = ToLocal(kCommonText);
        ReceiverRecord record;
        record.phone = ToLocal(kPhone);
        record.message = ToLocal(kOwnText);
        request.receivers.push_back(std::move(record));
        const std::string body = entity.BuildRequest();
        return !body.empty() && entity.ReadReply(bench::SendReply(replyBody_)) &&
               entity.message.receivers.size() == 1;
    }

    // The last request the server got is the component's, byte for byte apart from the order
    // of its header lines.
    bool SameAsOurs(const char* who) const {
        const Request last = server_.Last();
        auto sorted = [](std::vector<std::string> lines) {
            std::sort(lines.begin(), lines.end());
            return lines;
        };
        const bool same = last.line == reference_.line && last.body == reference_.body &&
                          sorted(last.headers) == sorted(reference_.headers);
        if (!same) {
            std::fprintf(stderr, "send_bench: the %s request differs from the component's:\n", who);
            for (const Request* r : {&reference_, &last}) {
                std::fprintf(stderr, "---\n%s\n", r->line.c_str());
                for (const std::string& line : r->headers) std::fprintf(stderr, "%s\n", line.c_str());
                std::fprintf(stderr, "\n%s\n", r->body.c_str());
            }
        }
        return same;
    }

private:
    static size_t Append(char* data, size_t size, size_t count, void* user) {
        static_cast<std::string*>(user)->append(data, size * count);
        return size * count;
    }

    const std::string replyBody_ = ReplyBody();
    LoopbackServer server_{HttpReply(replyBody_)};
    std::string url_;
    std::optional<bench::OneReceiverSender> ours_;
    ServiceContext documentContext_;

    Request reference_;
    std::vector<std::string> headerLines_;
    std::unique_ptr<curl_slist, SlistFree> headers_;
    std::string path_;
    std::string target_;
    std::unique_ptr<BodyFile> bodyFile_;
};

Rig* rig = nullptr;

template <bool (Rig::*Exchange)()>
void Run(benchmark::State& state) {
    for (auto _ : state) {
        if (!(rig->*Exchange)()) {
            state.SkipWithError("the exchange failed");
            break;
        }
    }
}

bool HaveCurlTool() { return access(kCurlTool, X_OK) == 0; }

}  // namespace
}  // namespace vexa

int main(int argc, char** argv) {
    // Loopback is reached directly whatever proxy the environment names (the tool inherits it).
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    curl_global_init(CURL_GLOBAL_DEFAULT);

    vexa::Rig rig;
    vexa::rig = &rig;
    if (!rig.Capture()) {
        std::fprintf(stderr, "send_bench: the component's Send to the loopback server failed\n");
        return 1;
    }
    if (!rig.SendLibcurl() || !rig.SameAsOurs("libcurl")) return 1;
    if (!rig.HttpClientOnly() || !rig.SameAsOurs("HttpClient")) return 1;
    const bool tool = vexa::HaveCurlTool();
    if (tool && (!rig.SendCurlTool() || !rig.SameAsOurs("curl tool"))) return 1;

    // Real time per exchange; the CPU column is the whole process's (client and server threads,
    // not the curl tool's own process).
    auto add = [](const char* name, void (*run)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, run)->UseRealTime()->MeasureProcessCPUTime()->Unit(
            benchmark::kMicrosecond);
    };
    using vexa::Rig;
    add("send/ours", vexa::Run<&Rig::SendOurs>);
    add("send/libcurl", vexa::Run<&Rig::SendLibcurl>);
    add("send/http_client", vexa::Run<&Rig::HttpClientOnly>);
    add("send/documents", vexa::Run<&Rig::DocumentsOnly>);
    if (tool) {
        add("send/curl_cli", vexa::Run<&Rig::SendCurlTool>);
    } else {
        std::fprintf(stderr, "send_bench: %s not found, send/curl_cli skipped\n", vexa::kCurlTool);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vexa::rig = nullptr;
    return 0;
}
