// IServiceEndpoint: where this Message object's requests go.
#include <fstream>

#include "automation/guarded.h"
#include "automation/text.h"
#include "message/endpoint_url.h"
#include "message/message.h"

namespace vexa {

HRESULT Message::SetEndpoint(BSTR url) noexcept {
    return Guarded([&]() -> HRESULT {
        const std::optional<Endpoint> endpoint = ParseEndpointUrl(ToUtf8(Bstr(url).View()));
        if (!endpoint) return E_INVALIDARG;
        context_.host = endpoint->host;
        context_.port = endpoint->port;
        context_.secure = endpoint->secure;
        return S_OK;
    });
}

HRESULT Message::SetTrustedCertificates(BSTR pemFile) noexcept {
    return Guarded([&]() -> HRESULT {
        const std::string path = ToUtf8(Bstr(pemFile).View());
        if (!path.empty() && !std::ifstream(path, std::ios::binary).good()) return E_INVALIDARG;
        context_.trustedCertificates = path;
        return S_OK;
    });
}

}  // namespace vexa
