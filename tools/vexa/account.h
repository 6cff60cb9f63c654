// Where the account's credentials come from: the options (or their environment variables), else
// a prompt on the terminal for the password.
#pragma once

#include <functional>
#include <string>

namespace vexa_cli {

struct Account {
    std::string user, password;
};

// A missing password is asked for through `askPassword` (given the prompt) when `interactive`;
// a missing user, or a password that cannot be had, is a UsageError.
Account ResolveAccount(const std::string& user, const std::string& password, bool interactive,
                       const std::function<std::string(const std::string& prompt)>& askPassword);

// Whether standard input is a terminal that a prompt could read from.
bool StandardInputIsTerminal();
// Shows the prompt on standard error and reads one line from standard input with echo off.
std::string AskPasswordOnTerminal(const std::string& prompt);

}  // namespace vexa_cli
