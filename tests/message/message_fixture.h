// A Message object pointed at a scripted server, with helpers to write replies and read requests.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "automation_test_support.h"
#include "message/message.h"
#include "scripted_server.h"

namespace vexa::test {

// An info element as the service writes it into every reply.
inline std::string InfoXml(const std::string& userName = "홍길동", const std::string& phone = "02-000-0000",
                           int call = 100, const std::vector<std::string>& phones = {"02-000-0000"}) {
    std::string xml = "<info><status><userid>someone-else</userid><username>" + userName +
                      "</username><phoneReturn>" + phone + "</phoneReturn><phoneReturns>";
    for (const std::string& p : phones) xml += "<phoneReturn>" + p + "</phoneReturn>";
    xml += "</phoneReturns><call>" + std::to_string(call) +
           "</call><free>7</free><paytype>A</paytype></status>" + "<links><self>/self</self></links></info>";
    return xml;
}

inline std::string Xml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body;
}

class MessageExchangeTest : public ArrayBaseTest {
protected:
    explicit MessageExchangeTest(ScriptedServer::Options options = {}) : server_(options) {}

    void SetUp() override {
        ArrayBaseTest::SetUp();
        ASSERT_EQ(Message::CreateInstance(nullptr, IID_IMessage, message_.OutVoid()), S_OK);
        ComPtr<IServiceEndpoint> endpoint = Query<IServiceEndpoint>(message_, IID_IServiceEndpoint);
        Bstr url(Utf16(server_.Url()));
        ASSERT_EQ(endpoint->SetEndpoint(url.Get()), S_OK);
        Bstr id(u"abc"), password(u"pw");
        ASSERT_EQ(message_->SetAccountInfo(id.Get(), password.Get()), S_OK);
    }

    static std::u16string Utf16(const std::string& ascii) {
        return std::u16string(ascii.begin(), ascii.end());
    }

    // The one request the server received (fails the test when there is not exactly one).
    RecordedRequest OnlyRequest() {
        std::vector<RecordedRequest> all = server_.Requests();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? RecordedRequest{} : all.back();
    }

    ComPtr<ILoginInfo> Login() {
        ComPtr<IDispatch> info;
        EXPECT_EQ(message_->get_LoginInfo(info.Out()), S_OK);
        return info ? Query<ILoginInfo>(info, IID_ILoginInfo) : ComPtr<ILoginInfo>();
    }

    ScriptedServer server_;
    ComPtr<IMessage> message_;
};

}  // namespace vexa::test
