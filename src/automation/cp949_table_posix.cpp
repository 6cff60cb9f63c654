#include "automation/cp949_table.h"

namespace vexa::cp949 {

EncodeTable::EncodeTable() {
    for (size_t lead = 0; lead < kLeads; ++lead) {
        for (size_t trail = 0; trail < kTrails; ++trail) {
            if (const char16_t c = kCharacters[lead][trail]) {
                codes_[c] = static_cast<uint16_t>((kFirstLead + lead) << 8 | (kFirstTrail + trail));
            }
        }
    }
}

const EncodeTable& EncodeTable::Get() {
    static const EncodeTable table;
    return table;
}

}  // namespace vexa::cp949
