// The wire frame: reading and writing its length words, compressing and inflating its body, and
// wrapping a substituted body with its marker and key.
#include "legacy/protocol/packet_frame.h"

#include <cerrno>
#include <chrono>
#include <zlib.h>

#include "platform/system_random.h"

namespace VexaCore {

namespace {

constexpr uint32_t kCompressedBit = 0x80000000u;
constexpr size_t kWordBytes = 4;
constexpr std::string_view kMarker = "[PV1090]";
constexpr size_t kSubstitutedHead = kMarker.size() + 1;  // the marker and the key byte

uint32_t ReadWord(std::string_view bytes, size_t at) {
    uint32_t word = 0;
    for (size_t i = 0; i < kWordBytes; ++i) word |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    return word;
}

void AppendWord(std::string& out, uint32_t word) {
    for (size_t i = 0; i < kWordBytes; ++i) out += static_cast<char>((word >> (8 * i)) & 0xFF);
}

std::span<uint8_t> BytesOf(std::string& text, size_t from) {
    return {reinterpret_cast<uint8_t*>(text.data()) + from, text.size() - from};
}

uint32_t RandomWord() {
    uint32_t value = 0;
    if (vexa::SystemRandom(&value, sizeof value)) return value;
    // Without system randomness the key still has to vary between frames; it hides nothing more.
    return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

uint8_t FreshKey() {
    uint32_t r = RandomWord();
    if (r == 0) r = 3;
    return static_cast<uint8_t>(r + 3);
}

std::string SubstitutedBody(std::string_view text) {
    const uint8_t key = FreshKey();
    std::string body;
    body.reserve(kSubstitutedHead + text.size());
    body += kMarker;
    body += static_cast<char>(key);
    body += text;
    SubstituteBytes(BytesOf(body, kSubstitutedHead), SubstituteDirection::Encode, key);
    return body;
}

std::string PlainFrame(std::string_view body) {
    std::string frame;
    frame.reserve(kWordBytes + body.size());
    AppendWord(frame, static_cast<uint32_t>(body.size()));
    frame += body;
    return frame;
}

// nullopt when zlib fails or the compressed form would be longer than a peer accepts.
std::optional<std::string> CompressedFrame(std::string_view body) {
    const size_t head = 2 * kWordBytes;
    uLongf compressedLength = ::compressBound(static_cast<uLong>(body.size()));
    std::string frame(head + compressedLength, '\0');
    if (::compress(reinterpret_cast<Bytef*>(frame.data() + head), &compressedLength,
                   reinterpret_cast<const Bytef*>(body.data()), static_cast<uLong>(body.size())) != Z_OK)
        return std::nullopt;
    const size_t announced = kWordBytes + compressedLength;
    if (announced > kMaxFrameBytes) return std::nullopt;
    frame.resize(head + compressedLength);
    std::string words;
    AppendWord(words, static_cast<uint32_t>(announced) | kCompressedBit);
    AppendWord(words, static_cast<uint32_t>(body.size()));
    frame.replace(0, head, words);
    return frame;
}

// The body of a whole frame, or nullopt when its lengths are off or its data does not inflate to
// exactly the declared length.
std::optional<std::string> FrameBody(std::string_view frame) {
    if (frame.size() < kWordBytes) return std::nullopt;
    const uint32_t word = ReadWord(frame, 0);
    const uint32_t announced = word & ~kCompressedBit;
    if (announced > kMaxFrameBytes || kWordBytes + announced != frame.size()) return std::nullopt;
    if ((word & kCompressedBit) == 0) return std::string(frame.substr(kWordBytes));

    if (announced < kWordBytes) return std::nullopt;  // no room for the declared length
    const uint32_t declared = ReadWord(frame, kWordBytes);
    if (declared == 0 || declared > kMaxFrameBytes) return std::nullopt;
    const std::string_view data = frame.substr(2 * kWordBytes);
    std::string body(declared, '\0');
    uLongf bodyLength = declared;
    uLong dataLength = static_cast<uLong>(data.size());
    if (::uncompress2(reinterpret_cast<Bytef*>(body.data()), &bodyLength,
                      reinterpret_cast<const Bytef*>(data.data()), &dataLength) != Z_OK)
        return std::nullopt;
    // Shorter output, or bytes after the end of the zlib stream: the lengths do not add up.
    if (bodyLength != declared || dataLength != data.size()) return std::nullopt;
    return body;
}

}  // namespace

std::string FramePacket(std::string_view text, int version, int threshold) {
    // An empty text goes out as an empty body: its substituted form would be exactly the marker
    // and the key, which a reader takes for plain text.
    if (version == kSubstitutedProtocolVersion && !text.empty()) {
        // A substituted body always goes out uncompressed.
        if (kSubstitutedHead + text.size() > kMaxFrameBytes) return {};
        return PlainFrame(SubstitutedBody(text));
    }
    // A peer refuses longer bodies, and the length word could not say more than 31 bits anyway.
    if (text.size() > kMaxFrameBytes) return {};
    if (threshold >= 0 && text.size() > static_cast<size_t>(threshold)) {
        if (std::optional<std::string> frame = CompressedFrame(text)) return std::move(*frame);
    }
    return PlainFrame(text);
}

std::optional<std::string> UnframePacket(std::string_view frame) {
    std::optional<std::string> body = FrameBody(frame);
    if (!body) return std::nullopt;
    if (body->size() > kSubstitutedHead && std::string_view(*body).starts_with(kMarker)) {
        const auto key = static_cast<uint8_t>((*body)[kMarker.size()]);
        body->erase(0, kSubstitutedHead);
        SubstituteBytes(BytesOf(*body, 0), SubstituteDirection::Decode, key);
    }
    return body;
}

std::optional<size_t> MissingFrameBytes(std::string_view held) {
    if (held.size() < kWordBytes) return kWordBytes - held.size();
    const uint32_t announced = ReadWord(held, 0) & ~kCompressedBit;
    if (announced > kMaxFrameBytes) return std::nullopt;
    const size_t whole = kWordBytes + announced;
    if (held.size() > whole) return std::nullopt;
    return whole - held.size();
}

}  // namespace VexaCore
