#include <windows.h>

#include <wincrypt.h>

#include "platform/system_random.h"

namespace vexa {

namespace {

// The default RSA provider, acquired once on first use and released when the module unloads. No
// key container: a verify-only context needs none, where asking for the default container fails
// on accounts that have never made one.
class RandomProvider {
public:
    RandomProvider() {
        if (!CryptAcquireContextA(&handle_, nullptr, nullptr, PROV_RSA_FULL,
                                  CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
            handle_ = 0;
    }
    RandomProvider(const RandomProvider&) = delete;
    RandomProvider& operator=(const RandomProvider&) = delete;
    ~RandomProvider() {
        if (handle_) CryptReleaseContext(handle_, 0);
    }
    HCRYPTPROV Get() const { return handle_; }

private:
    HCRYPTPROV handle_ = 0;
};

}  // namespace

bool SystemRandom(void* out, size_t size) {
    static const RandomProvider provider;
    if (size > MAXDWORD || !provider.Get()) return false;
    return CryptGenRandom(provider.Get(), static_cast<DWORD>(size), static_cast<BYTE*>(out)) != FALSE;
}

}  // namespace vexa
