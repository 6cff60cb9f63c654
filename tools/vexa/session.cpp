#include "session.h"

#include <cstdio>

#include "arguments.h"

namespace vexa_cli {

using vexa_host::ModuleString;
using vexa_host::Utf16;
using vexa_host::Utf8;

namespace {

std::string HexCode(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return code;
}

}  // namespace

Session::Session(const std::filesystem::path& modulePath) : module_(modulePath.string()) {
    const HRESULT hr = module_.CreateObject(CLSID_Message, IID_IMessage, message_.OutVoid());
    if (FAILED(hr)) throw std::runtime_error("cannot create a Message object (" + HexCode(hr) + ")");
}

void Session::SetEndpoint(const std::string& url, const std::string& trustedCertificates) {
    if (url.empty() && trustedCertificates.empty()) return;
    const auto endpoint =
        Query<IServiceEndpoint>(*this, message_.Get(), IID_IServiceEndpoint, "IServiceEndpoint");
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
    Check(message_->SetAccountInfo(String(user).Get(), String(password).Get()), "SetAccountInfo");
}

LONG Session::ArrayBase() const { return Get(*this, message_.Get(), &IMessage::get_ArrayBase, "ArrayBase"); }

void Session::Check(HRESULT hr, const std::string& member) const {
    if (SUCCEEDED(hr)) return;
    const std::string text = ErrorText(hr);
    throw ComponentError(hr, member + ": " + (text.empty() ? "error" : text) + " (" + HexCode(hr) + ")");
}

std::string Session::ErrorText(HRESULT hr) const {
    ModuleString text(module_);
    if (FAILED(message_->GetErrorMessage(static_cast<VEXA_E_CONSTANTS>(hr), text.Out()))) return {};
    std::string utf8 = Utf8(text.Text());
    utf8.erase(utf8.find_last_not_of(" \r\n\t") + 1);
    return utf8;
}

ModuleString Session::String(const std::string& text) const { return ModuleString(module_, Utf16(text)); }

}  // namespace vexa_cli
