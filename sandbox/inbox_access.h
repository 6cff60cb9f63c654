// Who may reach the web inbox. On a loopback address it is open to the machine's own browser;
// elsewhere it is off unless a token is given, and a given token is then asked of every request.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexa::sandbox {

// The shortest token taken.
inline constexpr size_t kMinInboxTokenLength = 16;
// The cookie that carries the token once a browser has shown it.
inline constexpr const char* kInboxCookie = "vexa_inbox";

struct InboxAccess {
    bool loopbackBind = true;  // the listeners are bound to a loopback address
    std::string token;         // empty: none given

    bool Enabled() const { return loopbackBind || !token.empty(); }
};

// 127.0.0.0/8 and ::1; false for anything that is not an address.
bool IsLoopbackAddress(std::string_view address);
// A Host header naming loopback: "localhost", 127.x.x.x or [::1], each with any port.
bool IsLoopbackHost(std::string_view host);

// Why a token is refused ("" when it is fine): at least kMinInboxTokenLength characters, each a
// letter, digit or one of "-._~", so that it travels unchanged in a URL, a header and a cookie.
std::string TokenProblem(std::string_view token);

// The token a request shows: "Authorization: Bearer TOKEN", else the inbox's cookie.
std::optional<std::string> ShownToken(std::string_view authorization, std::string_view cookie);

// Whether `shown` is `token`, in a time that tells nothing about where they differ.
bool SameToken(std::string_view shown, std::string_view token);

}  // namespace vexa::sandbox
