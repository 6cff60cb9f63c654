// What the fuzz targets share: a broken property ends the process as a crash would, so that
// libFuzzer keeps the input and the replay test fails on it; and the input read as text or cut
// into fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vexa::fuzz {

inline void Check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz: property broken: %s\n", property);
    std::abort();
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input taken apart from the front: a byte, then fields each ended by a NUL byte (the last
// one by the end of the input). Past the end every byte is 0 and every field empty.
class Fields {
public:
    explicit Fields(std::string_view input) : rest_(input) {}

    bool Empty() const { return rest_.empty(); }

    uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto byte = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }

    std::string_view Next() {
        const size_t end = rest_.find('\0');
        const std::string_view field = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return field;
    }

    std::string_view Rest() const { return rest_; }

private:
    std::string_view rest_;
};

}  // namespace vexa::fuzz
