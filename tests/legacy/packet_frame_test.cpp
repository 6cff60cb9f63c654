#include "legacy/protocol/packet_frame.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include <zlib.h>

#include "legacy/protocol/protocol_tables.h"

namespace VexaCore {
namespace {

constexpr uint32_t kCompressedBit = 0x80000000u;

std::string Word(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

uint32_t WordAt(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    return value;
}

std::string Compressed(std::string_view text) {
    uLongf length = compressBound(static_cast<uLong>(text.size()));
    std::string out(length, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &length,
                       reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size())),
              Z_OK);
    out.resize(length);
    return out;
}

// A compressed frame built here, independently of FramePacket.
std::string CompressedFrame(std::string_view text, uint32_t declared) {
    const std::string data = Compressed(text);
    return Word(static_cast<uint32_t>(data.size() + 4) | kCompressedBit) + Word(declared) + data;
}

std::string Document(size_t length) {
    std::string text = "<a>";
    while (text.size() < length - 4) text += static_cast<char>('a' + text.size() % 26);
    return text + "</a>";
}

std::string Substituted(std::string text, uint8_t key) {
    SubstituteBytes({reinterpret_cast<uint8_t*>(text.data()), text.size()}, SubstituteDirection::Encode, key);
    return text;
}

TEST(SubstitutionTables, AreEightPermutationsWithTheirInverses) {
    const SubstitutionTableSet& inverses = InverseSubstitutionTables();
    for (size_t t = 0; t < kSubstitutionTableCount; ++t) {
        std::array<bool, 256> seen{};
        for (size_t b = 0; b < 256; ++b) seen[kSubstitutionTables[t][b]] = true;
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool s) { return s; })) << "E" << t;
        for (size_t b = 0; b < 256; ++b) EXPECT_EQ(inverses[t][kSubstitutionTables[t][b]], b) << "D" << t;
    }
}

TEST(SubstituteBytes, DecodeRestoresEveryByteUnderEveryKey) {
    std::vector<uint8_t> all(600);  // longer than 256: the counter wraps
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 7);
    for (int key = 0; key < 256; ++key) {
        std::vector<uint8_t> bytes = all;
        SubstituteBytes(bytes, SubstituteDirection::Encode, static_cast<uint8_t>(key));
        EXPECT_NE(bytes, all) << key;
        SubstituteBytes(bytes, SubstituteDirection::Decode, static_cast<uint8_t>(key));
        EXPECT_EQ(bytes, all) << key;
    }
}

TEST(SubstituteBytes, CounterStartsAtTheSixthTablesEntryForTheKey) {
    // Both peers must agree on the walk: byte i goes through table (E5[key] + i) mod 8.
    for (const uint8_t key : {uint8_t{0}, uint8_t{6}, uint8_t{255}}) {
        std::vector<uint8_t> bytes(260, 0x41);
        SubstituteBytes(bytes, SubstituteDirection::Encode, key);
        for (size_t i = 0; i < bytes.size(); ++i) {
            const size_t table = (kSubstitutionTables[5][key] + i) % 256 % 8;
            ASSERT_EQ(bytes[i], kSubstitutionTables[table][0x41]) << "key " << int{key} << " byte " << i;
        }
    }
}

TEST(FramePacket, CompressesOnlyAboveTheThreshold) {
    const std::string atThreshold = Document(1024);
    const std::string plain = FramePacket(atThreshold, kPlainProtocolVersion, kCompressionThreshold);
    EXPECT_EQ(WordAt(plain, 0), 1024u);
    EXPECT_EQ(plain.substr(4), atThreshold);

    const std::string above = Document(1025);
    const std::string compressed = FramePacket(above, kPlainProtocolVersion, kCompressionThreshold);
    ASSERT_GE(compressed.size(), 8u);
    EXPECT_EQ(WordAt(compressed, 0), (compressed.size() - 4) | kCompressedBit);
    EXPECT_EQ(WordAt(compressed, 4), 1025u);
    // The data is plain zlib output.
    std::string inflated(1025, '\0');
    uLongf length = inflated.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length,
                         reinterpret_cast<const Bytef*>(compressed.data() + 8), compressed.size() - 8),
              Z_OK);
    EXPECT_EQ(inflated, above);

    // A negative threshold never compresses.
    EXPECT_EQ(FramePacket(above, kPlainProtocolVersion, -1), Word(1025) + above);
}

TEST(FramePacket, SubstitutedBodyCarriesMarkerAndKeyAndIsNeverCompressed) {
    const std::string text = Document(5000);
    const std::string frame = FramePacket(text, kSubstitutedProtocolVersion, kCompressionThreshold);
    ASSERT_EQ(frame.size(), 4 + 9 + text.size());
    EXPECT_EQ(WordAt(frame, 0), text.size() + 9);
    EXPECT_EQ(frame.substr(4, 8), "[PV1090]");
    const auto key = static_cast<uint8_t>(frame[12]);
    EXPECT_EQ(frame.substr(13), Substituted(text, key));
    EXPECT_EQ(UnframePacket(frame), text);
}

TEST(FramePacket, EachSubstitutedFrameDrawsAFreshKey) {
    std::set<char> keys;
    for (int i = 0; i < 8; ++i)
        keys.insert(FramePacket("<a>same</a>", kSubstitutedProtocolVersion, -1).at(12));
    // Eight equal draws of a random byte would be a one-in-2^56 event.
    EXPECT_GT(keys.size(), 1u);
}

TEST(FramePacket, EmptyTextRoundTripsInEveryForm) {
    for (const int version : {kPlainProtocolVersion, kSubstitutedProtocolVersion}) {
        const std::string frame = FramePacket("", version, 0);
        EXPECT_EQ(frame, Word(0)) << version;
        EXPECT_EQ(UnframePacket(frame), "") << version;
    }
}

TEST(FramePacket, RefusesBodiesAPeerWouldRefuse) {
    const std::string largest(kMaxFrameBytes, 'x');
    EXPECT_EQ(FramePacket(largest, kPlainProtocolVersion, -1).size(), kMaxFrameBytes + 4);
    EXPECT_EQ(FramePacket(largest + 'x', kPlainProtocolVersion, -1), "");
    EXPECT_EQ(FramePacket(largest + 'x', kPlainProtocolVersion, kCompressionThreshold), "");
    // The marker and key count towards the body.
    EXPECT_EQ(FramePacket(largest.substr(8), kSubstitutedProtocolVersion, -1), "");
}

TEST(UnframePacket, RoundTripsEveryForm) {
    const std::string shortText = "<r><c>0</c></r>";
    const std::string longText = Document(40000);
    for (const std::string& text : {shortText, longText}) {
        for (const int version : {kPlainProtocolVersion, kSubstitutedProtocolVersion}) {
            EXPECT_EQ(UnframePacket(FramePacket(text, version, kCompressionThreshold)), text)
                << version << " " << text.size();
        }
    }
}

TEST(UnframePacket, TakesABodyAsSubstitutedOnlyWhenLongerThanMarkerAndKey) {
    const std::string decoded = "<";
    struct Case {
        const char* what;
        std::string body;
        std::string text;
    } cases[] = {
        {"ten bytes without marker", "0123456789", "0123456789"},
        {"marker and key only", std::string("[PV1090]") + '\x07', std::string("[PV1090]") + '\x07'},
        {"marker, key and one byte", std::string("[PV1090]") + '\x07' + Substituted(decoded, 7), decoded},
        {"marker misspelt", std::string("[PV1091]") + '\x07' + "abc",
         std::string("[PV1091]") + '\x07' + "abc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnframePacket(Word(static_cast<uint32_t>(c.body.size())) + c.body), c.text) << c.what;
        // The same rule holds for the inflated body of a compressed frame.
        EXPECT_EQ(UnframePacket(CompressedFrame(c.body, static_cast<uint32_t>(c.body.size()))), c.text)
            << c.what;
    }
}

TEST(UnframePacket, RefusesFramesWhoseLengthsDoNotAddUp) {
    const std::string text = Document(2000);
    const std::string data = Compressed(text);
    const auto dataWord = static_cast<uint32_t>(data.size() + 4) | kCompressedBit;
    struct Case {
        const char* what;
        std::string frame;
    } cases[] = {
        {"no length word", std::string("\x01\x00\x00", 3)},
        {"plain body one short", Word(10) + "012345678"},
        {"plain body one long", Word(10) + "0123456789A"},
        {"compressed, declared length 0", Word(dataWord) + Word(0) + data},
        {"compressed, declared length too long", Word(dataWord) + Word(2001) + data},
        {"compressed, declared length too short", Word(dataWord) + Word(1999) + data},
        {"compressed, data one short", Word(dataWord) + Word(2000) + data.substr(0, data.size() - 1)},
        {"compressed, bytes after the zlib stream", Word(dataWord + 1) + Word(2000) + data + "x"},
        {"compressed, data not zlib", Word(dataWord) + Word(2000) + std::string(data.size(), 'z')},
        {"compressed, no room for the declared length", Word(kCompressedBit | 2) + "ab"},
        {"compressed, declared length above the limit", Word(dataWord) + Word(kMaxFrameBytes + 1) + data},
    };
    for (const Case& c : cases) EXPECT_EQ(UnframePacket(c.frame), std::nullopt) << c.what;
}

TEST(UnframePacket, RefusesAnAnnouncementAboveTheLimit) {
    const std::string largest(kMaxFrameBytes, 'x');
    EXPECT_EQ(UnframePacket(Word(kMaxFrameBytes) + largest)->size(), kMaxFrameBytes);
    EXPECT_EQ(UnframePacket(Word(kMaxFrameBytes + 1) + largest + 'x'), std::nullopt);
}

TEST(MissingFrameBytes, CountsTheLengthWordThenTheAnnouncedBytes) {
    const std::string plainHead = Word(10);
    const std::string compressedHead = Word(kCompressedBit | 20);
    struct Case {
        const char* what;
        std::string held;
        std::optional<size_t> missing;
    } cases[] = {
        {"nothing held", "", 4},
        {"part of the length word", std::string("\x0a\x00", 2), 2},
        {"plain length word", plainHead, 10},
        {"plain, part of the body", plainHead + "0123", 6},
        {"plain, whole", plainHead + "0123456789", 0},
        {"plain, past the frame", plainHead + "0123456789A", std::nullopt},
        {"compressed length word", compressedHead, 20},
        {"compressed, whole", compressedHead + std::string(20, 'z'), 0},
        {"empty body", Word(0), 0},
        {"announcement at the limit", Word(kMaxFrameBytes), kMaxFrameBytes},
        {"announcement above the limit", Word(kMaxFrameBytes + 1), std::nullopt},
        {"compressed announcement above the limit", Word(kCompressedBit | (kMaxFrameBytes + 1)),
         std::nullopt},
        {"every bit set", Word(0xFFFFFFFFu), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(MissingFrameBytes(c.held), c.missing) << c.what;
}

}  // namespace
}  // namespace VexaCore
