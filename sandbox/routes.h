// Which resource a request names. Paths are split into segments before they are decoded, so a
// user ID may hold any character the component escapes, "/" included.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::sandbox {

enum class Resource {
    kSend,    // POST /messages/{user}
    kLogs,    // GET /transfers/{user}/{type}/{datetext}[/reservation]
    kDetail,  // GET /transfers/{user}/detail/{type}/{yyyymm}/{index}
    kCancel,  // PUT /transfers/{user}/cancel
    kDelete,  // DELETE /transfers/{user}
    kStatus,  // GET /users/{user}/status
    kImage,   // GET /images/{user}/{yyyymm}/{index}/{position}.jpg
};

struct Route {
    Resource resource = Resource::kStatus;
    std::string user;
    std::vector<std::string> args;  // the segments after the user that are not fixed words
    bool reservationOnly = false;   // kLogs
};

// Nullopt when the method and path name no resource. HEAD is taken as GET; a query is ignored.
std::optional<Route> MatchRoute(std::string_view method, std::string_view target);

// The root element of an error reply to a request for `target`: the resource's document name, or
// "error" for a path that names none.
std::string ErrorRootFor(std::string_view target);

// `text` with its %XX escapes decoded; nullopt for a broken escape.
std::optional<std::string> PercentDecode(std::string_view text);

// The decoded segments of an absolute path ("/a/b%2Fc/" gives "a", "b/c", ""); nullopt for a
// relative one or a broken escape.
std::optional<std::vector<std::string>> PathSegments(std::string_view path);

// The path of `target`: everything before its query.
std::string_view PathOf(std::string_view target);

}  // namespace vexa::sandbox
