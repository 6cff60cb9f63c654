#include <algorithm>
#include <openssl/evp.h>

#include "platform/base64.h"

namespace vexa {

void AppendBase64(std::span<const uint8_t> bytes, std::string& out) {
    const size_t start = out.size();
    const size_t chars = (bytes.size() + 2) / 3 * 4;
    // One byte more: EVP_EncodeBlock ends what it writes with a NUL.
    out.resize(start + chars + 1);
    // EVP_EncodeBlock takes an int length: long inputs go in whole groups of three bytes.
    constexpr size_t kPiece = 3 * (1u << 28);
    char* at = out.data() + start;
    for (size_t done = 0; done < bytes.size(); done += kPiece) {
        const size_t take = std::min(kPiece, bytes.size() - done);
        at += EVP_EncodeBlock(reinterpret_cast<unsigned char*>(at), bytes.data() + done,
                              static_cast<int>(take));
    }
    out.resize(start + chars);
}

}  // namespace vexa
