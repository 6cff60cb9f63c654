// Sets (or, given nullptr, removes) an environment variable for the life of the object, and puts
// the previous setting back.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace vexa::test {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        Apply(value);
    }
    ~ScopedEnv() { Apply(saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Apply(const char* value) {
        if (value)
            setenv(name_.c_str(), value, 1);
        else
            unsetenv(name_.c_str());
    }

    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace vexa::test
