// Contents: what a send shares across its receivers (type, text, subject, pictures).
#pragma once

#include <string>
#include <vector>

#include "automation/bstr.h"
#include "automation/dispatch.h"
#include "contract/contract_interfaces.h"
#include "imaging/image_entry.h"
#include "vexa/VexaComponent.h"

namespace vexa {

// Not in the contract: how a sender reaches the pictures of one of our Contents objects (they
// are not reachable through IContents).
inline constexpr IID IID_IContentsImages = GuidFromString("945D1480-B7C4-49AF-9D31-6A4647837D8A");
struct IContentsImages : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetImages(const std::vector<ImageEntry>** images) = 0;
};
template <>
struct InterfaceTraits<IContentsImages> : InterfaceIds<IID_IContentsImages> {};

class Contents final : public AutomationObject<Contents, IContents, IContentsImages> {
public:
    static std::span<const DispEntry> DispatchMembers();

    HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Type(VEXA_MESSAGE_TYPE newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) noexcept override {
        return CopyBstrOut(message_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Message(BSTR newVal) noexcept override {
        return AssignBstr(message_, newVal);
    }
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR* pVal) noexcept override {
        return CopyBstrOut(subject_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Subject(BSTR newVal) noexcept override {
        return AssignBstr(subject_, newVal);
    }
    HRESULT STDMETHODCALLTYPE AddImageFile(BSTR imageFilePath, LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE AddJPEGImageStream(IStream* JPEGImageStream, LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ImageCount(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ImagesSize(LONG* pVal) noexcept override;

    // For the senders: the pictures in the order they were added.
    const std::vector<ImageEntry>& Images() const { return images_; }
    HRESULT STDMETHODCALLTYPE GetImages(const std::vector<ImageEntry>** images) noexcept override;
    // Appends a picture; entries are never removed or reordered.
    void AppendImage(ImageEntry entry) { images_.push_back(std::move(entry)); }

private:
    // Appends the picture that makeEntry() makes, when it makes one, and reports its JPEG bytes
    // or VEXA_E_NOTADDED.
    template <class MakeEntry>
    HRESULT AddEntry(LONG* pVal, MakeEntry&& makeEntry) noexcept;

    // A new Contents has no type until the host sets one; SMS is the least surprising default.
    VEXA_MESSAGE_TYPE type_ = VEXA_MESSAGE_TYPE_SMS;
    Bstr message_;
    Bstr subject_;
    std::vector<ImageEntry> images_;
};

}  // namespace vexa
