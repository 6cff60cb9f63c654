// Sending: the host's receivers and contents become one messages request; the reply's
// receivers become SendResult objects.
#include "automation/date.h"
#include "automation/guarded.h"
#include "automation/text.h"
#include "contract/array_base.h"
#include "contract/contents.h"
#include "contract/host_receivers.h"
#include "contract/read_property.h"
#include "contract/send_result.h"
#include "contract/single_entry_call.h"
#include "message/message.h"
#include "message/send_results.h"
#include "rest/messages_document.h"

namespace vexa {

namespace {

constexpr LONG kMaxImagesSize = 3000000;  // bytes of JPEG data in one multimedia message

// The host's receivers as the request's; a reserved one makes the whole request a reservation.
void ReadReceivers(IReceivers* receivers, CRondoMessage& request) {
    for (HostReceiver& r : ReadHostReceivers(receivers)) {
        const bool reserved = r.mode == VEXA_RESERVATION;
        if (reserved) request.reservation = true;
        request.receivers.push_back({.name = std::move(r.name),
                                     .message = std::move(r.message),
                                     .sendTime = reserved ? TimeTFromDate(r.sendTime) : 0,
                                     .phone = std::move(r.phone)});
    }
}

// The host's Contents into the request: the common text, for LMS and MMS the type word and the
// subject, for MMS the pictures, which together may not exceed kMaxImagesSize. type is what the
// Contents says, which the send results report.
HRESULT ReadContents(IContents* contents, CRondoMessage& request, VEXA_MESSAGE_TYPE& type) {
    request.message = ReadLocalText(contents, &IContents::get_Message);
    contents->get_Type(&type);
    if (type == VEXA_MESSAGE_TYPE_LMS || type == VEXA_MESSAGE_TYPE_MMS) {
        request.type = type == VEXA_MESSAGE_TYPE_LMS ? "lms" : "mms";
        request.subject = ReadLocalText(contents, &IContents::get_Subject);
    }
    if (type != VEXA_MESSAGE_TYPE_MMS) return S_OK;

    LONG imageCount = 0, imagesSize = 0;
    contents->get_ImageCount(&imageCount);
    contents->get_ImagesSize(&imagesSize);
    if (static_cast<ULONG>(imagesSize) > static_cast<ULONG>(kMaxImagesSize)) return VEXA_E_FILEISTOOLARGE;
    if (imageCount <= 0) return S_OK;
    // The pictures are read from our own Contents object; another one cannot lend them.
    ComPtr<IContentsImages> source;
    const std::vector<ImageEntry>* images = nullptr;
    if (FAILED(QueryAs(contents, IID_IContentsImages, source)) || FAILED(source->GetImages(&images)))
        return E_INVALIDARG;
    for (LONG i = 0; i < imageCount && static_cast<size_t>(i) < images->size(); ++i)
        request.images.push_back((*images)[static_cast<size_t>(i)].dataUri);
    return S_OK;
}

}  // namespace

HRESULT Message::Send(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch* pContents,
                      IDispatch** ppSendResults) noexcept {
    return Guarded([&]() -> HRESULT {
        ClearOut(ppSendResults);
        if (!pReceivers) return E_INVALIDARG;
        ComPtr<IReceivers> receivers;
        if (FAILED(QueryAs(pReceivers, IID_IReceivers, receivers))) return E_INVALIDARG;
        ComPtr<IContents> contents;
        if (pContents && FAILED(QueryAs(pContents, IID_IContents, contents))) return E_INVALIDARG;

        CRondoMessages entity(context_);
        CRondoMessage& request = entity.message;
        request.sender = ToLocal(bstrReturnPhone);
        ReadReceivers(receivers.Get(), request);
        if (request.receivers.empty()) return VEXA_E_RECEIVERNOTFOUND;
        VEXA_MESSAGE_TYPE resultType = VEXA_MESSAGE_TYPE_SMS;
        if (contents) {
            if (const HRESULT hr = ReadContents(contents.Get(), request, resultType); FAILED(hr)) return hr;
        }

        const bool executed = entity.PostMessages();
        const HRESULT hr = ApplyReplyOutcome(entity, executed);
        if (FAILED(hr)) return hr;
        if (!ppSendResults) return S_OK;

        ComPtr<SendResults> results = SendResultsFrom(request.receivers, resultType);
        if (!results) return E_OUTOFMEMORY;
        return HandOutDispatch(results, ppSendResults);
    });
}

HRESULT Message::SendOne(BSTR bstrReturnPhone, IDispatch* pReceiver, IDispatch* pContents,
                         IDispatch** ppSendResult) noexcept {
    ClearOut(ppSendResult);
    if (!pReceiver) return E_INVALIDARG;
    // A refused item leaves the list empty: no receiver found.
    return CallWithSingleEntry<IReceivers, ISendResults>(
        pReceiver, ppSendResult, [&](IDispatch** list) { return CreateReceivers(list); },
        [&](IDispatch* list, IDispatch** results) {
            return Send(bstrReturnPhone, list, pContents, results);
        });
}

}  // namespace vexa
