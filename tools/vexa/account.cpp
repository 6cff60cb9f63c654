#include "account.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

#include "arguments.h"

namespace vexa_cli {

namespace {

// The settings to put back if a signal ends the program at the prompt; a handler can only reach
// them through a global.
termios g_savedTerminal{};
volatile sig_atomic_t g_echoIsOff = 0;

void RestoreEchoAndDie(int signal) {
    if (g_echoIsOff) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Turns the terminal's echo off for its lifetime and restores the settings it found, also when
// Ctrl-C or another terminating signal arrives in between.
class EchoOff {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0) return;
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction action {};
            action.sa_handler = RestoreEchoAndDie;
            sigemptyset(&action.sa_mask);
            sigaction(kSignals[i], &action, &previous_[i]);
        }
        termios quiet = g_savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        g_echoIsOff = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        installed_ = true;
    }
    ~EchoOff() {
        if (g_echoIsOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
        g_echoIsOff = 0;
        if (installed_)
            for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction previous_[std::size(kSignals)]{};
    bool installed_ = false;
};

}  // namespace

Account ResolveAccount(const std::string& user, const std::string& password, bool interactive,
                       const std::function<std::string(const std::string& prompt)>& askPassword) {
    if (user.empty()) throw UsageError("no account: give --user or set VEXA_USER");
    Account account{user, password};
    if (account.password.empty() && interactive)
        account.password = askPassword("Password for " + user + ": ");
    if (account.password.empty()) throw UsageError("no password: give --password or set VEXA_PASSWORD");
    return account;
}

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

std::string AskPasswordOnTerminal(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    std::string line;
    {
        const EchoOff quiet;
        std::getline(std::cin, line);
    }
    // The Enter that ended the line was not echoed.
    std::cerr << '\n';
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vexa_cli
