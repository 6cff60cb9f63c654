// The legacy protocol's wire frame: a little-endian length word, optionally zlib-compressed, and
// optionally the byte-substituted "[PV1090]" body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace VexaCore {

inline constexpr int kPlainProtocolVersion = 4545;
inline constexpr int kSubstitutedProtocolVersion = 1090;
inline constexpr int kCompressionThreshold = 1024;  // longer documents go out compressed
// A peer may announce no longer frame or body than this: it is refused before anything is
// allocated for it.
inline constexpr uint32_t kMaxFrameBytes = 16u << 20;

enum class SubstituteDirection { Encode, Decode };

// Passes bytes through the substitution tables, in place, starting from the key's counter.
void SubstituteBytes(std::span<uint8_t> bytes, SubstituteDirection direction, uint8_t key);

// The frame of a document text. Version 1090 substitutes the body (with a fresh random key) and
// never compresses; otherwise a text longer than threshold (when threshold >= 0) is compressed,
// falling back to the plain form should compression fail. Empty when the body would be above
// kMaxFrameBytes, which no peer takes.
std::string FramePacket(std::string_view text, int version, int threshold);

// The document text a whole frame carries, or nullopt when its lengths do not add up, its data
// does not inflate to the declared length, or a length is above kMaxFrameBytes.
std::optional<std::string> UnframePacket(std::string_view frame);

// While reading a frame: how many more bytes it needs given the bytes held (4 for the length word
// while fewer are held); 0 when it is whole; nullopt when the announced length is above
// kMaxFrameBytes (or held runs past the frame).
std::optional<size_t> MissingFrameBytes(std::string_view held);

}  // namespace VexaCore
