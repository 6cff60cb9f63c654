// Sets TZ for the life of the object and puts the previous setting back: local-time results
// depend on it, so tests name their zone.
#pragma once

#include <ctime>

#include "scoped_env.h"

namespace vexa::test {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : tz_("TZ", zone) { tzset(); }

private:
    // Members go in reverse order: TZ is put back first, then read again.
    struct ReadAgainOnExit {
        ~ReadAgainOnExit() { tzset(); }
    } readAgain_;
    ScopedEnv tz_;
};

}  // namespace vexa::test
