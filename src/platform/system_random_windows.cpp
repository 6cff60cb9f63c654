#include <windows.h>

#include <wincrypt.h>

#include "platform/system_random.h"

namespace vexa {

bool SystemRandom(void* out, size_t size) {
    if (size > MAXDWORD) return false;
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return false;
    }
    const bool filled = CryptGenRandom(provider, static_cast<DWORD>(size), static_cast<BYTE*>(out)) != FALSE;
    CryptReleaseContext(provider, 0);
    return filled;
}

}  // namespace vexa
