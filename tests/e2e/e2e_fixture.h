// A real sandbox on loopback (HTTPS, its own certificate) and the module loaded as any host loads
// it: everything between them is the component's own.
#pragma once

#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "sandbox/sandbox.h"
#include "scratch_directory.h"
#include "vexa/com_ptr.h"
#include "vexa_module.h"

namespace vexa::e2e {

using vexa::ComPtr;
using vexa_host::ModuleString;
using vexa_host::VexaModule;

inline const VexaModule& Module() {
    static VexaModule module(VEXA_MODULE_PATH);
    return module;
}

inline std::u16string U(const std::string& utf8) { return vexa_host::Utf16(utf8); }

class EndToEndTest : public ::testing::Test {
protected:
    static constexpr int64_t kCredit = 50;

    void SetUp() override { Start(); }

    void Start() {
        sandbox::SandboxOptions options;
        options.dataDir = directory_.Path();
        options.accounts.push_back({"kim", "secret", kCredit, "김민수", "02-123-4567"});
        if (withLegacyListener_) options.legacyPort = 0;
        options.deliveryDelay = deliveryDelay_;
        sandbox_ = std::make_unique<sandbox::Sandbox>(options, clock_.AsClock());
    }
    void Restart() {
        sandbox_.reset();
        Start();
    }

    // A Message pointed at the sandbox over HTTPS, trusting its certificate, with an account set.
    ComPtr<IMessage> NewMessage(const std::string& user = "kim", const std::string& password = "secret") {
        return NewMessageOf(Module(), user, password);
    }
    // The same from a module the test loads itself.
    ComPtr<IMessage> NewMessageOf(const VexaModule& m, const std::string& user = "kim",
                                  const std::string& password = "secret") {
        ComPtr<IMessage> message;
        EXPECT_EQ(m.CreateObject(CLSID_Message, IID_IMessage, message.OutVoid()), S_OK);
        ComPtr<IServiceEndpoint> endpoint;
        EXPECT_EQ(message.As(IID_IServiceEndpoint, endpoint), S_OK);
        ModuleString url(m, U(sandbox_->GetEndpoints().https));
        ModuleString pem(m, U(sandbox_->Certificate().certificate.string()));
        EXPECT_EQ(endpoint->SetEndpoint(url.Get()), S_OK);
        EXPECT_EQ(endpoint->SetTrustedCertificates(pem.Get()), S_OK);
        ModuleString id(m, U(user)), secret(m, U(password));
        EXPECT_EQ(message->SetAccountInfo(id.Get(), secret.Get()), S_OK);
        return message;
    }

    // Set before SetUp: the sandbox also listens for the legacy TCP protocol, on a free port.
    bool withLegacyListener_ = false;
    // Set before SetUp: how long a receiver waits for its report once handed over.
    int64_t deliveryDelay_ = 0;
    vexa::test::ScratchDirectory directory_;
    sandbox::ManualClock clock_{static_cast<int64_t>(std::time(nullptr))};
    std::unique_ptr<sandbox::Sandbox> sandbox_;
};

}  // namespace vexa::e2e
