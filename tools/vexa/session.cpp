#include "session.h"

#include <cstdio>

#include "arguments.h"
#include "vexa/activation.h"

namespace vexa_cli {

using vexa_host::ModuleString;
using vexa_host::Utf16;

std::string HexCode(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return code;
}

ComponentError::ComponentError(HRESULT code, std::string member, std::string text)
    : std::runtime_error(member + ": " + (text.empty() ? "error" : text) + " (" + HexCode(code) + ")"),
      code_(code),
      member_(std::move(member)),
      text_(std::move(text)) {}

Session::Session(const ComponentLocation& component, std::optional<LegacyServer> legacy)
    : component_(component), module_(component.module.string()) {
    front_ = legacy ? MakeLegacyBackend(*this, std::move(*legacy)) : MakeMessageBackend(*this);
}

Session::Session(const std::filesystem::path& modulePath, std::optional<LegacyServer> legacy)
    : Session(ComponentLocation{ModuleSource::kGiven, modulePath}, std::move(legacy)) {}

HRESULT Session::CreateFront(const CLSID& clsid, const OLECHAR* progId, const IID& iid, void** ppv) const {
    if (component_.source == ModuleSource::kRegistered) return VexaCreateObject(progId, &iid, ppv);
    return module_.CreateObject(clsid, iid, ppv);
}

Session::~Session() = default;

void Session::SetEndpoint(const std::string& url, const std::string& trustedCertificates) {
    if (url.empty() && trustedCertificates.empty()) return;
    const auto endpoint =
        Query<IServiceEndpoint>(*this, front_->Object(), IID_IServiceEndpoint, "IServiceEndpoint");
    // E_INVALIDARG is the component's verdict on what was typed.
    auto apply = [&](HRESULT hr, const char* member, const std::string& value, const char* what) {
        if (hr == E_INVALIDARG) throw UsageError(what + (" refused: '" + value + "'"));
        Check(hr, member);
    };
    if (!url.empty()) apply(endpoint->SetEndpoint(String(url).Get()), "SetEndpoint", url, "endpoint");
    if (!trustedCertificates.empty())
        apply(endpoint->SetTrustedCertificates(String(trustedCertificates).Get()), "SetTrustedCertificates",
              trustedCertificates, "certificate file");
}

void Session::SetAccount(const std::string& user, const std::string& password) {
    front_->SetAccount(user, password);
}

void Session::Check(HRESULT hr, const std::string& member) const {
    if (SUCCEEDED(hr)) return;
    throw ComponentError(hr, member, ErrorText(hr));
}

std::string Session::ErrorText(HRESULT hr) const { return front_->ErrorText(hr); }

ModuleString Session::String(const std::string& text) const { return ModuleString(module_, Utf16(text)); }

}  // namespace vexa_cli
