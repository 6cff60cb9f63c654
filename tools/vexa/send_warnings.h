// What a send would change or lose without saying so, found before anything is sent: characters
// the service's code page cannot carry (the component sends "?" for them), a text longer than an
// SMS carries, a reservation time already past, an MMS without a picture, a receiver given twice.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "requests.h"

namespace vexa_cli {

// The bytes of text in the service's code page (CP949), and the characters it cannot carry.
struct CodePageFit {
    size_t bytes = 0;                      // with "?" for each character that does not fit
    std::vector<std::string> unsupported;  // each such character once, in order of appearance
};
CodePageFit FitCodePage(std::string_view utf8);

// An SMS carries this many bytes of CP949 text.
inline constexpr size_t kSmsBytes = 90;

// One sentence per warning; `now` is the local clock's time as a DATE.
std::vector<std::string> SendWarnings(const SendRequest& request, DATE now);

}  // namespace vexa_cli
