#include "sandbox/sandbox.h"

#ifndef VEXA_AUTH_REALM
#error "VEXA_AUTH_REALM comes from the build"
#endif

namespace vexa::sandbox {

namespace {

PortChoice Choose(int given, int recorded) {
    if (given != 0 || recorded == 0) return {given, false};
    return {recorded, true};
}

// The one account's user ID, for scripts that set up a client; empty when there are more (or
// none), or when it would not fit on one line of the endpoints file.
std::string SoleUser(Store& store) {
    const std::vector<std::string> ids = store.UserIds();
    if (ids.size() != 1 || ids[0].find_first_of("\r\n") != std::string::npos) return {};
    return ids[0];
}

}  // namespace

std::string DefaultRealm() { return VEXA_AUTH_REALM; }

Sandbox::Sandbox(const SandboxOptions& options, Clock clock, std::function<void(const std::string&)> log)
    : directory_(options.dataDir),
      store_(directory_.StoreFile()),
      certificate_(EnsureSandboxCertificate(directory_.Path())),
      service_(store_,
               {options.realm,
                options.deliveryDelay,
                {IsLoopbackAddress(options.bindAddress), options.inboxToken}},
               clock),
      needsToken_(!options.inboxToken.empty()) {
    for (const AccountSetup& account : options.accounts) {
        accountChanges_.emplace_back(account.userId, store_.SetUpAccount(account));
    }
    const ListeningPorts recorded = directory_.RecordedPorts();
    RuntimeOptions runtime;
    runtime.limits = options.connectionLimits;
    runtime.bodyBudget = options.bodyBudget;
    runtime_ = std::make_unique<IoRuntime>(runtime);
    ListenerOptions listeners;
    listeners.bindAddress = options.bindAddress;
    listeners.http = Choose(options.httpPort, recorded.http);
    listeners.https = Choose(options.httpsPort, recorded.https);
    listeners.certificate = certificate_;
    listeners.keepAlive = options.keepAlive;
    listeners.timeouts = options.httpTimeouts;
    listeners.log = log;
    server_ = std::make_unique<HttpServer>(service_, listeners, *runtime_);
    endpoints_ = server_->GetEndpoints();
    if (service_.InboxEnabled()) endpoints_.inbox = endpoints_.http + "/inbox/";
    ports_.http = server_->HttpPort();
    ports_.https = server_->HttpsPort();
    NoteMove("http", listeners.http, ports_.http);
    NoteMove("https", listeners.https, ports_.https);
    if (options.legacyPort) {
        legacyService_ =
            std::make_unique<LegacyService>(store_, LegacySettings{options.deliveryDelay}, std::move(clock));
        LegacyListenerOptions legacy;
        legacy.bindAddress = options.bindAddress;
        legacy.port = Choose(*options.legacyPort, recorded.legacy);
        const PortChoice legacyChoice = legacy.port;
        legacy.substitute = options.legacySubstitute;
        legacy.timeout = options.legacyTimeout;
        legacy.log = std::move(log);
        legacy_ = std::make_unique<LegacyListener>(*legacyService_, std::move(legacy), *runtime_);
        endpoints_.legacy = legacy_->Address();
        ports_.legacy = legacy_->Port();
        NoteMove("legacy", legacyChoice, ports_.legacy);
    }
    // A start without the legacy listener keeps its port for the next one with it.
    directory_.RecordPorts({ports_.http, ports_.https, legacy_ ? ports_.legacy : recorded.legacy});
    directory_.WriteEndpoints(endpoints_, certificate_.certificate, SoleUser(store_));
}

Sandbox::~Sandbox() { Stop(); }

void Sandbox::NoteMove(const std::string& listener, const PortChoice& choice, int now) {
    if (choice.elseFree && now != choice.port) movedPorts_.push_back({listener, choice.port, now});
}

void Sandbox::Stop() {
    directory_.RemoveEndpoints();
    server_->Stop();
    if (legacy_) legacy_->Stop();
    runtime_->Stop();
}

}  // namespace vexa::sandbox
