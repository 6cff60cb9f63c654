// The entities of the markup's values, both ways.
#include <array>

#include "legacy/protocol/tpml.h"

namespace Quill {

namespace {

struct Entity {
    char character;
    std::string_view text;
};

// The order is part of the format: decoding goes from the last to the first.
constexpr Entity kEntities[] = {{'&', "&amp;"}, {'"', "&quot;"}, {'<', "&lt;"},
                                {'>', "&gt;"},  {'=', "&equ;"},  {'/', "&slsh;"},
                                {'\n', "&br;"}, {'\t', "&tab;"}, {' ', "&nbsp;"}};

constexpr std::array<const Entity*, 256> MakeEntityOf() {
    std::array<const Entity*, 256> of{};
    for (const Entity& entity : kEntities) of[static_cast<unsigned char>(entity.character)] = &entity;
    return of;
}

constexpr std::array<const Entity*, 256> kEntityOf = MakeEntityOf();

bool StartsDoubleByte(unsigned char byte) { return byte >= 0x80 && CTPMLParserUtil::IsLeadByte(byte); }

const Entity* EntityAt(std::string_view text) {
    for (const Entity& entity : kEntities) {
        if (text.starts_with(entity.text)) return &entity;
    }
    return nullptr;
}

}  // namespace

std::string CTPMLParserUtil::EscapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + value.size() / 8);
    for (size_t i = 0; i < value.size();) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (StartsDoubleByte(byte)) {
            // A lead byte with nothing after it is half a character; written, it would take the
            // closing quote or the "<" of the end tag for its trail byte and garble the document.
            if (i + 1 < value.size()) out.append(value.substr(i, 2));
            i += 2;
        } else if (byte == ' ') {
            const bool pair = i + 1 < value.size() && value[i + 1] == ' ';
            out += pair ? kEntityOf[byte]->text : " ";
            i += pair ? 2 : 1;
        } else if (const Entity* entity = kEntityOf[byte]) {
            out += entity->text;
            ++i;
        } else {
            out += static_cast<char>(byte);
            ++i;
        }
    }
    return out;
}

// Decoding every entity in one pass from left to right gives what decoding them one kind after
// the other in reverse table order gives: an entity is "&", letters and ";", so occurrences never
// overlap, and only the last kind decoded, "&amp;", yields a byte that could start a new one. A
// single pass never looks at what it has written, so "&amp;lt;" stays "&lt;".
std::string CTPMLParserUtil::UnescapeValue(std::string_view value) {
    if (value.find('&') == std::string_view::npos) return std::string(value);
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size();) {
        if (const Entity* entity = value[i] == '&' ? EntityAt(value.substr(i)) : nullptr) {
            out += entity->character;
            i += entity->text.size();
            continue;
        }
        const size_t step = StartsDoubleByte(static_cast<unsigned char>(value[i])) ? 2 : 1;
        out.append(value.substr(i, step));
        i += step;
    }
    return out;
}

}  // namespace Quill
