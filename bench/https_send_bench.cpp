// One-receiver Sends over HTTPS to vexa-sandbox running in a process of its own, against a small
// Python client of the standard library (bench/https_peer.py) posting the component's own request
// bytes to the same sandbox:
//   kept alive:     SENDS Sends in a row from one Message, against the peer's SENDS requests over
//                   one kept-alive connection: time per Send and this process's CPU per Send;
//   no keep-alive:  the same against a sandbox that closes every connection after its reply,
//                   against the peer opening a new connection per request with one TLS context;
//   threads:        THREADS host threads, each with its own Message sending SENDS, against
//                   THREADS peer threads: Sends per second.
// Each round runs every case once, ours then the peer's; the ratio is taken per round and its
// median printed with the medians of both sides.
//
// Usage: vexa_https_send_bench --sandbox PATH --peer PATH [--rounds N] [--sends N] [--threads N]
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <optional>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "loopback_server.h"
#include "one_receiver_sender.h"
#include "platform/unique_fd.h"
#include "scratch_directory.h"

extern char** environ;

namespace vexa {
namespace {

struct Options {
    std::string sandbox;
    std::string peer;
    int rounds = 5;
    int sends = 100;
    int threads = 4;
};

struct Cost {
    double real = 0;  // seconds
    double cpu = 0;   // seconds of this process (or the peer's), all threads
    int count = 0;
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Cost Measure(int count, const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ProcessCpuSeconds();
    if (!work()) throw std::runtime_error("a Send failed");
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            ProcessCpuSeconds() - cpu, count};
}

// Runs a program to its end; its standard output, or nullopt when it failed.
std::optional<std::string> Output(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    const UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (spawned != 0) return std::nullopt;
    std::string out;
    char chunk[4096];
    for (ssize_t n; (n = ::read(readEnd.Get(), chunk, sizeof chunk)) > 0;) out.append(chunk, n);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

// The value of `name='value'` in the sandbox's --print-env output.
std::string ExportedValue(const std::string& text, const std::string& name) {
    const std::string key = "export " + name + "='";
    const size_t at = text.find(key);
    if (at == std::string::npos) return {};
    const size_t start = at + key.size();
    return text.substr(start, text.find('\'', start) - start);
}

// vexa-sandbox in a scratch directory of its own, stopped with the object.
class SandboxProcess {
public:
    SandboxProcess(const std::string& program, const std::vector<std::string>& extra) {
        std::vector<std::string> args = {program, "--data-dir", dir_.Path().string(), "--account",
                                         "bench:secret:100000000"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("cannot start " + program);
        const std::optional<std::string> env =
            Output({program, "--print-env", "--data-dir", dir_.Path().string(), "--wait", "20"});
        if (env) {
            url_ = ExportedValue(*env, "VEXA_ENDPOINT");
            certificate_ = ExportedValue(*env, "VEXA_CACERT");
        }
    }
    ~SandboxProcess() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    bool Up() const { return !url_.empty(); }
    const std::string& Url() const { return url_; }
    const std::string& Certificate() const { return certificate_; }
    // "127.0.0.1:PORT", what the Host header names.
    std::string HostAndPort() const { return url_.substr(url_.find("://") + 3); }

private:
    test::ScratchDirectory dir_;
    pid_t pid_ = 0;
    std::string url_;
    std::string certificate_;
};

using Host = bench::OneReceiverSender;

// The component's request bytes as a loopback server got them, with the Host line naming the
// sandbox, written to a file for the peer.
std::string CaptureRequest(const std::string& hostAndPort, const std::string& file) {
    bench::LoopbackServer server("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    Host(std::string("http://127.0.0.1:") + std::to_string(server.Port()), {}).Send();
    const bench::Request request = server.Last();
    if (request.line.empty()) throw std::runtime_error("the component's request was not captured");
    std::string bytes = request.line + "\r\n";
    for (const std::string& line : request.headers) {
        bytes += strncasecmp(line.c_str(), "Host:", 5) == 0 ? "Host: " + hostAndPort : line;
        bytes += "\r\n";
    }
    bytes += "\r\n" + request.body;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

double JsonNumber(const std::string& text, const std::string& name) {
    const size_t at = text.find("\"" + name + "\":");
    if (at == std::string::npos) throw std::runtime_error("peer: no " + name + " in " + text);
    return std::strtod(text.c_str() + at + name.size() + 3, nullptr);
}

Cost RunPeer(const Options& options, const SandboxProcess& sandbox, const std::string& request,
             const char* mode, int threads) {
    const std::optional<std::string> out =
        Output({"python3", options.peer, "--url", sandbox.Url(), "--cafile", sandbox.Certificate(),
                "--request", request, "--count", std::to_string(options.sends), "--mode", mode, "--threads",
                std::to_string(threads)});
    if (!out) throw std::runtime_error("the peer failed");
    return {JsonNumber(*out, "real"), JsonNumber(*out, "cpu"),
            static_cast<int>(JsonNumber(*out, "requests"))};
}

Cost RunThreads(const SandboxProcess& sandbox, int threads, int sends) {
    std::vector<std::unique_ptr<Host>> hosts(threads);
    std::vector<std::thread> running;
    std::vector<char> ok(threads, 0);
    // Each thread makes and uses its own Message (the apartment rule); only the sending is timed.
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    for (int t = 0; t < threads; ++t) {
        running.emplace_back([&, t] {
            Host host(sandbox.Url(), sandbox.Certificate());
            ++ready;
            while (!go) std::this_thread::yield();
            ok[t] = host.SendMany(sends);
        });
    }
    while (ready < threads) std::this_thread::yield();
    const Cost cost = Measure(threads * sends, [&] {
        go = true;
        for (std::thread& t : running) t.join();
        return std::all_of(ok.begin(), ok.end(), [](char v) { return v != 0; });
    });
    return cost;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

struct Series {
    std::vector<Cost> ours, peer;
    double MedianOf(const std::vector<Cost>& costs, double Cost::*field) const {
        std::vector<double> v;
        for (const Cost& c : costs) v.push_back(c.*field / c.count);
        return Median(v);
    }
    double Ratio(double Cost::*field) const {
        std::vector<double> v;
        for (size_t i = 0; i < ours.size() && i < peer.size(); ++i)
            v.push_back((ours[i].*field / ours[i].count) / (peer[i].*field / peer[i].count));
        return Median(v);
    }
};

std::string Time(double seconds) {
    char text[32];
    if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%7.2f ms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%7.1f us", seconds * 1e6);
    }
    return text;
}

const char* Verdict(bool met) { return met ? "ok" : "MISSED"; }

void PrintSequential(const char* label, const Series& s) {
    const double real = s.Ratio(&Cost::real), cpu = s.Ratio(&Cost::cpu);
    std::printf("  %-14s ours %s  cpu %s   peer %s  cpu %s   ours/peer %5.2f real %5.2f cpu  %s\n", label,
                Time(s.MedianOf(s.ours, &Cost::real)).c_str(), Time(s.MedianOf(s.ours, &Cost::cpu)).c_str(),
                Time(s.MedianOf(s.peer, &Cost::real)).c_str(), Time(s.MedianOf(s.peer, &Cost::cpu)).c_str(),
                real, cpu, Verdict(real <= 1.2 && cpu <= 1.2));
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--sandbox") {
            o.sandbox = value;
        } else if (flag == "--peer") {
            o.peer = value;
        } else if (flag == "--rounds") {
            o.rounds = std::max(1, std::atoi(value.c_str()));
        } else if (flag == "--sends") {
            o.sends = std::max(1, std::atoi(value.c_str()));
        } else if (flag == "--threads") {
            o.threads = std::max(1, std::atoi(value.c_str()));
        } else {
            throw std::runtime_error("unknown option " + flag);
        }
    }
    if (o.sandbox.empty() || o.peer.empty()) throw std::runtime_error("--sandbox and --peer are required");
    return o;
}

int Run(const Options& options) {
    const SandboxProcess keepAlive(options.sandbox, {});
    const SandboxProcess closing(options.sandbox, {"--no-keep-alive"});
    if (!keepAlive.Up()) throw std::runtime_error("the sandbox did not start");
    const test::ScratchDirectory scratch;
    const std::string request = CaptureRequest(keepAlive.HostAndPort(), (scratch.Path() / "keep").string());
    const std::string closingRequest =
        closing.Up() ? CaptureRequest(closing.HostAndPort(), (scratch.Path() / "close").string()) : "";

    Host host(keepAlive.Url(), keepAlive.Certificate());
    std::optional<Host> closingHost;
    if (closing.Up()) closingHost.emplace(closing.Url(), closing.Certificate());
    // Warm-up: what a process does once (libraries, the certificate store) is not measured.
    host.Send();
    if (closingHost) closingHost->Send();
    RunPeer(options, keepAlive, request, "keepalive", 1);

    Series kept, refused, threaded;
    for (int round = 0; round < options.rounds; ++round) {
        kept.ours.push_back(Measure(options.sends, [&] { return host.SendMany(options.sends); }));
        kept.peer.push_back(RunPeer(options, keepAlive, request, "keepalive", 1));
        if (closingHost) {
            refused.ours.push_back(
                Measure(options.sends, [&] { return closingHost->SendMany(options.sends); }));
            refused.peer.push_back(RunPeer(options, closing, closingRequest, "newconn", 1));
        }
        threaded.ours.push_back(RunThreads(keepAlive, options.threads, options.sends));
        threaded.peer.push_back(RunPeer(options, keepAlive, request, "keepalive", options.threads));
    }

    std::printf(
        "\nHTTPS Sends to vexa-sandbox in its own process: %d one-receiver Sends in a row, against\n"
        "Python's http.client posting the same bytes (medians of %d rounds, per Send; CPU of the\n"
        "sending process only); target ours/peer <= 1.2 in real time and CPU\n",
        options.sends, options.rounds);
    PrintSequential("kept alive", kept);
    if (closingHost) {
        PrintSequential("no keep-alive", refused);
    } else {
        std::printf("  no keep-alive  not measured: the sandbox has no --no-keep-alive\n");
    }
    const double rate = 1.0 / threaded.MedianOf(threaded.ours, &Cost::real);
    const double peerRate = 1.0 / threaded.MedianOf(threaded.peer, &Cost::real);
    const double ratio = 1.0 / threaded.Ratio(&Cost::real);
    std::printf(
        "  %d threads      ours %8.0f Sends/s   peer %8.0f requests/s   ours/peer %5.2f  %s (target >= "
        "0.8)\n",
        options.threads, rate, peerRate, ratio, Verdict(ratio >= 0.8));
    return 0;
}

}  // namespace
}  // namespace vexa

int main(int argc, char** argv) {
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    try {
        return vexa::Run(vexa::Parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "https_send_bench: %s\n", e.what());
        return 1;
    }
}
