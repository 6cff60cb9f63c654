#include "sandbox/inbox_access.h"

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <openssl/crypto.h>
#include <openssl/sha.h>

namespace vexa::sandbox {

namespace {

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

bool IsLoopbackAddress(std::string_view address) {
    boost::system::error_code error;
    const boost::asio::ip::address parsed = boost::asio::ip::make_address(std::string(address), error);
    return !error && parsed.is_loopback();
}

bool IsLoopbackHost(std::string_view host) {
    if (host.starts_with('[')) {
        const size_t close = host.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && !(rest[0] == ':' && IsDigits(rest.substr(1)))) return false;
        return IsLoopbackAddress(host.substr(1, close - 1)) &&
               host.substr(1, close - 1).find(':') != std::string_view::npos;
    }
    const size_t colon = host.find(':');
    if (colon != std::string_view::npos && !IsDigits(host.substr(colon + 1))) return false;
    const std::string_view name = host.substr(0, colon);
    if (IEquals(name, "localhost")) return true;
    // A dotted quad only: a bare number or a name is not read as an address.
    return std::count(name.begin(), name.end(), '.') == 3 && name.find(':') == std::string_view::npos &&
           IsLoopbackAddress(name);
}

std::string TokenProblem(std::string_view token) {
    if (token.size() < kMinInboxTokenLength) {
        return "the inbox token needs at least " + std::to_string(kMinInboxTokenLength) + " characters";
    }
    const bool plain = std::all_of(token.begin(), token.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '.' || c == '_' || c == '~';
    });
    return plain ? std::string() : "the inbox token may hold only letters, digits and -._~";
}

std::optional<std::string> ShownToken(std::string_view authorization, std::string_view cookie) {
    authorization = Trim(authorization);
    if (authorization.size() > 7 && IEquals(authorization.substr(0, 7), "Bearer ")) {
        return std::string(Trim(authorization.substr(7)));
    }
    // "name=value; name=value"
    while (!cookie.empty()) {
        const size_t semicolon = cookie.find(';');
        const std::string_view pair = Trim(cookie.substr(0, semicolon));
        cookie = semicolon == std::string_view::npos ? std::string_view() : cookie.substr(semicolon + 1);
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == kInboxCookie) {
            return std::string(pair.substr(equals + 1));
        }
    }
    return std::nullopt;
}

bool SameToken(std::string_view shown, std::string_view token) {
    // Digests of equal length, compared whole: neither the length nor a common prefix shows.
    unsigned char a[SHA256_DIGEST_LENGTH];
    unsigned char b[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(shown.data()), shown.size(), a);
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), b);
    return CRYPTO_memcmp(a, b, sizeof a) == 0;
}

}  // namespace vexa::sandbox
