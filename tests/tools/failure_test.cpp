// What vexa tells people when a command fails: a message with what it knows, a hint, and the
// component's own words, for every code the component can answer.
#include "failure.h"

#include <gtest/gtest.h>
#include <sstream>

#include "picture_fixtures.h"
#include "scratch_directory.h"

namespace vexa_cli {
namespace {

const FailureContext kRest{"https://127.0.0.1:8443", "", "kim", std::nullopt};
const FailureContext kLegacy{"https://127.0.0.1:8443", "", "kim", LegacyServer{"10.0.0.5", 7000}};

Probe Reached(Reach reach, long status = 0) { return {reach, status, "libcurl's words"}; }

Failure Describe(HRESULT code, const std::string& call, const FailureContext& context = kRest,
                 Probe probe = Reached(Reach::Answered, 500)) {
    return DescribeComponentFailure(ComponentError(code, call, "구성 요소의 글"), context,
                                    [&] { return probe; });
}

TEST(FailureText, EveryComponentCodeHasAMessageAndMostAHint) {
    const struct {
        HRESULT code;
        const char* call;
        const char* message;
        const char* hint;  // "" where there is nothing to do
    } kCases[] = {
        {VEXA_E_LOGINFAIL, "RequestLog", "login refused for user kim at https://127.0.0.1:8443",
         "check VEXA_PASSWORD"},
        {VEXA_E_SERVERERROR, "RequestLog", "https://127.0.0.1:8443 failed to handle the request",
         "try again later"},
        {VEXA_E_SERVERERROR, "Send", "failed to handle the request", "check vexa logs before sending again"},
        {VEXA_E_TOOBUSY, "Send", "https://127.0.0.1:8443 is busy", "try again in a moment"},
        {VEXA_E_RECEIVERNOTFOUND, "Send", "no receiver to send to", "--to PHONE"},
        {VEXA_E_SOCKINITFAIL, "CreateObject", "could not start networking", ""},
        {VEXA_E_NOTLOGINED, "LoginInfo", "not logged in to https://127.0.0.1:8443",
         "VEXA_USER and VEXA_PASSWORD"},
        {VEXA_E_CANNOTASSIGN, "Receiver.Phone", "refused a value given to Receiver.Phone",
         "check the phone numbers"},
        {E_INVALIDARG, "Receiver.Phone", "refused a value given to Receiver.Phone",
         "check the phone numbers"},
        {VEXA_E_LOGLISTNOTFOUND, "DeleteLogs", "no log entry to act on", "month and index"},
        {VEXA_E_NEEDFORCALL, "Send", "not enough credit", "add credit"},
        {VEXA_E_NOTADDED, "Contents.AddImageFile", "a picture was not added",
         "at most 64 MiB and 100 megapixels"},
        {VEXA_E_FILEISTOOLARGE, "Send", "too large for an MMS", "at most 3,000,000 bytes of JPEG"},
        {VEXA_E_DEPRECATED, "RequestLogDetailByLists", "RequestLogDetailByLists is retired", ""},
        {E_OUTOFMEMORY, "Send", "ran out of memory in Send", ""},
        {E_FAIL, "DllRegisterServer", "DllRegisterServer: 구성 요소의 글", ""},
    };
    for (const auto& c : kCases) {
        const Failure f = Describe(c.code, c.call);
        EXPECT_NE(f.message.find(c.message), std::string::npos) << c.call << ": " << f.message;
        if (*c.hint)
            EXPECT_NE(f.hint.find(c.hint), std::string::npos) << c.call << ": " << f.hint;
        else
            EXPECT_EQ(f.hint, "") << c.call;
        EXPECT_EQ(f.code, c.code);
        EXPECT_FALSE(f.name.empty()) << HexCode(c.code);
        // The component's own words stay, for reference.
        EXPECT_EQ(f.component, std::string(c.call) + ": 구성 요소의 글 (" + HexCode(c.code) + ")");
    }
    EXPECT_EQ(ErrorName(VEXA_E_LOGINFAIL), "VEXA_E_LOGINFAIL");
    EXPECT_EQ(ErrorName(static_cast<HRESULT>(0x80001234)), "");
}

TEST(FailureText, AServiceOutOfReachIsToldByWhatTheProbeFound) {
    const struct {
        Probe probe;
        const FailureContext& context;
        const char* message;
        const char* hint;
    } kCases[] = {
        {Reached(Reach::Refused), kRest, "nothing answers at https://127.0.0.1:8443", "--print-env"},
        {Reached(Reach::NoSuchHost), kRest, "the host of https://127.0.0.1:8443 is not known",
         "VEXA_ENDPOINT"},
        {Reached(Reach::TimedOut), kRest, "did not answer within 5 seconds", "proxy"},
        {Reached(Reach::Untrusted), kRest, "certificate at https://127.0.0.1:8443 is not trusted",
         "pass --cacert FILE"},
        {Reached(Reach::PlainHttp), kRest, "speaks plain HTTP, not HTTPS", "use http://"},
        {Reached(Reach::Tls), kRest, "speaks HTTPS, not plain HTTP", "use https://"},
        {Reached(Reach::Answered, 404), kRest, "answered (HTTP 404), but not as the messaging service does",
         "names the messaging service"},
        {Reached(Reach::Other), kRest, "could not reach https://127.0.0.1:8443: libcurl's words",
         "VEXA_ENDPOINT"},
        {Reached(Reach::Refused), kLegacy, "nothing answers at the legacy service at 10.0.0.5:7000",
         "VEXA_LEGACY"},
        {Reached(Reach::Answered), kLegacy, "took the connection, but the exchange failed", "legacy service"},
    };
    for (const auto& c : kCases) {
        const Failure f = Describe(VEXA_E_NOTCONNECTED, "Send", c.context, c.probe);
        EXPECT_NE(f.message.find(c.message), std::string::npos) << f.message;
        EXPECT_NE(f.hint.find(c.hint), std::string::npos) << f.hint;
    }
    // A handshake that failed reaches the component as a request without a reply.
    EXPECT_NE(
        Describe(VEXA_E_SERVERERROR, "Send", kRest, Reached(Reach::Untrusted)).message.find("not trusted"),
        std::string::npos);
    FailureContext extraTrust = kRest;
    extraTrust.cacert = "/tmp/ca.pem";
    EXPECT_NE(
        Describe(VEXA_E_NOTCONNECTED, "Send", extraTrust, Reached(Reach::Untrusted)).hint.find("/tmp/ca.pem"),
        std::string::npos);
}

TEST(FailureText, WhatTheCommandKnewJoinsTheMessage) {
    ComponentError credit(VEXA_E_NEEDFORCALL, "Send", "콜 수가 부족합니다.");
    credit.detail = "this send needs 9 (3 receivers x 3 per lms), the account has 5";
    EXPECT_EQ(DescribeComponentFailure(credit, kRest, {}).message,
              "not enough credit: this send needs 9 (3 receivers x 3 per lms), the account has 5");

    const vexa::test::ScratchDirectory scratch;
    ComponentError picture(VEXA_E_NOTADDED, "Contents.AddImageFile", "");
    picture.file = (scratch.Path() / "missing.png").string();
    EXPECT_EQ(DescribeComponentFailure(picture, kRest, {}).message,
              "the picture '" + picture.file + "' was not added: there is no such file");
}

TEST(FailureText, JsonCarriesEveryPartAndNullForWhatIsAbsent) {
    std::ostringstream component, own;
    WriteJsonFailure(Describe(VEXA_E_LOGINFAIL, "RequestLog"), component);
    const std::string expected = R"json({
  "error": {
    "message": "login refused for user kim at https://127.0.0.1:8443",
    "hint": "check VEXA_PASSWORD (or --password) and VEXA_USER (or --user)",
    "code": "0x8004A003",
    "name": "VEXA_E_LOGINFAIL",
    "component": "RequestLog: 구성 요소의 글 (0x8004A003)"
  }
}
)json";
    EXPECT_EQ(component.str(), expected);
    WriteJsonFailure(DescribeFailure(std::runtime_error("the service knows no transfer 9 in 2026-12")), own);
    EXPECT_NE(own.str().find(R"("hint": null,)"), std::string::npos) << own.str();
    EXPECT_NE(own.str().find(R"("code": null,)"), std::string::npos) << own.str();
}

}  // namespace
}  // namespace vexa_cli
