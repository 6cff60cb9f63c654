#include <windows.h>

#include <algorithm>
#include <new>
#include <wincrypt.h>

#include "platform/base64.h"

namespace vexa {

void AppendBase64(std::span<const uint8_t> bytes, std::string& out) {
    constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    // CryptBinaryToStringA takes a DWORD length: long inputs go in whole groups of three bytes.
    constexpr size_t kPiece = 3 * (1u << 28);
    for (size_t done = 0; done < bytes.size(); done += kPiece) {
        const auto take = static_cast<DWORD>(std::min(kPiece, bytes.size() - done));
        const size_t chars = (take + 2) / 3 * 4;
        const size_t start = out.size();
        // Room for the NUL it writes after the text.
        out.resize(start + chars + 1);
        DWORD size = static_cast<DWORD>(chars + 1);
        // It fails only when it cannot allocate.
        if (!CryptBinaryToStringA(bytes.data() + done, take, kFlags, out.data() + start, &size)) {
            throw std::bad_alloc();
        }
        out.resize(start + chars);
    }
}

}  // namespace vexa
