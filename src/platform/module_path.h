// Where the code that asks was loaded from.
#pragma once

#include <string>

namespace vexa {

// The absolute path (UTF-8) of the file this code was loaded from; empty when it cannot be found.
std::string ThisModulePath();

}  // namespace vexa
