// What the sandbox suites share: a scratch directory, fixed times, requests in the component's own
// documents, and replies read back with the component's own readers.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <vector>

#include "rest_requests.h"
#include "sandbox/service.h"
#include "scoped_time_zone.h"
#include "scratch_directory.h"

namespace vexa::sandbox::test {

using vexa::test::ScopedTimeZone;
using vexa::test::ScratchDirectory;

// 2024-03-05 14:07:09 in Seoul (UTC+9, no daylight saving).
inline constexpr int64_t kMarch5 = 1709615229;
inline constexpr int64_t kHour = 3600;
inline constexpr int64_t kDay = 24 * kHour;

template <class Entity>
bool ReadReply(Entity& entity, const ServiceReply& reply, const std::string& path) {
    return ReadReply(entity, reply.contentType, reply.body, path);
}

}  // namespace vexa::sandbox::test
