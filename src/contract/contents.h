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
    virtual HRESULT GetImages(const std::vector<ImageEntry>** images) = 0;
};
template <>
struct InterfaceTraits<IContentsImages> : InterfaceIds<IID_IContentsImages> {};

class Contents final : public AutomationObject<Contents, IContents, IContentsImages> {
public:
    static std::span<const DispEntry> DispatchMembers();

    HRESULT get_Type(VEXA_MESSAGE_TYPE* pVal) override;
    HRESULT put_Type(VEXA_MESSAGE_TYPE newVal) override;
    HRESULT get_Message(BSTR* pVal) override { return CopyBstrOut(message_.Get(), pVal); }
    HRESULT put_Message(BSTR newVal) override { return AssignBstr(message_, newVal); }
    HRESULT get_Subject(BSTR* pVal) override { return CopyBstrOut(subject_.Get(), pVal); }
    HRESULT put_Subject(BSTR newVal) override { return AssignBstr(subject_, newVal); }
    HRESULT AddImageFile(BSTR imageFilePath, LONG* pVal) override;
    HRESULT AddJPEGImageStream(IStream* JPEGImageStream, LONG* pVal) override;
    HRESULT get_ImageCount(LONG* pVal) override;
    HRESULT get_ImagesSize(LONG* pVal) override;

    // For the senders: the pictures in the order they were added.
    const std::vector<ImageEntry>& Images() const { return images_; }
    HRESULT GetImages(const std::vector<ImageEntry>** images) override;
    // Appends a picture; entries are never removed or reordered.
    void AppendImage(ImageEntry entry) { images_.push_back(std::move(entry)); }

private:
    // Appends the picture when there is one, and reports its JPEG bytes or VEXA_E_NOTADDED.
    HRESULT AddEntry(std::optional<ImageEntry> entry, LONG* pVal);

    // A new Contents has no type until the host sets one; SMS is the least surprising default.
    VEXA_MESSAGE_TYPE type_ = VEXA_MESSAGE_TYPE_SMS;
    Bstr message_;
    Bstr subject_;
    std::vector<ImageEntry> images_;
};

}  // namespace vexa
