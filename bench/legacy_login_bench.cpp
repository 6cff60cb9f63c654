// One legacy login exchange with the sandbox over loopback: SMS::Login of a host's SMS object
// (password scrambled, packet built, framed, sent, the reply read, parsed and turned into a new
// LoginInfo) against the floor, a raw TCP exchange of the very same request bytes (connect, send,
// read the whole reply frame, close), in the same run.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "automation/text.h"
#include "legacy/protocol/packet_frame.h"
#include "legacy/sms.h"
#include "sandbox/sandbox.h"
#include "scratch_directory.h"
#include "scripted_tcp_server.h"

namespace vexa {
namespace {

constexpr char kUser[] = "bench";
constexpr char kPassword[] = "secret";

class Rig {
public:
    Rig() {
        options_.dataDir = dir_.Path();
        options_.accounts.push_back({kUser, kPassword, 1000, "벤치", "02-000-0000"});
        options_.legacyPort = 0;
        sandbox_.emplace(options_);
        const std::string& address = sandbox_->GetEndpoints().legacy;
        port_ = static_cast<LONG>(std::stol(address.substr(address.rfind(':') + 1)));

        // The request bytes Login sends, taken from a server that records and does not answer.
        test::ScriptedTcpServer recorder(VexaCore::MissingFrameBytes);
        ComPtr<SMS> sms = SMS::Make();
        sms->Login(host_.Get(), recorder.Port(), user_.Get(), password_.Get(), nullptr);
        if (recorder.Requests().size() == 1) request_ = recorder.Requests().front();
    }

    // One Login of the host's SMS object; false when it did not succeed.
    bool Login() { return sms_->Login(host_.Get(), port_, user_.Get(), password_.Get(), nullptr) == S_OK; }

    // The same bytes over a plain socket; the length of the whole reply frame, 0 on failure.
    size_t Raw() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return 0;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port_));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        bool ok =
            connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
            send(fd, request_.data(), request_.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request_.size());
        while (ok) {
            const std::optional<size_t> missing = VexaCore::MissingFrameBytes(reply);
            if (!missing) ok = false;
            if (!ok || *missing == 0) break;
            char buffer[65536];
            const ssize_t got = recv(fd, buffer, std::min(sizeof buffer, *missing), 0);
            if (got <= 0) ok = false;
            if (ok) reply.append(buffer, static_cast<size_t>(got));
        }
        shutdown(fd, SHUT_RDWR);
        close(fd);
        return ok ? reply.size() : 0;
    }

    bool Ready() const { return !request_.empty(); }

private:
    test::ScratchDirectory dir_;
    sandbox::SandboxOptions options_;
    std::optional<sandbox::Sandbox> sandbox_;
    LONG port_ = 0;
    Bstr host_{u"127.0.0.1"};
    Bstr user_{BstrFromLocal(kUser)};
    Bstr password_{BstrFromLocal(kPassword)};
    std::string request_;
    ComPtr<SMS> sms_ = SMS::Make();
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void LoginOurs(benchmark::State& state) {
    Rig& rig = TheRig();
    for (auto _ : state)
        if (!rig.Login()) state.SkipWithError("the login failed");
}

void LoginRaw(benchmark::State& state) {
    Rig& rig = TheRig();
    for (auto _ : state)
        if (rig.Raw() == 0) state.SkipWithError("the raw exchange failed");
}

BENCHMARK(LoginOurs)->Name("legacy_login/ours")->UseRealTime();
BENCHMARK(LoginRaw)->Name("legacy_login/raw_tcp")->UseRealTime();

}  // namespace
}  // namespace vexa

int main(int argc, char** argv) {
    // Both sides must work before anything is measured.
    vexa::Rig& rig = vexa::TheRig();
    if (!rig.Ready() || !rig.Login() || rig.Raw() == 0) {
        std::fprintf(stderr, "legacy login bench: the exchanges do not work\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
