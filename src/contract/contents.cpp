#include "contract/contents.h"

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

HRESULT Contents::get_Type(VEXA_MESSAGE_TYPE* pVal) { return CopyOut(type_, pVal); }

HRESULT Contents::put_Type(VEXA_MESSAGE_TYPE newVal) {
    type_ = newVal;  // unchecked: the sender treats unknown types as SMS
    return S_OK;
}

HRESULT Contents::AddImageFile(BSTR imageFilePath, LONG* pVal) {
    std::optional<ImageEntry> entry;
    // A path with a NUL in it would open another file.
    const std::u16string_view path(imageFilePath ? imageFilePath : u"", SysStringLen(imageFilePath));
    if (path.find(u'\0') == std::u16string_view::npos) entry = MakeEntryFromFile(ToUtf8(path));
    return AddEntry(std::move(entry), pVal);
}

HRESULT Contents::AddJPEGImageStream(IStream* JPEGImageStream, LONG* pVal) {
    return AddEntry(MakeEntryFromStream(JPEGImageStream), pVal);
}

HRESULT Contents::AddEntry(std::optional<ImageEntry> entry, LONG* pVal) {
    if (!entry || entry->bytes <= 0) {
        if (pVal) *pVal = 0;
        return VEXA_E_NOTADDED;
    }
    const LONG bytes = entry->bytes;
    try {
        AppendImage(std::move(*entry));
    } catch (const std::bad_alloc&) {
        if (pVal) *pVal = 0;
        return VEXA_E_NOTADDED;
    }
    if (pVal) *pVal = bytes;
    return S_OK;
}

HRESULT Contents::GetImages(const std::vector<ImageEntry>** images) {
    if (!images) return E_POINTER;
    *images = &images_;
    return S_OK;
}

HRESULT Contents::get_ImageCount(LONG* pVal) { return CopyOut(static_cast<LONG>(images_.size()), pVal); }

HRESULT Contents::get_ImagesSize(LONG* pVal) {
    uint32_t total = 0;  // 32-bit, as the property is
    for (const ImageEntry& e : images_) total += static_cast<uint32_t>(e.bytes);
    return CopyOut(static_cast<LONG>(total), pVal);
}

}  // namespace vexa
