// A Message object pointed at a scripted server.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include "automation_test_support.h"
#include "message/message.h"
#include "rest_exchange.h"
#include "scripted_server.h"

namespace vexa::test {

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

    ComPtr<ILoginInfo> Login() {
        ComPtr<IDispatch> info;
        EXPECT_EQ(message_->get_LoginInfo(info.Out()), S_OK);
        return info ? Query<ILoginInfo>(info, IID_ILoginInfo) : ComPtr<ILoginInfo>();
    }

    ScriptedServer server_;
    ComPtr<IMessage> message_;
};

}  // namespace vexa::test
