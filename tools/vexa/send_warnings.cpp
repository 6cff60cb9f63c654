#include "send_warnings.h"

#include <algorithm>
#include <iconv.h>
#include <set>

#include "arguments.h"
#include "utf8.h"

namespace vexa_cli {

namespace {

// One iconv conversion descriptor for the call, closed however it ends.
class Converter {
public:
    Converter() : cd_(iconv_open("CP949", "UTF-8")) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The bytes of one character in CP949; 0 when the code page has none for it.
    size_t Bytes(std::string_view character) const {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return character.size() == 1 ? 1 : 0;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string in(character);
        char out[8];
        char* inPtr = in.data();
        char* outPtr = out;
        size_t inLeft = in.size(), outLeft = sizeof out;
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return 0;
        return sizeof out - outLeft;
    }

private:
    iconv_t cd_;
};

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

CodePageFit FitCodePage(std::string_view utf8) {
    // Opened once per thread: a bulk send measures thousands of texts.
    thread_local const Converter converter;
    CodePageFit fit;
    for (size_t pos = 0; pos < utf8.size();) {
        const size_t start = pos;
        NextCodePoint(utf8, pos);
        const std::string_view character = utf8.substr(start, pos - start);
        const size_t bytes = converter.Bytes(character);
        fit.bytes += bytes == 0 ? 1 : bytes;
        if (bytes == 0 &&
            std::find(fit.unsupported.begin(), fit.unsupported.end(), character) == fit.unsupported.end())
            fit.unsupported.emplace_back(character);
    }
    return fit;
}

std::vector<std::string> SendWarnings(const SendRequest& request, DATE now) {
    std::vector<std::string> warnings;
    const auto joined = [](const std::vector<std::string>& characters) {
        std::string list;
        for (const std::string& c : characters) list += (list.empty() ? "" : " ") + c;
        return list;
    };
    const CodePageFit text = FitCodePage(request.text);
    const CodePageFit subject = FitCodePage(request.subject);
    for (const auto& [what, fit] : {std::pair{"the text", &text}, std::pair{"the subject", &subject}}) {
        if (fit->unsupported.empty()) continue;
        warnings.push_back(
            std::string(what) + " holds " + Plural(fit->unsupported.size(), "character", "characters") +
            " that the service's code page (CP949) cannot carry, sent as '?': " + joined(fit->unsupported));
    }
    // Texts of their own (from a receiver file): one warning for all of them.
    std::vector<std::string> ownUnsupported;
    size_t ownTooLong = 0, longest = 0;
    for (const ReceiverEntry& to : request.receivers) {
        if (to.text.empty()) continue;
        const CodePageFit fit = FitCodePage(to.text);
        for (const std::string& c : fit.unsupported)
            if (std::find(ownUnsupported.begin(), ownUnsupported.end(), c) == ownUnsupported.end())
                ownUnsupported.push_back(c);
        if (fit.bytes > kSmsBytes) ++ownTooLong;
        longest = std::max(longest, fit.bytes);
    }
    if (!ownUnsupported.empty())
        warnings.push_back(
            "the receivers' own texts hold characters that the service's code page (CP949) cannot carry, "
            "sent as "
            "'?': " +
            joined(ownUnsupported));
    if (request.type == VEXA_MESSAGE_TYPE_SMS) {
        if (text.bytes > kSmsBytes)
            warnings.push_back("the text is " + std::to_string(text.bytes) + " bytes; an SMS carries " +
                               std::to_string(kSmsBytes) +
                               ", so the service may cut it short: send it as an LMS with --type lms");
        if (ownTooLong > 0)
            warnings.push_back(Plural(ownTooLong, "receiver's own text is", "receivers' own texts are") +
                               " longer than the " + std::to_string(kSmsBytes) +
                               " bytes an SMS carries (the longest " + std::to_string(longest) +
                               "): send them as an LMS with --type lms");
    }
    if (request.type == VEXA_MESSAGE_TYPE_MMS && request.images.empty())
        warnings.push_back(
            "an MMS without a picture costs as much as one with pictures: add --image FILE, or "
            "send it as an LMS");
    if (request.reservation) {
        DATE at = 0.0;
        vexa::PartsToDate(*request.reservation, at);
        if (at <= now) warnings.push_back("the reservation time has passed: the service sends it at once");
    }
    std::set<std::string> seen, repeated;
    for (const ReceiverEntry& to : request.receivers) {
        std::string digits;
        std::copy_if(to.phone.begin(), to.phone.end(), std::back_inserter(digits),
                     [](char c) { return c != '-'; });
        if (!seen.insert(digits).second && repeated.insert(digits).second)
            warnings.push_back(to.phone +
                               " is given more than once: it gets the message (and costs) each time");
    }
    return warnings;
}

}  // namespace vexa_cli
