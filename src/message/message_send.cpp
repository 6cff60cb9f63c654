// Sending: the host's receivers and contents become one messages request; the reply's
// receivers become SendResult objects.
#include "automation/date.h"
#include "automation/text.h"
#include "contract/array_base.h"
#include "contract/contents.h"
#include "contract/send_result.h"
#include "message/message.h"
#include "message/read_property.h"
#include "message/send_results.h"
#include "rest/messages_document.h"

namespace vexa {

namespace {

constexpr LONG kMaxImagesSize = 3000000;  // bytes of JPEG data in one multimedia message

// The record of one usable receiver; false when the item is not a receiver.
bool ReadReceiver(IDispatch* item, ReceiverRecord& record, bool& reserved) {
    ComPtr<IReceiver> receiver;
    if (FAILED(QueryAs(item, IID_IReceiver, receiver))) return false;
    record.phone = ReadLocalText(receiver.Get(), &IReceiver::get_Phone);
    record.message = ReadLocalText(receiver.Get(), &IReceiver::get_Message);
    VEXA_SENDMODE mode = VEXA_DIRECT;
    DATE when = 0.0;
    receiver->get_SendMode(&mode);
    receiver->get_SendTime(&when);
    ComPtr<IReceiver2> named;
    if (SUCCEEDED(QueryAs(item, IID_IReceiver2, named)))
        record.name = ReadLocalText(named.Get(), &IReceiver2::get_Name);
    reserved = mode == VEXA_RESERVATION;
    record.sendTime = reserved ? TimeTFromDate(when) : 0;
    return true;
}

}  // namespace

HRESULT Message::Send(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch* pContents,
                      IDispatch** ppSendResults) {
    ClearOut(ppSendResults);
    if (!pReceivers) return E_INVALIDARG;
    ComPtr<IReceivers> receivers;
    if (FAILED(QueryAs(pReceivers, IID_IReceivers, receivers))) return E_INVALIDARG;
    ComPtr<IContents> contents;
    if (pContents && FAILED(QueryAs(pContents, IID_IContents, contents))) return E_INVALIDARG;

    CRondoMessages entity(context_);
    CRondoMessage& request = entity.message;
    request.sender = ToLocal(bstrReturnPhone);
    if (contents) request.message = ReadLocalText(contents.Get(), &IContents::get_Message);

    LONG count = 0;
    receivers->get_Count(&count);
    for (LONG i = ArrayBase(); i < ArrayBase() + count; ++i) {
        ComPtr<IDispatch> item;
        if (FAILED(receivers->get_Item(i, item.Out()))) continue;
        ReceiverRecord record;
        bool reserved = false;
        if (!ReadReceiver(item.Get(), record, reserved)) continue;
        if (reserved) request.reservation = true;
        request.receivers.push_back(std::move(record));
    }
    if (request.receivers.empty()) return VEXA_E_RECEIVERNOTFOUND;

    VEXA_MESSAGE_TYPE resultType = VEXA_MESSAGE_TYPE_SMS;
    if (contents) {
        contents->get_Type(&resultType);
        if (resultType == VEXA_MESSAGE_TYPE_LMS || resultType == VEXA_MESSAGE_TYPE_MMS) {
            request.type = resultType == VEXA_MESSAGE_TYPE_LMS ? "lms" : "mms";
            request.subject = ReadLocalText(contents.Get(), &IContents::get_Subject);
        }
        if (resultType == VEXA_MESSAGE_TYPE_MMS) {
            LONG imageCount = 0, imagesSize = 0;
            contents->get_ImageCount(&imageCount);
            contents->get_ImagesSize(&imagesSize);
            if (static_cast<ULONG>(imagesSize) > static_cast<ULONG>(kMaxImagesSize))
                return VEXA_E_FILEISTOOLARGE;
            if (imageCount > 0) {
                // The pictures are read from our own Contents object; another one cannot lend them.
                ComPtr<IContentsImages> source;
                const std::vector<ImageEntry>* images = nullptr;
                if (FAILED(QueryAs(contents.Get(), IID_IContentsImages, source)) ||
                    FAILED(source->GetImages(&images)))
                    return E_INVALIDARG;
                for (LONG i = 0; i < imageCount && static_cast<size_t>(i) < images->size(); ++i)
                    request.images.push_back((*images)[static_cast<size_t>(i)].dataUri);
            }
        }
    }

    const bool executed = entity.PostMessages();
    const HRESULT hr = ApplyReplyOutcome(entity, executed);
    if (FAILED(hr)) return hr;
    if (!ppSendResults) return S_OK;

    ComPtr<SendResults> results = SendResultsFrom(request.receivers, resultType);
    if (!results) return E_OUTOFMEMORY;
    return HandOutDispatch(results, ppSendResults);
}

HRESULT Message::SendOne(BSTR bstrReturnPhone, IDispatch* pReceiver, IDispatch* pContents,
                         IDispatch** ppSendResult) {
    ClearOut(ppSendResult);
    if (!pReceiver) return E_INVALIDARG;
    ComPtr<IDispatch> listDisp;
    HRESULT hr = CreateReceivers(listDisp.Out());
    if (FAILED(hr)) return hr;
    ComPtr<IReceivers> list;
    listDisp.As(IID_IReceivers, list);
    list->Add(pReceiver);  // a refused item leaves the list empty: no receiver found
    if (!ppSendResult) return Send(bstrReturnPhone, listDisp.Get(), pContents, nullptr);

    ComPtr<IDispatch> resultsDisp;
    hr = Send(bstrReturnPhone, listDisp.Get(), pContents, resultsDisp.Out());
    if (FAILED(hr) || !resultsDisp) return hr;
    ComPtr<ISendResults> results;
    resultsDisp.As(IID_ISendResults, results);
    LONG count = 0;
    results->get_Count(&count);
    if (count == 0) return S_OK;
    return results->get_Item(ArrayBase(), ppSendResult);
}

}  // namespace vexa
