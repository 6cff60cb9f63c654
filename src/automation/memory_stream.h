// A growable in-memory IStream (what CreateStreamOnHGlobal(nullptr, ...) gives), and reading a
// host's stream whatever it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "automation/com_object.h"
#include "vexa/automation.h"

namespace vexa {

class MemoryStream final : public ComObject<MemoryStream, IStream> {
public:
    using Bytes = std::vector<uint8_t>;

    // Clones share bytes; each stream has its own position.
    MemoryStream(std::shared_ptr<Bytes> bytes, uint64_t position) noexcept
        : bytes_(std::move(bytes)), position_(position) {}

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept override;
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) noexcept override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                   ULARGE_INTEGER* plibNewPosition) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) noexcept override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                     ULARGE_INTEGER* pcbWritten) noexcept override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) noexcept override;
    HRESULT STDMETHODCALLTYPE Revert() noexcept override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                         DWORD dwLockType) noexcept override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                           DWORD dwLockType) noexcept override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) noexcept override;

private:
    size_t Available() const;

    std::shared_ptr<Bytes> bytes_;
    // May lie beyond the end; never above INT64_MAX.
    uint64_t position_;
};

}  // namespace vexa
