// The sandbox's owned file descriptors are the component's own kind.
#pragma once

#include "automation/unique_fd.h"

namespace vexa::sandbox {

using vexa::UniqueFd;

}  // namespace vexa::sandbox
