// The local code page on iconv.
#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <vector>

#include "automation/code_page.h"

namespace vexa {

namespace {

constexpr const char* kLocalCodePage = "CP949";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

size_t Utf16Unit(std::string_view rest) {
    if (rest.size() < 2 * sizeof(char16_t))
        return rest.size() < sizeof(char16_t) ? rest.size() : sizeof(char16_t);
    char16_t pair[2];
    std::memcpy(pair, rest.data(), sizeof pair);
    return IsHighSurrogate(pair[0]) && IsLowSurrogate(pair[1]) ? sizeof pair : sizeof(char16_t);
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

bool EncodeLocal(std::u16string_view text, std::string& out) {
    return Convert(kLocalCodePage, kUtf16, AsBytes(text), Utf16Unit, "?", out);
}

bool DecodeLocal(std::string_view text, std::u16string& out) {
    std::string bytes;
    static constexpr char16_t kQuestion = u'?';
    if (!Convert(kUtf16, kLocalCodePage, text, Cp949Unit,
                 {reinterpret_cast<const char*>(&kQuestion), sizeof kQuestion}, bytes)) {
        return false;
    }
    out.assign(bytes.size() / sizeof(char16_t), u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(char16_t));
    return true;
}

}  // namespace vexa
