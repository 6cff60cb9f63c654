#include "sandbox/base64.h"

#include <climits>
#include <memory>
#include <openssl/evp.h>

namespace vexa::sandbox {

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() > static_cast<size_t>(INT_MAX)) return std::nullopt;
    const std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> context(EVP_ENCODE_CTX_new(),
                                                                                  EVP_ENCODE_CTX_free);
    if (!context) return std::nullopt;
    EVP_DecodeInit(context.get());
    std::string bytes(text.size() / 4 * 3 + 64, '\0');
    int written = 0;
    if (EVP_DecodeUpdate(context.get(), reinterpret_cast<unsigned char*>(bytes.data()), &written,
                         reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) < 0) {
        return std::nullopt;
    }
    int last = 0;
    if (EVP_DecodeFinal(context.get(), reinterpret_cast<unsigned char*>(bytes.data()) + written, &last) !=
        1) {
        return std::nullopt;
    }
    bytes.resize(static_cast<size_t>(written + last));
    return bytes;
}

}  // namespace vexa::sandbox
