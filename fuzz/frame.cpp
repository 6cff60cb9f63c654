// The legacy protocol's frames. A frame that unframes says it is whole to the reader that gathers
// it, and says how much is missing at any cut; its text framed again, plainly, compressed or
// substituted, unframes to the same text. Substitution is undone by its inverse for any key.
#include <span>
#include <string>

#include "fuzz_support.h"
#include "legacy/protocol/packet_frame.h"

namespace {

using namespace VexaCore;

// A plain body that happens to begin with the substitution marker reads as substituted: the format
// cannot tell the two apart, and no document begins so.
constexpr std::string_view kMarker = "[PV1090]";

void CheckFramedAgain(const std::string& text) {
    using vexa::fuzz::Check;
    if (text.starts_with(kMarker)) return;
    for (const int threshold : {-1, 0, kCompressionThreshold}) {
        const std::string frame = FramePacket(text, kPlainProtocolVersion, threshold);
        Check(UnframePacket(frame) == text, "a framed text unframes to itself");
    }
    // The marker and the key make the substituted body a little longer than the text.
    if (text.size() + kMarker.size() + 1 > kMaxFrameBytes) return;
    const std::string substituted = FramePacket(text, kSubstitutedProtocolVersion, kCompressionThreshold);
    Check(UnframePacket(substituted) == text, "a substituted text unframes to itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vexa::fuzz::Check;
    const std::string_view frame = vexa::fuzz::AsText(data, size);

    std::string bytes(frame);
    const uint8_t key = size > 0 ? data[0] : 0;
    const std::span<uint8_t> span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    SubstituteBytes(span, SubstituteDirection::Encode, key);
    SubstituteBytes(span, SubstituteDirection::Decode, key);
    Check(bytes == frame, "substitution is undone by its inverse");

    const std::optional<std::string> text = UnframePacket(frame);
    if (!text) return 0;
    Check(MissingFrameBytes(frame) == 0, "a frame that unframes is whole");
    // Until the length word is whole, the reader asks for the rest of it.
    const size_t cut = size / 2;
    const size_t missing = cut < 4 ? 4 - cut : size - cut;
    Check(MissingFrameBytes(frame.substr(0, cut)) == missing, "a cut frame misses the rest");
    CheckFramedAgain(*text);
    return 0;
}
