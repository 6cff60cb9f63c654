#include "automation/stream_reading.h"

#include <algorithm>
#include <limits>

#include "automation/guarded.h"

namespace vexa {

namespace {
constexpr size_t kChunk = 64 * 1024;
}

HRESULT ReadWholeStream(IStream* stream, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    if (!stream) return E_POINTER;
    const size_t cap = limit < std::numeric_limits<size_t>::max() ? limit + 1 : limit;
    const HRESULT hr = Guarded([&] {
        for (;;) {
            // One byte past the limit is enough to know that it was passed.
            const size_t want = std::min(kChunk, cap - out.size());
            if (want == 0) return S_OK;
            const size_t at = out.size();
            out.resize(at + want);
            ULONG got = 0;
            const HRESULT read = stream->Read(out.data() + at, static_cast<ULONG>(want), &got);
            if (FAILED(read)) return read;
            if (got > want) return E_FAIL;
            out.resize(at + got);
            if (got == 0) return S_OK;
        }
    });
    if (SUCCEEDED(hr) && out.size() <= limit) return S_OK;
    out.clear();
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace vexa
