// The accounts vexa-sandbox sets up at start, from its command line: --account, --account-file and
// where the password of an account given without one comes from (--password-stdin, or the
// environment). A password on the command line is readable by every user of the machine (ps,
// /proc), so the other ways exist.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/store.h"

namespace CLI {
class App;
}

namespace vexa::sandbox {

// What --account creates when the store has no such account.
inline constexpr int64_t kDefaultCredit = 1000;
inline constexpr const char* kDefaultReturnPhone = "02-000-0000";

// Where the password of an account given without one comes from, when not standard input.
inline constexpr const char* kPasswordVariable = "VEXA_SANDBOX_PASSWORD";

// "USER:PASSWORD[:CREDIT]", or "USER" and "USER::CREDIT" without a password (the password is then
// empty, to be filled in from elsewhere). The last field is the credit when it is a decimal
// number, so a password that itself ends in ":digits" needs the credit written out. A new account
// is named after its user ID and gets the default return phone.
std::optional<AccountSetup> ParseAccountOption(std::string_view text);

// The accounts of an account file: one a line in the form of --account; blank lines and lines
// whose first character other than a space is '#' are skipped. Refused with what is wrong in
// `error` when the file is not a regular file, or when its group or others may read or write it.
std::optional<std::vector<AccountSetup>> ReadAccountFile(const std::string& file, std::string& error);

class AccountOptions {
public:
    void AddTo(CLI::App& app);

    // The accounts of every --account-file, then of every --account, each with its password: an
    // account given without one gets the first line of `input` with --password-stdin, else
    // `environmentPassword` (the value of kPasswordVariable; null when unset). Nullopt, with why
    // written to `err`, when a file is refused or a password is missing.
    std::optional<std::vector<AccountSetup>> Resolve(std::istream& input, const char* environmentPassword,
                                                     std::ostream& err) const;

private:
    std::vector<std::string> accounts_;
    std::vector<std::string> files_;
    bool passwordStdin_ = false;
};

}  // namespace vexa::sandbox
