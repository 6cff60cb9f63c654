#include "sandbox/account_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <istream>
#include <ostream>

#include "sandbox/private_file.h"

namespace vexa::sandbox {

namespace {

bool ParseCredit(std::string_view text, int64_t& credit) {
    if (text.empty() || text.size() > 15) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    std::from_chars(text.data(), text.data() + text.size(), credit);
    return true;
}

std::string Expected(const std::string& text) {
    return "expected USER:PASSWORD[:CREDIT] or USER[::CREDIT], got '" + text + "'";
}

}  // namespace

std::optional<AccountSetup> ParseAccountOption(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == 0) return std::nullopt;
    AccountSetup setup;
    setup.userId = std::string(text.substr(0, colon));
    setup.credit = kDefaultCredit;
    setup.name = setup.userId;
    setup.returnPhone = kDefaultReturnPhone;
    if (colon == std::string_view::npos) return setup;
    std::string_view password = text.substr(colon + 1);
    const size_t last = password.rfind(':');
    if (last != std::string_view::npos && ParseCredit(password.substr(last + 1), setup.credit)) {
        password = password.substr(0, last);
        // "USER::CREDIT": no password, as "USER" alone.
        if (password.empty() && last == 0) return setup;
    }
    if (password.empty()) return std::nullopt;
    setup.password = std::string(password);
    return setup;
}

std::optional<std::vector<AccountSetup>> ReadAccountFile(const std::string& file, std::string& error) {
    const std::optional<std::string> text = ReadOwnerOnlyText(file, "passwords are", error);
    if (!text) return std::nullopt;
    std::vector<AccountSetup> accounts;
    size_t start = 0;
    for (int number = 1; start < text->size(); ++number) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::optional<AccountSetup> account = ParseAccountOption(line);
        if (!account) {
            // The line may hold a password: only where it is, not what it says.
            error = file + ", line " + std::to_string(number) +
                    ": expected USER:PASSWORD[:CREDIT] or USER[::CREDIT]";
            return std::nullopt;
        }
        accounts.push_back(std::move(*account));
    }
    return accounts;
}

void AccountOptions::AddTo(CLI::App& app) {
    app.add_option("--account", accounts_,
                   "USER:PASSWORD[:CREDIT]: creates the account (credit " + std::to_string(kDefaultCredit) +
                       " unless given) or sets the password of an existing one; repeatable. Other users of "
                       "this machine can read a password given here (ps): prefer --account-file, or "
                       "USER[::CREDIT] with the password from --password-stdin or " +
                       kPasswordVariable)
        ->check([](const std::string& text) { return ParseAccountOption(text) ? "" : Expected(text); });
    app.add_option("--account-file", files_,
                   "File of accounts, one a line as for --account ('#' comments and blank lines allowed); "
                   "refused unless a regular file that only its owner may read and write; repeatable");
    app.add_flag("--password-stdin", passwordStdin_,
                 std::string("Read the password of the accounts given without one from the first line of "
                             "standard input (otherwise it comes from ") +
                     kPasswordVariable + ")");
}

std::optional<std::vector<AccountSetup>> AccountOptions::Resolve(std::istream& input,
                                                                 const char* environmentPassword,
                                                                 std::ostream& err) const {
    std::vector<AccountSetup> accounts;
    for (const std::string& file : files_) {
        std::string error;
        std::optional<std::vector<AccountSetup>> read = ReadAccountFile(file, error);
        if (!read) {
            err << "--account-file " << error << "\n";
            return std::nullopt;
        }
        accounts.insert(accounts.end(), read->begin(), read->end());
    }
    for (const std::string& text : accounts_) accounts.push_back(*ParseAccountOption(text));

    bool wanted = false;
    for (const AccountSetup& account : accounts) wanted = wanted || account.password.empty();
    if (passwordStdin_ && !wanted) {
        err << "--password-stdin: every account has its password already\n";
        return std::nullopt;
    }
    if (!wanted) return accounts;
    std::string password;
    if (passwordStdin_) {
        std::getline(input, password);
        if (!password.empty() && password.back() == '\r') password.pop_back();
    } else if (environmentPassword) {
        password = environmentPassword;
    }
    if (password.empty()) {
        err << (passwordStdin_ ? std::string("--password-stdin: no password on standard input")
                               : std::string("an account without a password needs --password-stdin or ") +
                                     kPasswordVariable)
            << "\n";
        return std::nullopt;
    }
    for (AccountSetup& account : accounts) {
        if (account.password.empty()) account.password = password;
    }
    return accounts;
}

}  // namespace vexa::sandbox
