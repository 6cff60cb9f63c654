#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "automation/guarded.h"
#include "automation/memory_stream.h"

namespace vexa {

namespace {

constexpr uint64_t kMaxPosition = std::numeric_limits<int64_t>::max();

// Grows or shrinks the bytes, zero-filling what is new; false when memory runs out.
bool Resize(MemoryStream::Bytes& bytes, uint64_t size) noexcept {
    if (size > bytes.max_size()) return false;
    return SUCCEEDED(Guarded([&] {
        bytes.resize(static_cast<size_t>(size));
        return S_OK;
    }));
}

}  // namespace

size_t MemoryStream::Available() const {
    return position_ < bytes_->size() ? bytes_->size() - static_cast<size_t>(position_) : 0;
}

HRESULT MemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept {
    if (pcbRead) *pcbRead = 0;
    if (cb == 0) return S_OK;
    if (!pv) return STG_E_INVALIDPOINTER;
    const size_t n = std::min<size_t>(cb, Available());
    if (n) std::memcpy(pv, bytes_->data() + position_, n);
    position_ += n;
    if (pcbRead) *pcbRead = static_cast<ULONG>(n);
    return S_OK;
}

HRESULT MemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) noexcept {
    if (pcbWritten) *pcbWritten = 0;
    if (cb == 0) return S_OK;
    if (!pv) return STG_E_INVALIDPOINTER;
    const uint64_t end = position_ + cb;  // position_ <= INT64_MAX, so this cannot wrap
    if (end > bytes_->size() && !Resize(*bytes_, end)) return STG_E_MEDIUMFULL;
    std::memcpy(bytes_->data() + position_, pv, cb);
    position_ = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) noexcept {
    int64_t base;
    switch (dwOrigin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<int64_t>(position_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<int64_t>(bytes_->size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    int64_t target;
    if (__builtin_add_overflow(base, dlibMove.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(target);
    if (plibNewPosition) plibNewPosition->QuadPart = position_;
    return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER libNewSize) noexcept {
    if (libNewSize.QuadPart > kMaxPosition || !Resize(*bytes_, libNewSize.QuadPart)) return STG_E_MEDIUMFULL;
    return S_OK;
}

HRESULT MemoryStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                             ULARGE_INTEGER* pcbWritten) noexcept {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (!pstm) return STG_E_INVALIDPOINTER;
    uint64_t left = std::min<uint64_t>(cb.QuadPart, Available());
    uint64_t read = 0, written = 0;
    HRESULT hr = S_OK;
    // Through a buffer of our own: the target may be a clone of this stream, and growing it
    // would move the bytes under a pointer into them.
    std::array<uint8_t, 4096> buffer;
    while (left > 0) {
        const ULONG n = static_cast<ULONG>(std::min<uint64_t>(left, buffer.size()));
        std::memcpy(buffer.data(), bytes_->data() + position_, n);
        position_ += n;
        read += n;
        left -= n;
        ULONG done = 0;
        hr = pstm->Write(buffer.data(), n, &done);
        written += std::min(done, n);
        if (FAILED(hr) || done < n) break;
    }
    if (pcbRead) pcbRead->QuadPart = read;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT MemoryStream::Commit(DWORD) noexcept { return S_OK; }

HRESULT MemoryStream::Revert() noexcept { return S_OK; }

HRESULT MemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
    return STG_E_INVALIDFUNCTION;
}

HRESULT MemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
    return STG_E_INVALIDFUNCTION;
}

HRESULT MemoryStream::Stat(STATSTG* pstatstg, DWORD) noexcept {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = bytes_->size();
    pstatstg->grfMode = STGM_READWRITE;
    return S_OK;
}

HRESULT MemoryStream::Clone(IStream** ppstm) noexcept {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    ComPtr<MemoryStream> clone = Make(bytes_, position_);
    if (!clone) return E_OUTOFMEMORY;
    *ppstm = clone.Detach();
    return S_OK;
}

}  // namespace vexa

extern "C" HRESULT CreateStreamOnHGlobal(void* hGlobal, int32_t /*fDeleteOnRelease*/, IStream** ppstm) {
    return vexa::Guarded([&] {
        if (!ppstm) return E_INVALIDARG;
        *ppstm = nullptr;
        // Only fresh buffers: the memory is always the stream's own and goes with its last reference.
        if (hGlobal) return E_INVALIDARG;
        vexa::ComPtr<vexa::MemoryStream> stream =
            vexa::MemoryStream::Make(std::make_shared<vexa::MemoryStream::Bytes>(), 0);
        if (!stream) return E_OUTOFMEMORY;
        *ppstm = stream.Detach();
        return S_OK;
    });
}
