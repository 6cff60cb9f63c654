#include "contract/contents.h"

#include "automation/guarded.h"
#include "automation/out_param.h"
#include "automation/text.h"

namespace vexa {

// The dispinterface leaves out AddJPEGImageStream: a stream cannot travel late-bound.
std::span<const DispEntry> Contents::DispatchMembers() {
    using M = Members<Contents>;
    static constexpr DispEntry rows[] = {
        M::Get<&IContents::get_Type>("Type", 1),
        M::Put<&IContents::put_Type>("Type", 1),
        M::Get<&IContents::get_Message>("Message", 2),
        M::Put<&IContents::put_Message>("Message", 2),
        M::Get<&IContents::get_Subject>("Subject", 3),
        M::Put<&IContents::put_Subject>("Subject", 3),
        M::Method<&IContents::AddImageFile>("AddImageFile", 4),
        M::Get<&IContents::get_ImageCount>("ImageCount", 6),
        M::Get<&IContents::get_ImagesSize>("ImagesSize", 7),
    };
    return rows;
}

HRESULT Contents::get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept { return CopyOut(type_, pVal); }

HRESULT Contents::put_Type(VEXA_MESSAGE_TYPE newVal) noexcept {
    type_ = newVal;  // unchecked: the sender treats unknown types as SMS
    return S_OK;
}

HRESULT Contents::AddImageFile(BSTR imageFilePath, LONG* pVal) noexcept {
    return AddEntry(pVal, [&]() -> std::optional<ImageEntry> {
        // A path with a NUL in it would open another file.
        const std::u16string_view path(imageFilePath ? imageFilePath : u"", SysStringLen(imageFilePath));
        if (path.find(u'\0') != std::u16string_view::npos) return std::nullopt;
        return MakeEntryFromFile(ToUtf8(path));
    });
}

HRESULT Contents::AddJPEGImageStream(IStream* JPEGImageStream, LONG* pVal) noexcept {
    return AddEntry(pVal, [&] { return MakeEntryFromStream(JPEGImageStream); });
}

template <class MakeEntry>
HRESULT Contents::AddEntry(LONG* pVal, MakeEntry&& makeEntry) noexcept {
    LONG bytes = 0;
    // Whatever fails on the way, memory included, the picture is simply not added.
    const HRESULT hr = Guarded([&]() -> HRESULT {
        std::optional<ImageEntry> entry = makeEntry();
        if (!entry || entry->bytes <= 0) return VEXA_E_NOTADDED;
        bytes = entry->bytes;
        AppendImage(std::move(*entry));
        return S_OK;
    });
    if (pVal) *pVal = SUCCEEDED(hr) ? bytes : 0;
    return SUCCEEDED(hr) ? S_OK : VEXA_E_NOTADDED;
}

HRESULT Contents::GetImages(const std::vector<ImageEntry>** images) noexcept {
    if (!images) return E_POINTER;
    *images = &images_;
    return S_OK;
}

HRESULT Contents::get_ImageCount(LONG* pVal) noexcept {
    return CopyOut(static_cast<LONG>(images_.size()), pVal);
}

HRESULT Contents::get_ImagesSize(LONG* pVal) noexcept {
    uint32_t total = 0;  // 32-bit, as the property is
    for (const ImageEntry& e : images_) total += static_cast<uint32_t>(e.bytes);
    return CopyOut(static_cast<LONG>(total), pVal);
}

}  // namespace vexa
