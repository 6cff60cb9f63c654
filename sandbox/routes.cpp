#include "sandbox/routes.h"

namespace vexa::sandbox {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view segment) {
    std::string out;
    for (size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] != '%') {
            out += segment[i];
            continue;
        }
        if (i + 2 >= segment.size()) return std::nullopt;
        const int high = HexValue(segment[i + 1]);
        const int low = HexValue(segment[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<std::vector<std::string>> PathSegments(std::string_view path) {
    if (!path.starts_with('/')) return std::nullopt;
    path.remove_prefix(1);
    std::vector<std::string> segments;
    while (true) {
        const size_t slash = path.find('/');
        std::optional<std::string> segment = PercentDecode(path.substr(0, slash));
        if (!segment) return std::nullopt;
        segments.push_back(std::move(*segment));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return segments;
}

std::string_view PathOf(std::string_view target) { return target.substr(0, target.find('?')); }

std::optional<Route> MatchRoute(std::string_view method, std::string_view target) {
    const std::optional<std::vector<std::string>> found = PathSegments(PathOf(target));
    if (!found || found->size() < 2 || (*found)[1].empty()) return std::nullopt;
    const std::vector<std::string>& s = *found;
    const bool get = method == "GET" || method == "HEAD";
    const std::string& collection = s[0];
    Route route;
    route.user = s[1];
    auto with = [&](Resource resource, std::vector<std::string> args) {
        route.resource = resource;
        route.args = std::move(args);
        return route;
    };

    if (collection == "messages" && method == "POST" && s.size() == 2) return with(Resource::kSend, {});
    if (collection == "users" && get && s.size() == 3 && s[2] == "status") return with(Resource::kStatus, {});
    if (collection == "images" && get && s.size() == 5) return with(Resource::kImage, {s[2], s[3], s[4]});
    if (collection != "transfers") return std::nullopt;
    if (method == "DELETE" && s.size() == 2) return with(Resource::kDelete, {});
    if (method == "PUT" && s.size() == 3 && s[2] == "cancel") return with(Resource::kCancel, {});
    if (!get) return std::nullopt;
    if (s.size() == 6 && s[2] == "detail") return with(Resource::kDetail, {s[3], s[4], s[5]});
    if (s.size() == 4) return with(Resource::kLogs, {s[2], s[3]});
    if (s.size() == 5 && s[4] == "reservation") {
        route.reservationOnly = true;
        return with(Resource::kLogs, {s[2], s[3]});
    }
    return std::nullopt;
}

std::string ErrorRootFor(std::string_view target) {
    const std::string_view path = PathOf(target);
    for (const char* root : {"messages", "transfers", "users"}) {
        // Appended rather than "/" + std::string(root): g++ 12 at -O3 takes that for an
        // overlapping copy (-Wrestrict, a known false positive) and fails the Release build.
        std::string prefix = "/";
        prefix += root;
        if (path == prefix || path.starts_with(prefix + "/")) return root;
    }
    return "error";
}

}  // namespace vexa::sandbox
