#include "message/endpoint_url.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

TEST(EndpointUrlTest, AcceptsOnlySchemeHostAndPort) {
    struct Case {
        const char* url;
        bool ok;
        const char* host;
        uint16_t port;
        bool secure;
    };
    const Case cases[] = {
        {"https://api.example.com", true, "api.example.com", 0, true},
        {"http://127.0.0.1:8080/", true, "127.0.0.1", 8080, false},
        {"HTTPS://localhost:65535", true, "localhost", 65535, true},
        {"http://[::1]:9", true, "[::1]", 9, false},
        {"https://[::1]", true, "[::1]", 0, true},
        {"ftp://host", false, "", 0, false},
        {"https://", false, "", 0, false},
        {"https://host:0", false, "", 0, false},
        {"https://host:65536", false, "", 0, false},
        {"https://host:", false, "", 0, false},
        {"https://host:8a", false, "", 0, false},
        {"https://user@host", false, "", 0, false},
        {"https://host/path", false, "", 0, false},
        {"https://host?x=1", false, "", 0, false},
        {"https://host//", false, "", 0, false},
        {"https://[::1", false, "", 0, false},
        {"https://[zz]", false, "", 0, false},
        {"host:443", false, "", 0, false},
        {"", false, "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const std::optional<Endpoint> e = ParseEndpointUrl(c.url);
        ASSERT_EQ(e.has_value(), c.ok);
        if (!e) continue;
        EXPECT_EQ(e->host, c.host);
        EXPECT_EQ(e->port, c.port);
        EXPECT_EQ(e->secure, c.secure);
    }
}

}  // namespace
}  // namespace vexa
