// Both sides of an exchange with the REST service as tests write and read them: reply documents,
// and the one request a scripted server received.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "scripted_server.h"

namespace vexa::test {

inline std::string Xml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body;
}

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

// The one request the server received (fails the test when there is not exactly one).
inline RecordedRequest OnlyRequest(const ScriptedServer& server) {
    std::vector<RecordedRequest> all = server.Requests();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? RecordedRequest{} : all.back();
}

}  // namespace vexa::test
