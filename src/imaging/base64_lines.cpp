#include "imaging/base64_lines.h"

#include <algorithm>

#include "platform/base64.h"

namespace vexa {

namespace {

constexpr size_t kLineBytes = 48;  // 64 characters
constexpr size_t kLineChars = 64;

}  // namespace

size_t Base64LinesLength(size_t n) {
    const size_t chars = (n + 2) / 3 * 4;
    const size_t lines = (chars + kLineChars - 1) / kLineChars;
    return chars + 2 * lines;
}

void Base64LinesAppend(std::span<const uint8_t> bytes, std::string& out) {
    out.reserve(out.size() + Base64LinesLength(bytes.size()));
    for (size_t done = 0; done < bytes.size(); done += kLineBytes) {
        AppendBase64(bytes.subspan(done, std::min(kLineBytes, bytes.size() - done)), out);
        out += "\r\n";
    }
}

}  // namespace vexa
