// A whole sandbox: its data directory, store, certificate, service and listeners. What
// vexa-sandbox runs, and what tests start on loopback.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/certificate.h"
#include "sandbox/clock.h"
#include "sandbox/data_directory.h"
#include "sandbox/http_server.h"
#include "sandbox/io_runtime.h"
#include "sandbox/legacy_listener.h"
#include "sandbox/legacy_service.h"
#include "sandbox/service.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

// The realm the component is built with.
std::string DefaultRealm();

struct SandboxOptions {
    std::filesystem::path dataDir;
    std::string bindAddress = "127.0.0.1";
    // A port given outright is taken or the start fails. 0 takes the port that listener had at
    // the last start on the data directory when it is free, else a free one, so that endpoints
    // handed out before a restart keep working.
    int httpPort = 0;
    int httpsPort = 0;
    std::string realm = DefaultRealm();
    std::vector<AccountSetup> accounts;
    int64_t deliveryDelay = 0;
    // Whether the HTTP and HTTPS listeners let a client keep its connection for further requests.
    bool keepAlive = true;
    HttpTimeouts httpTimeouts;
    // Connections held at once across every listener, overall and per client address; and the
    // bytes of request bodies held at once.
    ConnectionLimits connectionLimits;
    size_t bodyBudget = RuntimeOptions{}.bodyBudget;
    // The legacy TCP listener, on the same address: none without a port (0 as above).
    std::optional<int> legacyPort;
    bool legacySubstitute = false;  // its replies in the byte-substituted form
    // The web inbox's token: asked of every inbox request when given; without it the inbox is
    // served only on a loopback address.
    std::string inboxToken;
    std::chrono::milliseconds legacyTimeout{30000};  // a client stalling longer is dropped
};

// A listener that could not take its port of the last start, which another process holds.
struct MovedPort {
    std::string listener;  // "http", "https", "legacy"
    int recorded = 0;
    int now = 0;
};

class Sandbox {
public:
    // Sets up the accounts, then listens; the endpoints file is written once every listener is up.
    explicit Sandbox(const SandboxOptions& options, Clock clock = SystemClock(),
                     std::function<void(const std::string&)> log = {});
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const Endpoints& GetEndpoints() const { return endpoints_; }
    // Whether the web inbox asks for a token.
    bool InboxNeedsToken() const { return needsToken_; }
    const ListeningPorts& Ports() const { return ports_; }
    const std::vector<MovedPort>& MovedPorts() const { return movedPorts_; }
    const CertificateFiles& Certificate() const { return certificate_; }
    const DataDirectory& Directory() const { return directory_; }
    Store& GetStore() { return store_; }
    // What each --account did, in order.
    const std::vector<std::pair<std::string, Store::AccountChange>>& AccountChanges() const {
        return accountChanges_;
    }

    // Connections the listeners hold now, over every protocol.
    size_t OpenConnections() { return runtime_->Caps().Open(); }

    // Finishes the requests in flight, stops listening and removes the endpoints file. The store
    // closes with the object.
    void Stop();

private:
    void NoteMove(const std::string& listener, const PortChoice& choice, int now);

    DataDirectory directory_;
    Store store_;
    std::vector<std::pair<std::string, Store::AccountChange>> accountChanges_;
    CertificateFiles certificate_;
    Service service_;
    std::unique_ptr<LegacyService> legacyService_;
    // The listeners' connections run on it; it stops after them and before the services go.
    std::unique_ptr<IoRuntime> runtime_;
    std::unique_ptr<HttpServer> server_;
    std::unique_ptr<LegacyListener> legacy_;
    Endpoints endpoints_;
    ListeningPorts ports_;
    std::vector<MovedPort> movedPorts_;
    bool needsToken_ = false;
};

}  // namespace vexa::sandbox
