// Registering the module's classes where the platform's hosts look for them: the registry files on
// Linux, the system registry (with the type library) on Windows.
#pragma once

#include <span>

#include "contract/registration.h"

namespace vexa {

// Registers the module at the path it was loaded from; the first failure's code.
HRESULT RegisterClasses(std::span<const ClassRegistration> classes);
// Removes what RegisterClasses wrote and keeps the shared roots; S_OK also when nothing was there.
HRESULT UnregisterClasses(std::span<const ClassRegistration> classes);

}  // namespace vexa
