// The byte substitution of "[PV1090]" bodies: a counter that starts from the key walks through
// the eight tables, one step per byte.
#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/protocol_tables.h"

namespace VexaCore {

void SubstituteBytes(std::span<uint8_t> bytes, SubstituteDirection direction, uint8_t key) {
    const SubstitutionTableSet& inverses = InverseSubstitutionTables();
    uint8_t counter = kSubstitutionTables[5][key];
    for (uint8_t& b : bytes) {
        const size_t table = counter % kSubstitutionTableCount;
        b = direction == SubstituteDirection::Encode ? kSubstitutionTables[table][b] : inverses[table][b];
        ++counter;  // wraps at 256
    }
}

}  // namespace VexaCore
