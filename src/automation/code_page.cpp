#include "automation/code_page.h"

namespace vexa {

// Bytes of the character that starts rest in CP949: a lead byte takes its trail byte only when
// that is a valid trail, so a stray lead byte never swallows the ASCII after it.
size_t Cp949Unit(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    if (lead < 0x81 || lead > 0xFE || rest.size() < 2) return 1;
    const auto trail = static_cast<unsigned char>(rest[1]);
    const bool valid = (trail >= 0x41 && trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A) ||
                       (trail >= 0x81 && trail <= 0xFE);
    return valid ? 2 : 1;
}

}  // namespace vexa
