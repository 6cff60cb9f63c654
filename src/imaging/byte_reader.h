// Bounds-checked reads of a picture's structure: a read past the end gives nullopt, never a byte
// beyond the buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vexa {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Size() const { return bytes_.size(); }
    bool Has(uint64_t at, uint64_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
    std::optional<uint32_t> U8(uint64_t at) const { return Read(at, 1, false); }
    std::optional<uint32_t> Le16(uint64_t at) const { return Read(at, 2, false); }
    std::optional<uint32_t> Le32(uint64_t at) const { return Read(at, 4, false); }
    std::optional<uint32_t> Be16(uint64_t at) const { return Read(at, 2, true); }
    std::optional<uint32_t> Be32(uint64_t at) const { return Read(at, 4, true); }
    std::optional<uint32_t> Read(uint64_t at, size_t n, bool bigEndian) const {
        if (!Has(at, n)) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t byte = bytes_[bigEndian ? at + i : at + n - 1 - i];
            value = value << 8 | byte;
        }
        return value;
    }
    bool Matches(uint64_t at, std::string_view text) const {
        return Has(at, text.size()) &&
               std::equal(text.begin(), text.end(), bytes_.begin() + static_cast<ptrdiff_t>(at),
                          [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
    }
    std::span<const uint8_t> From(uint64_t at) const {
        return bytes_.subspan(static_cast<size_t>(std::min<uint64_t>(at, bytes_.size())));
    }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace vexa
