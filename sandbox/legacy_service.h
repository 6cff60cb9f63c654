// The legacy TCP protocol's service without the socket around it: one request packet in, one reply
// packet out, on the same store and accounts as the REST service. Packets are TPML text in CP949.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sandbox/authenticator.h"
#include "sandbox/clock.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

// The "code" of a reply's ERROR element. The client knows only kNotEnoughCredit by number.
namespace legacy_error {
inline constexpr const char* kBadFrame = "100";         // the frame is malformed, too long or cut short
inline constexpr const char* kBadDocument = "101";      // the packet's text does not parse
inline constexpr const char* kNoLogin = "102";          // the packet does not begin with USER holding LOGIN
inline constexpr const char* kNotEnoughCredit = "200";  // the credit does not cover the batch
inline constexpr const char* kBadRequest = "300";  // an element lacks what it needs, or a key is malformed
inline constexpr const char* kInternal = "500";    // the store failed
}  // namespace legacy_error

struct LegacySettings {
    int64_t deliveryDelay = 0;  // seconds from handing a receiver over to its report
};

struct LegacyAnswer {
    std::string document;  // the reply packet's text
    std::string summary;   // one line for the request log: who, which elements, the outcome
};

class LegacyService {
public:
    LegacyService(Store& store, LegacySettings settings, Clock clock);

    // Answers each top-level element of the packet in order. Safe to call from many threads.
    LegacyAnswer Handle(std::string_view packet, const std::string& peerAddress);

    // A reply that is one top-level ERROR element.
    static LegacyAnswer ErrorAnswer(std::string_view code, std::string_view message);

private:
    LegacyAnswer Answer(std::string_view packet, const std::string& peerAddress);

    Store& store_;
    const LegacySettings settings_;
    const Clock clock_;
    // Only Verify is used: the legacy protocol names no realm.
    Authenticator authenticator_;
};

}  // namespace vexa::sandbox
