#include "contract/contents.h"

#include "automation/out_param.h"

namespace vexa {

std::span<const InterfaceEntry> Contents::Interfaces() {
    using M = InterfaceMap<Contents>;
    static constexpr InterfaceEntry map[] = {
        M::Entry<IContents>(IID_IContents),
        M::Entry<IContents>(DIID_DispContents),
        M::Entry<IContentsImages>(IID_IContentsImages),
    };
    return map;
}

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

// Pictures arrive with the imaging subsystem; until then nothing is added.
HRESULT Contents::AddImageFile(BSTR, LONG* pVal) {
    if (pVal) *pVal = 0;
    return E_NOTIMPL;
}

HRESULT Contents::AddJPEGImageStream(IStream*, LONG* pVal) {
    if (pVal) *pVal = 0;
    return E_NOTIMPL;
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
