#include "imaging/base64_lines.h"

#include <algorithm>
#include <openssl/evp.h>

namespace vexa {

namespace {

constexpr size_t kLineBytes = 48;  // 64 characters
constexpr size_t kLineChars = 64;

}  // namespace

size_t Base64LinesLength(size_t n) {
    const size_t chars = (n + 2) / 3 * 4;
    const size_t lines = (chars + kLineChars - 1) / kLineChars;
    return chars + 2 * lines;
}

void Base64LinesAppend(std::span<const uint8_t> bytes, std::string& out) {
    const size_t start = out.size();
    // One byte more: EVP_EncodeBlock ends every line it writes with a NUL.
    out.resize(start + Base64LinesLength(bytes.size()) + 1);
    char* at = out.data() + start;
    for (size_t done = 0; done < bytes.size(); done += kLineBytes) {
        const size_t take = std::min(kLineBytes, bytes.size() - done);
        at += EVP_EncodeBlock(reinterpret_cast<unsigned char*>(at), bytes.data() + done,
                              static_cast<int>(take));
        *at++ = '\r';
        *at++ = '\n';
    }
    out.resize(static_cast<size_t>(at - out.data()));
}

}  // namespace vexa
