#include "automation/text.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace vexa {

namespace {

constexpr const char* kLocalCodePage = "CP949";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr char32_t kInvalid = 0xFFFFFFFF;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One UTF-8 sequence at text[i], advancing i past it. An ill-formed sequence gives kInvalid and
// skips its longest well-formed start (at least one byte), so what follows is read again.
char32_t DecodeUtf8(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int follow = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3;
        c = lead & 0x07;
    } else {
        return kInvalid;
    }
    for (int k = 0; k < follow; ++k) {
        if (i >= text.size()) return kInvalid;
        const auto b = static_cast<unsigned char>(text[i]);
        // The second byte rules out overlong forms, surrogates and values above U+10FFFF.
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (k == 0) {
            if (lead == 0xE0) lo = 0xA0;
            if (lead == 0xED) hi = 0x9F;
            if (lead == 0xF0) lo = 0x90;
            if (lead == 0xF4) hi = 0x8F;
        }
        if (b < lo || b > hi) return kInvalid;
        c = (c << 6) | (b & 0x3F);
        ++i;
    }
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Bytes of the character that starts rest, in UTF-16 of this machine's byte order: a surrogate
// pair is one character, anything else one code unit.
size_t Utf16Unit(std::string_view rest) {
    if (rest.size() < 2 * sizeof(char16_t))
        return rest.size() < sizeof(char16_t) ? rest.size() : sizeof(char16_t);
    char16_t pair[2];
    std::memcpy(pair, rest.data(), sizeof pair);
    return IsHighSurrogate(pair[0]) && IsLowSurrogate(pair[1]) ? sizeof pair : sizeof(char16_t);
}

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

// Opening a converter costs far more than converting a short text, so converters are kept and
// lent out, one caller at a time, each returned to its initial state. (A pool rather than
// thread-local storage: the module is loaded at run time, where dynamic TLS trips up tools.)
class ConverterPool {
public:
    ConverterPool(const char* to, const char* from) : to_(to), from_(from) {}
    ~ConverterPool() {
        for (iconv_t cd : idle_) iconv_close(cd);
    }
    ConverterPool(const ConverterPool&) = delete;
    ConverterPool& operator=(const ConverterPool&) = delete;

    iconv_t Take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!idle_.empty()) {
                iconv_t cd = idle_.back();
                idle_.pop_back();
                return cd;
            }
        }
        return iconv_open(to_, from_);
    }
    void Give(iconv_t cd) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::lock_guard<std::mutex> lock(mutex_);
        idle_.push_back(cd);
    }

private:
    const char* to_;
    const char* from_;
    std::mutex mutex_;
    std::vector<iconv_t> idle_;
};

ConverterPool& PoolFor(const char* to) {
    static ConverterPool toLocal(kLocalCodePage, kUtf16);
    static ConverterPool fromLocal(kUtf16, kLocalCodePage);
    return std::strcmp(to, kLocalCodePage) == 0 ? toLocal : fromLocal;
}

// A converter lent from the pool for one conversion.
class LentConverter {
public:
    explicit LentConverter(const char* to) : pool_(PoolFor(to)), cd_(pool_.Take()) {}
    ~LentConverter() {
        if (Valid()) pool_.Give(cd_);
    }
    LentConverter(const LentConverter&) = delete;
    LentConverter& operator=(const LentConverter&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }

private:
    ConverterPool& pool_;
    iconv_t cd_;
};

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// Converts bytes with iconv; each character that cannot be read or written becomes replacement
// (already in the target encoding), its length in the input taken from unitLength. False only
// when the conversion is not available at all.
bool Convert(const char* to, const char* from, std::string_view in, size_t (*unitLength)(std::string_view),
             std::string_view replacement, std::string& out) {
    (void)from;  // each pool converts one way
    const LentConverter converter(to);
    if (!converter.Valid()) return false;
    const iconv_t cd = converter.Get();
    out.assign(in.size() * 2 + 16, '\0');
    size_t used = 0;
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    for (bool flushed = false; !flushed;) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t r;
        if (inLeft > 0) {
            r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        } else {
            // Input done: write any closing shift sequence.
            r = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
            flushed = r != static_cast<size_t>(-1);
        }
        used = out.size() - outLeft;
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (inLeft == 0) break;
        // EILSEQ (a character that cannot be read or written) or EINVAL (cut short at the end).
        if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
        out.replace(used, replacement.size(), replacement);
        used += replacement.size();
        const size_t skip = unitLength({inPtr, inLeft});
        inPtr += skip;
        inLeft -= skip;
    }
    out.resize(used);
    return true;
}

std::string_view AsBytes(std::u16string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = u'?';
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = DecodeUtf8(text, i);
        if (c == kInvalid) {
            out += u'?';
        } else if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string ToLocal(std::u16string_view text) {
    std::string out;
    if (IsAscii(text)) return std::string(text.begin(), text.end());  // the same in CP949
    if (Convert(kLocalCodePage, kUtf16, AsBytes(text), Utf16Unit, "?", out)) return out;
    // Without the code page, ASCII (the same in CP949) still passes.
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    return out;
}

std::string ToLocal(BSTR text) { return ToLocal(std::u16string_view(text ? text : u"", SysStringLen(text))); }

std::u16string Utf16FromLocal(std::string_view text) {
    if (IsAscii(text)) return std::u16string(text.begin(), text.end());
    std::string bytes;
    static constexpr char16_t kQuestion = u'?';
    if (Convert(kUtf16, kLocalCodePage, text, Cp949Unit,
                {reinterpret_cast<const char*>(&kQuestion), sizeof kQuestion}, bytes)) {
        std::u16string out(bytes.size() / sizeof(char16_t), u'\0');
        std::memcpy(out.data(), bytes.data(), out.size() * sizeof(char16_t));
        return out;
    }
    std::u16string out;
    for (size_t i = 0; i < text.size(); i += Cp949Unit(text.substr(i))) {
        const auto b = static_cast<unsigned char>(text[i]);
        out += b < 0x80 ? static_cast<char16_t>(b) : u'?';
    }
    return out;
}

Bstr BstrFromLocal(std::string_view text) { return Bstr(std::u16string_view(Utf16FromLocal(text))); }

// ASCII is the same in all three encodings.
std::string LocalToUtf8(std::string_view text) {
    return IsAscii(text) ? std::string(text) : ToUtf8(Utf16FromLocal(text));
}

std::string Utf8ToLocal(std::string_view text) {
    return IsAscii(text) ? std::string(text) : ToLocal(Utf16FromUtf8(text));
}

}  // namespace vexa
