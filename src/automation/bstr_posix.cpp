// The Linux stand-in's BSTR runtime: the 4 bytes before the characters hold their length in
// bytes, and a 16-bit NUL follows them.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "vexa/automation.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);

BSTR AllocateBstr(size_t chars) {
    if (chars > (std::numeric_limits<uint32_t>::max() - kPrefix - 2) / sizeof(OLECHAR)) return nullptr;
    auto* block = static_cast<unsigned char*>(std::calloc(1, kPrefix + (chars + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    const uint32_t bytes = static_cast<uint32_t>(chars * sizeof(OLECHAR));
    std::memcpy(block, &bytes, kPrefix);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

size_t Strlen16(const OLECHAR* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

// Called by hosts, so nothing may throw: these use only C allocation and copies.
extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(Strlen16(psz)));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    BSTR b = AllocateBstr(ui);
    if (b && strIn) std::memcpy(b, strIn, size_t{ui} * sizeof(OLECHAR));
    return b;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return 0;
    BSTR fresh = SysAllocString(psz);
    if (psz && !fresh) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(reinterpret_cast<unsigned char*>(bstrString) - kPrefix);
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(bstr) - kPrefix, kPrefix);
    return bytes;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

}  // extern "C"
