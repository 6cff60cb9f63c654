// A progress line for long sends, for a person at a terminal: the receivers being prepared, then
// the seconds the service has been working on them. Rewritten in place with a carriage return,
// cleared at the end; nothing at all when not shown (a pipe, a file, or a short send).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace vexa_cli {

class Progress {
public:
    Progress(std::ostream& out, bool shown) : out_(out), shown_(shown) {}
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // "preparing receivers 2300/5000".
    void Step(const std::string& phase, size_t done, size_t total);
    // Runs work; meanwhile "sending 5000 receivers... 3 s", once a second.
    void While(const std::string& label, const std::function<void()>& work);

    // A terminal, and enough receivers for the wait to be noticed.
    static bool ShownFor(size_t receivers);

private:
    void Show(const std::string& line);

    std::ostream& out_;
    const bool shown_;
    size_t width_ = 0;  // of the line shown, to blank it out
    std::mutex mutex_;
};

}  // namespace vexa_cli
