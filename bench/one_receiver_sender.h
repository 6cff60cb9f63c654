// The host side of the Send benchmarks: a Message pointed at an endpoint, with one receiver and an
// SMS text in Korean, sending the same message again and again.
#pragma once

#include <string>

#include "automation/text.h"
#include "message/message.h"

namespace vexa::bench {

inline constexpr char16_t kFrom[] = u"02-000-0000";
inline constexpr char16_t kPhone[] = u"010-1234-5678";
inline constexpr char16_t kOwnText[] = u"안녕하세요, 예약이 확인되었습니다.";
inline constexpr char16_t kCommonText[] = u"[공지] 오늘 밤 10시부터 정기 점검이 있습니다.";

class OneReceiverSender {
public:
    // certificate: extra trusted certificates (PEM), or empty.
    explicit OneReceiverSender(const std::string& url, const std::string& certificate = {}) {
        Message::CreateInstance(nullptr, IID_IMessage, message_.OutVoid());
        ComPtr<IServiceEndpoint> endpoint;
        message_->QueryInterface(IID_IServiceEndpoint, endpoint.OutVoid());
        endpoint->SetEndpoint(Bstr(Utf16FromUtf8(url)).Get());
        if (!certificate.empty()) endpoint->SetTrustedCertificates(Bstr(Utf16FromUtf8(certificate)).Get());
        message_->SetAccountInfo(Bstr(u"bench").Get(), Bstr(u"secret").Get());
        message_->CreateReceivers(receivers_.Out());
        ComPtr<IReceivers> list;
        receivers_->QueryInterface(IID_IReceivers, list.OutVoid());
        list->AddDirect(Bstr(kPhone).Get(), Bstr(kOwnText).Get(), VEXA_DIRECT, 0.0);
        ComPtr<IDispatch> contentsDisp;
        message_->CreateContents(contentsDisp.Out());
        contentsDisp->QueryInterface(IID_IContents, contents_.OutVoid());
        contents_->put_Type(VEXA_MESSAGE_TYPE_SMS);
        contents_->put_Message(Bstr(kCommonText).Get());
    }

    // One Send; true when it succeeded with a result collection.
    bool Send() {
        ComPtr<IDispatch> results;
        return message_->Send(from_.Get(), receivers_.Get(), contents_.Get(), results.Out()) == S_OK &&
               results;
    }
    bool SendMany(int count) {
        for (int i = 0; i < count; ++i) {
            if (!Send()) return false;
        }
        return true;
    }

private:
    ComPtr<IMessage> message_;
    ComPtr<IDispatch> receivers_;
    ComPtr<IContents> contents_;
    Bstr from_{kFrom};
};

}  // namespace vexa::bench
