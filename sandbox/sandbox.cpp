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
      service_(store_, {options.realm, options.deliveryDelay}, std::move(clock)) {
    for (const AccountSetup& account : options.accounts) {
        accountChanges_.emplace_back(account.userId, store_.SetUpAccount(account));
    }
    ListenerOptions listeners;
    listeners.bindAddress = options.bindAddress;
    listeners.httpPort = options.httpPort;
    listeners.httpsPort = options.httpsPort;
    listeners.certificate = certificate_;
    listeners.log = std::move(log);
    server_ = std::make_unique<HttpServer>(service_, listeners);
    directory_.WriteEndpoints(server_->GetEndpoints(), certificate_.certificate);
}

Sandbox::~Sandbox() { Stop(); }

void Sandbox::Stop() {
    directory_.RemoveEndpoints();
    server_->Stop();
}

}  // namespace vexa::sandbox
