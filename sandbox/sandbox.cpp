#include "sandbox/sandbox.h"

#ifndef VEXA_AUTH_REALM
#error "VEXA_AUTH_REALM comes from the build"
#endif

namespace vexa::sandbox {

std::string DefaultRealm() { return VEXA_AUTH_REALM; }

Sandbox::Sandbox(const SandboxOptions& options, Clock clock, std::function<void(const std::string&)> log)
    : directory_(options.dataDir),
      store_(directory_.StoreFile()),
      certificate_(EnsureSandboxCertificate(directory_.Path())),
      service_(store_, {options.realm, options.deliveryDelay}, clock) {
    for (const AccountSetup& account : options.accounts) {
        accountChanges_.emplace_back(account.userId, store_.SetUpAccount(account));
    }
    ListenerOptions listeners;
    listeners.bindAddress = options.bindAddress;
    listeners.httpPort = options.httpPort;
    listeners.httpsPort = options.httpsPort;
    listeners.certificate = certificate_;
    listeners.log = log;
    server_ = std::make_unique<HttpServer>(service_, listeners);
    endpoints_ = server_->GetEndpoints();
    if (options.legacyPort) {
        legacyService_ =
            std::make_unique<LegacyService>(store_, LegacySettings{options.deliveryDelay}, std::move(clock));
        LegacyListenerOptions legacy;
        legacy.bindAddress = options.bindAddress;
        legacy.port = *options.legacyPort;
        legacy.substitute = options.legacySubstitute;
        legacy.timeout = options.legacyTimeout;
        legacy.log = std::move(log);
        legacy_ = std::make_unique<LegacyListener>(*legacyService_, std::move(legacy));
        endpoints_.legacy = legacy_->Address();
    }
    directory_.WriteEndpoints(endpoints_, certificate_.certificate);
}

Sandbox::~Sandbox() { Stop(); }

void Sandbox::Stop() {
    directory_.RemoveEndpoints();
    server_->Stop();
    if (legacy_) legacy_->Stop();
}

}  // namespace vexa::sandbox
