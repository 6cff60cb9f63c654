// Code tables of the legacy protocol. Both peers (the component and the sandbox) must hold the
// same tables, so they live here once.
#include "legacy/protocol_tables.h"

namespace VexaCore {

// Each is a permutation of the 95 printable ASCII characters 0x20..0x7E.
const char kPlainTable[kScrambleAlphabet + 1] =
    "pG#[&T-Ejiw1B>^KdmL<zW398t{n~0JIMkrH!qCP\\eo_52v"
    ".l$]}/7S:Zg+y@=\"|'x*NOVchXf6bYQau4%; R`)U,s\?DF"
    "(A";
const char kCipherTable[kScrambleAlphabet + 1] =
    " }#q:<dYOE8[D1^>G!w\?\\5%`]jlQ|~$yaJ/ACKbNZu&@'i"
    "MI(PFtfUS.kovT*Vs{BWg7+Rxezh),m364Lp=9;c\"2HX0-n"
    "_r";

}  // namespace VexaCore
