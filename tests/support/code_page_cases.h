// What the local code page (CP949) makes of texts, shared by the Linux tests and the checks that
// run the Windows build under Wine, so both platforms answer the same table.
#pragma once

#include <string>

namespace vexa::cases {

using namespace std::string_literals;

// "안녕하세요" in CP949, and "똠", a syllable that only CP949's extension (not EUC-KR) has.
inline const std::string kHelloCp949 = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";
inline const std::string kDdomCp949 = "\x8C\x63";

struct TextCase {
    std::u16string text;
    std::string local;
};

// Each character the code page cannot hold becomes one "?".
inline const TextCase kUnencodableCases[] = {
    {u"a😀b", "a?b"},
    {u"😀😀", "??"},
    {u"안😀녕", "\xBE\xC8?\xB3\xE7"},
    // Unpaired surrogates, in the middle and at the end.
    {u"a\xD800"
     u"b",
     "a?b"},
    {u"a\xDC00"
     u"b",
     "a?b"},
    {u"ab\xD800", "ab?"},
    {u"\xDC00\xD800", "??"},
    {u"", ""},
    // A NUL is a character like any other.
    {u"a\0b"s, "a\0b"s},
};

// Each byte sequence the code page does not define becomes one "?", and the rest is kept.
inline const TextCase kUndecodableCases[] = {
    {u"?A",
     "\x80"
     "A"},
    {u"A?", "A\xFF"},
    // A lead byte whose next byte cannot be a trail byte takes only itself.
    {u"? x", "\xBE x"},
    {u"?\nx",
     "\xBE"
     "\x0A"
     "x"},
    // Cut short at the end.
    {u"안녕하세요?", kHelloCp949 + "\xBE"},
    {u"안?안", "\xBE\xC8\xFF\xBE\xC8"},
};

// A reply may declare the local code page: the same text, whichever of its names it uses; bytes
// the code page does not define fail the parse.
struct DeclaredEncodingCase {
    std::string document;
    bool parses;
};

inline const DeclaredEncodingCase kDeclaredEncodingCases[] = {
    {"<?xml version=\"1.0\" encoding=\"EUC-KR\"?><r><t>" + kHelloCp949 + "</t></r>", true},
    {"<?xml version=\"1.0\" encoding=\"euc-kr\"?><r><t>" + kHelloCp949 + "</t></r>", true},
    {"<?xml version=\"1.0\" encoding=\"CP949\"?><r><t>" + kHelloCp949 + "</t></r>", true},
    {"<?xml version=\"1.0\" encoding=\"EUC-KR\"?><r><t>\xBE\xC8\xFF\xFF</t></r>", false},
    // A lone 0x80 is no character of CP949 (though Windows' table maps it to U+0080).
    {"<?xml version=\"1.0\" encoding=\"CP949\"?><r><t>A\x80</t></r>", false},
};

}  // namespace vexa::cases
